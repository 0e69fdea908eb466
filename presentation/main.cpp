// Process entry of the presentation; the command line is ignored.
#include "presentation/demo.h"

#include <cstdlib>

int main(int argc, char** argv) {
#if defined(__unix__) && !defined(__APPLE__)
  // The window needs OpenGL, which of SDL's video drivers here only x11
  // gives. Left to choose, SDL falls through to its text-mode drivers when
  // there is no X display: they take over the terminal, fail the OpenGL
  // window anyway, and with an unknown terminal end the process from inside
  // SDL_Init. A driver the user names still wins.
  setenv("SDL_VIDEODRIVER", "x11", 0);
#endif
  return presentationMain(argc, argv);
}
