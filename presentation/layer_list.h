// The layers of the schedule, listed once: drawLayers draws one block per
// entry from its program, picture and fades, the studio makes one row per
// entry, and the tests hold the frames drawn against it.
#pragma once

#include "presentation/handles.h"
#include "presentation/layers.h"
#include "presentation/timeline.h"

#include <array>
#include <limits>

// The eight layers drawn in every frame, bottom to top:
// X(layer, program, picture, alpha in, alpha out, offset, transition).
// Each fade column names a fade of the timeline, or `none`. The alpha is the
// fade-out times the fade-in (a missing one counts 1); `offset` is the fade
// the morph's offset and the plasma's perlin lines grow with, `transition`
// the bar's turn into the box, which the plasma's colours follow too.
#define DEMO_PERMANENT_LAYER_LIST(X)                                      \
  X(plasma, plasma, noise, none, none, morphOffsetIn, boxIn)              \
  X(morph, morph, noise, morphIn, none, morphOffsetIn, boxIn)             \
  X(logo, imageWarp, logo, none, logoOut, none, none)                     \
  X(starfield, starfield, starfield, starfieldIn, none, none, none)       \
  X(oldschool, overlay, oldschool, oldschoolIn, oldschoolOut, none, none) \
  X(space, overlay, space, spaceIn, spaceOut, none, none)                 \
  X(love, overlay, love, loveIn, loveOut, none, none)                     \
  X(scroller, scroller, scroller, scrollerIn, none, none, none)

// The closing layers over them, each in frames later than its cut of the
// timeline: X(layer, program, picture, cut, blinks). The rectangle blinking at 1 Hz
// is on for the first half of each second. The rectangle and the end
// picture keep the program the closing text made current.
#define DEMO_CLOSING_LAYER_LIST(X)                         \
  X(closingText, imageWarp, guruText, closing, false)      \
  X(blinkingRectangle, imageWarp, guruRect, closing, true) \
  X(endPicture, imageWarp, testhall, endPicture, false)

// A fade by its index in kFadeNames; kNoFade for none, kUnknownFade for a
// name the timeline lacks (which the check below refuses at compile time).
constexpr int kNoFade = -1;
constexpr int kUnknownFade = -2;

constexpr bool sameName(const char* a, const char* b) {
  while (*a && *a == *b) ++a, ++b;
  return *a == *b;
}

constexpr int fadeNamed(const char* name) {
  if (sameName(name, "none")) return kNoFade;
  for (int i = 0; i < kFadeCount; ++i) {
    if (sameName(name, kFadeNames[i])) return i;
  }
  return kUnknownFade;
}

// A cut by its index in kCutNames; kNoCut for a permanent layer,
// kUnknownFade for a name the timeline lacks.
constexpr int kNoCut = -1;

constexpr int cutNamed(const char* name) {
  for (int i = 0; i < kCutCount; ++i) {
    if (sameName(name, kCutNames[i])) return i;
  }
  return kUnknownFade;
}

// Permanent layers are drawn whatever the time.
constexpr float kAlways = -std::numeric_limits<float>::infinity();

struct Layer {
  const char* name;
  GLuint* program;
  GLuint* texture;
  int in, out;             // the fades of its alpha
  int offset, transition;  // the fades its other uniforms read
  int cut;                 // drawn in frames later than this cut; kNoCut: always
  bool blinks;             // on for the first half of each second only
};

enum class LayerId {
#define DEMO_LAYER_ID(layer, ...) layer,
  DEMO_PERMANENT_LAYER_LIST(DEMO_LAYER_ID) DEMO_CLOSING_LAYER_LIST(DEMO_LAYER_ID)
#undef DEMO_LAYER_ID
};

constexpr Layer kLayers[] = {
#define DEMO_PERMANENT_LAYER(layer, program, picture, in, out, offset, transition) \
  {#layer,                                                                         \
   &program##Program,                                                              \
   &picture##Texture,                                                              \
   fadeNamed(#in),                                                                 \
   fadeNamed(#out),                                                                \
   fadeNamed(#offset),                                                             \
   fadeNamed(#transition),                                                         \
   kNoCut,                                                                         \
   false},
#define DEMO_CLOSING_LAYER(layer, program, picture, cut, blinks)    \
  {#layer,  &program##Program, &picture##Texture, kNoFade, kNoFade, \
   kNoFade, kNoFade,           cutNamed(#cut),    blinks},
    DEMO_PERMANENT_LAYER_LIST(DEMO_PERMANENT_LAYER) DEMO_CLOSING_LAYER_LIST(DEMO_CLOSING_LAYER)
#undef DEMO_PERMANENT_LAYER
#undef DEMO_CLOSING_LAYER
};
constexpr int kLayerCount = static_cast<int>(sizeof kLayers / sizeof kLayers[0]);

constexpr const Layer& layerOf(LayerId id) { return kLayers[static_cast<int>(id)]; }

constexpr bool everyFadeKnown() {
  for (const Layer& l : kLayers) {
    for (int fade : {l.in, l.out, l.offset, l.transition}) {
      if (fade == kUnknownFade) return false;
    }
    if (l.cut == kUnknownFade) return false;
  }
  return true;
}
static_assert(everyFadeKnown(), "a layer of the list names a fade or a cut the timeline lacks");

// The time after which the layer is drawn: its cut's in `t`, or kAlways.
inline float afterOf(const Timeline& t, const Layer& l) {
  return l.cut == kNoCut ? kAlways : t.cut(l.cut);
}

// Every fade the layer reads, its alpha's first; kNoFade where it has fewer.
constexpr std::array<int, 4> fadesRead(const Layer& l) {
  return {l.in, l.out, l.offset, l.transition};
}

// Whether a layer drawn after `after`, blinking or not, is drawn in a frame
// at `seconds`.
inline bool shownAt(float after, bool blinks, float seconds) {
  return seconds > after && (!blinks || static_cast<int>(seconds * 2.0f) % 2 == 0);
}

// An alpha that fades in with `in` and out with `out` (nullptr: no such
// fade): the fade-out times the fade-in, each factor taking its own reading
// of `now()`, the fade-out first.
template <typename Now>
float fadedAlpha(const Fade* in, const Fade* out, Now now) {
  const float outFactor = out ? ramp(out->at - now(), out->rate) : 1.0f;
  const float inFactor = in ? ramp(now() - in->at, in->rate) : 1.0f;
  return outFactor * inFactor;
}

// The timeline's fade with index `fade`, nullptr for kNoFade.
inline const Fade* fadeOf(const Timeline& t, int fade) {
  return fade == kNoFade ? nullptr : &t.fade(fade);
}
