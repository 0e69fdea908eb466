// The presentation's timeline: when each layer fades in or out and how fast,
// the parts of the schedule the studio names, and the times the storyboard
// and the benchmark look at. The built-in one is presentation/timeline.txt,
// compiled in by the build (cmake/Timeline.cmake); the layer schedule draws
// from the active one, which a tool may replace with another copy of the file
// (--timeline) or an edit. No GL: any tool can include it.
#pragma once

#include "presentation/timeline_builtin.h"

#include <string>
#include <vector>

// A fade as the schedule computes it. A fade-in is ramp(t - at, rate): 0 until
// `at`, 1 from at + 1/rate. A fade-out is ramp(at - t, rate): 1 until
// at - 1/rate, 0 from `at`.
struct Fade {
  float at;
  float rate;
  bool in;
};

// Where a fade reaches its far end: full for a fade-in, gone for a fade-out.
constexpr float fadeEdge(Fade f) { return f.in ? f.at + 1.0f / f.rate : f.at - 1.0f / f.rate; }

// The fades' names and directions, in the built-in file's order; every copy
// of the file has each of them once, with the same direction.
#define DEMO_FADE_NAME(name, at, rate, in) #name,
#define DEMO_FADE_IN(name, at, rate, in) in,
constexpr const char* kFadeNames[] = {DEMO_FADE_LIST(DEMO_FADE_NAME)};
constexpr bool kFadeIsIn[] = {DEMO_FADE_LIST(DEMO_FADE_IN)};
#undef DEMO_FADE_NAME
#undef DEMO_FADE_IN
constexpr int kFadeCount = static_cast<int>(sizeof kFadeNames / sizeof kFadeNames[0]);

// A fade with its name, as the tools list them.
struct NamedFade {
  std::string name;
  Fade fade;
};

// A maker's layer: `layer NAME FRAGMENT PICTURE IN [OUT]`.
struct MakerLayer {
  std::string name, fragment, picture;  // paths as written; picture "" for `-`
  std::string in, out;                  // fade names; out "" for none
  int line = 0;                         // its line in the file
};

// The part of the schedule on screen from a time on: a fixed time, or the
// start of a fade (`fade` >= 0), so that it moves with that fade.
struct Section {
  int fade = -1;
  float start = 0;
  std::string name;
};

struct Timeline {
  // Every fade by name (timeline.spaceIn, ...), the built-in values until set.
#define DEMO_FADE_MEMBER(name, at, rate, in) Fade name{at, rate, in};
  DEMO_FADE_LIST(DEMO_FADE_MEMBER)
#undef DEMO_FADE_MEMBER
  // Fades under names of the file's own, beyond the built-in ones (a maker's
  // layers fade with them), in file order.
  std::vector<NamedFade> extraFades;
  std::vector<Section> sections;   // in time order
  std::vector<MakerLayer> layers;  // in file order
  std::string folder;              // the folder of the file read ("" for the built-in one)
  std::string file;                // the file's name as messages give it ("" for the built-in one)
  std::vector<float> storyboard;
  // The file's lines as read, so that a saved copy keeps its comments and
  // order; the fade lines are written anew from the values.
  std::vector<std::string> lines;

  Fade& fade(int index);
  const Fade& fade(int index) const;
  float sectionStart(const Section& s) const { return s.fade >= 0 ? fade(s.fade).at : s.start; }
  bool sameFades(const Timeline& other) const;
  // Every fade: the built-in ones in kFadeNames order, then the file's own.
  std::vector<NamedFade> allFades() const;
};

// The index of the fade called `name`, -1 for none.
int fadeIndex(const std::string& name);

// Reads a timeline from its text: fades `NAME AT RATE in|out`, sections
// `section AT NAME`, `storyboard T...`, `#` comments and blank lines. On a bad
// text returns false with one line in `error` naming `file`, the line and the
// reason (unknown name, missing field, not a number, outside 0 to 130, a name
// twice, an in where an out belongs, a fade missing).
bool parseTimeline(const std::string& text, const std::string& file, Timeline* out,
                   std::string* error);

// Reads the file at `path` (parseTimeline's refusals, or why it cannot be read).
bool loadTimeline(const std::string& path, Timeline* out, std::string* error);

// The text of a timeline: its lines with every fade line written from its
// values, each number in the fewest decimals that read back to the same float.
std::string timelineText(const Timeline& t);

namespace timeline {

// The compiled-in timeline, parsed from the build's copy of timeline.txt.
const Timeline& builtin();

// The timeline the schedule draws with: the built-in one until replaced.
const Timeline& active();
void setActive(const Timeline& t);

// The plasma's perlin lines grow with the morph's offset: from its start at
// this rate per second up to their cap. The start is scaled by a power of two,
// which is exact, so the schedule subtracts one float constant.
constexpr float kPlasmaLinesRate = 0.0625f;
constexpr float kPlasmaLinesMax = 0.5f;
inline float plasmaLinesOffset(const Timeline& t) { return t.morphOffsetIn.at * kPlasmaLinesRate; }
inline float plasmaLinesFull(const Timeline& t) {
  return t.morphOffsetIn.at + kPlasmaLinesMax / kPlasmaLinesRate;
}

// The closing layers show in frames later than these times.
constexpr float kClosingAfter = 120.0f;
constexpr float kEndPictureAfter = 123.5f;

// The opaque starfield covers the frame from here; the two vertex stages
// beneath it (under_starfield.vert, faded_under_starfield.vert) draw nothing
// from the built-in time, which they state as a literal.
inline float starfieldOpaque(const Timeline& t) { return fadeEdge(t.starfieldIn); }

}  // namespace timeline
