// The layers' programs, listed once: the start-up builds them, the handles
// hold them, the build embeds their shader files, the studio and the tests
// name them, all from here. The build reads the list too (cmake/XList.cmake).
#pragma once

// One entry per program, in the order the start-up builds them:
// X(name, vertex stage, fragment program, texture). The handle is
// name##Program; `name` is the fragment file's name in camel case
// (image_warp.frag -> imageWarp), which the build checks. `texture` is the
// media list's picture the program's first layer binds. The layers with an
// `alpha` uniform use faded.vert, which draws nothing while that alpha is 0;
// the plasma has no alpha (an unset uniform reads 0). The plasma and the
// morph object draw nothing once the opaque starfield covers them. The
// literal set of bench/ has a file of the same name for each fragment program.
#define DEMO_LAYER_PROGRAM_LIST(X)                            \
  X(morph, "faded_under_starfield.vert", "morph.frag", noise) \
  X(imageWarp, "faded.vert", "image_warp.frag", logo)         \
  X(plasma, "under_starfield.vert", "plasma.frag", noise)     \
  X(starfield, "faded.vert", "starfield.frag", starfield)     \
  X(overlay, "faded.vert", "overlay.frag", oldschool)         \
  X(scroller, "faded.vert", "scroller.frag", scroller)
