// The presentation's timeline: when each layer fades in or out and how fast,
// the parts of the schedule the studio names, and the times the storyboard
// and the benchmark look at. The built-in one is presentation/timeline.txt,
// compiled in by the build (cmake/Timeline.cmake); the layer schedule draws
// from the active one, which a tool may replace with another copy of the file
// (--timeline) or an edit. No GL: any tool can include it.
#pragma once

#include "presentation/timeline_builtin.h"

#include <cstddef>
#include <string>
#include <utility>
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

// The cuts' names, in the built-in file's order: times where a layer appears
// at once (`cut NAME AT`), which every copy of the file gives once.
#define DEMO_CUT_NAME(name, at) #name,
constexpr const char* kCutNames[] = {DEMO_CUT_LIST(DEMO_CUT_NAME)};
#undef DEMO_CUT_NAME
constexpr int kCutCount = static_cast<int>(sizeof kCutNames / sizeof kCutNames[0]);

// A fade with its name, as the tools list them.
struct NamedFade {
  std::string name;
  Fade fade;
};

// A time as the file writes it: seconds (`fade` -1, the time in `offset`),
// or a fade's start plus `offset` seconds (FADE, FADE+S, FADE-S), so that it
// moves with that fade. A time written from a cut (CUT, CUT+S, CUT-S) is held
// in seconds: cuts do not move once read.
struct TimeRef {
  int fade = -1;
  float offset = 0;
};

// The part of the schedule on screen from a time on: a fixed time `start`,
// or `offset` seconds from the start of a fade (`fade` >= 0), so that it
// moves with that fade.
struct Section {
  int fade = -1;
  float start = 0;
  float offset = 0;
  std::string name;
};

// A maker's layer: `layer NAME FRAGMENT PICTURE IN [OUT]`. The fragment
// program and the picture ("-" for none) are paths as written, relative to
// the timeline file's folder; `in` and `out` name fades of the same file
// (`out` empty for none). `line` is the file's line, for messages.
struct MakerLayer {
  std::string name, fragment, picture;
  std::string in, out;
  int line = 0;
};

struct Timeline {
  // Every fade by name (timeline.spaceIn, ...), the built-in values until set.
#define DEMO_FADE_MEMBER(name, at, rate, in) Fade name{at, rate, in};
  DEMO_FADE_LIST(DEMO_FADE_MEMBER)
#undef DEMO_FADE_MEMBER
  // Every cut by name (timeline.closing, ...): the layer shows in frames
  // later than this time.
#define DEMO_CUT_MEMBER(name, at) float name{at};
  DEMO_CUT_LIST(DEMO_CUT_MEMBER)
#undef DEMO_CUT_MEMBER
  // Fades under names of the file's own, beyond the built-in ones (a maker's
  // layers fade with them), in file order.
  std::vector<NamedFade> extraFades;
  std::vector<MakerLayer> layers;  // in file order
  std::vector<Section> sections;   // in file order
  std::vector<TimeRef> storyboard;
  // The folder of the file read ("" for the built-in one), which the layers'
  // files are relative to.
  std::string folder;
  // The file's name as messages give it ("" for the built-in one).
  std::string file;
  // The file's lines as read, so that a saved copy keeps its comments, order,
  // byte-order mark and line endings; the fade lines are written anew from
  // the values.
  std::vector<std::string> lines;
  bool byteOrderMark = false;
  std::string lineEnd = "\n";

  // Fades by index: the built-in ones 0 to kFadeCount - 1 in kFadeNames
  // order, then the extra ones from kFadeCount on.
  int fadeCount() const { return kFadeCount + static_cast<int>(extraFades.size()); }
  Fade& fade(int index);
  const Fade& fade(int index) const;
  // The index of the fade called `name`, built-in or extra; -1 for none.
  int indexOf(const std::string& name) const;
  float timeOf(TimeRef r) const { return r.fade >= 0 ? fade(r.fade).at + r.offset : r.offset; }
  float sectionStart(const Section& s) const {
    return s.fade >= 0 ? fade(s.fade).at + s.offset : s.start;
  }
  float& cut(int index);
  float cut(int index) const;
  std::vector<float> storyboardTimes() const;
  // Whether the two have the same fades and cuts (what the music follows).
  bool sameFades(const Timeline& other) const;
  // Every fade: the built-in ones in kFadeNames order, then the file's own.
  std::vector<NamedFade> allFades() const;
};

// The index of the built-in fade called `name`, -1 for none.
int fadeIndex(const std::string& name);
// The index of the cut called `name`, -1 for none.
int cutIndex(const std::string& name);

// Whether `field` has the shape of a time the file writes: seconds, or a
// name with an optional +S or -S. "" when it has, else why not.
std::string timeFieldProblem(const std::string& field);

// A time as the file writes it (seconds, FADE, FADE+S, FADE-S, CUT, CUT+S,
// CUT-S) read against `t` into `out`. "" when taken, else why not (no
// such fade or cut in `t`, outside 0 to 130 s). The file's own sections and
// storyboard are read through it, and so are the tools' times.
std::string readTime(const Timeline& t, const std::string& field, TimeRef* out);

// The largest size of a timeline file read; a larger one is refused unread.
constexpr size_t kMaxTimelineBytes = 1 << 20;

// Reads a timeline from its text: fades `NAME AT RATE in|out`, cuts `cut NAME
// AT`, sections `section AT NAME`, `storyboard T...`, maker layers `layer NAME
// FRAGMENT PICTURE IN [OUT]`, `#` comments and blank lines; a time in a
// section or the storyboard is read by readTime. Lines may come in any order.
// On a bad text returns false with one line in `error` naming `file`, the line
// and the reason (unknown name, missing field, not a number, too small or
// large, outside 0 to 130, a name twice, an in where an out belongs, a fade
// or cut missing, a fade-in after its fade-out, a NUL byte). Fields are quoted
// escaped and cut short in messages.
bool parseTimeline(const std::string& text, const std::string& file, Timeline* out,
                   std::string* error);

// parseTimeline for the text read from the file at `path`, which also sets
// the timeline's `folder` and `file`.
bool parseTimelineFile(const std::string& text, const std::string& path, Timeline* out,
                       std::string* error);

// Reads the file at `path` (parseTimelineFile's refusals, or why it cannot be
// read, a file over kMaxTimelineBytes included).
bool loadTimeline(const std::string& path, Timeline* out, std::string* error);

// The text of a timeline: its lines with every fade line written from its
// values, each number in the shortest form that reads back to the same float.
std::string timelineText(const Timeline& t);

// What the timeline draws, in one canonical text: the fades, the cuts, the
// sections' times and the layers, whatever the comments, spacing, order and storyboard
// of the file. Two timelines that draw the same frames have the same text.
std::string drawnText(const Timeline& t);

// Every fade-in with the fade-out it must not come after, as indices of
// `t`'s fades: the built-in pictures' pairs, then each layer's IN and OUT.
std::vector<std::pair<int, int>> fadePairs(const Timeline& t);

// The timeline as demo-capture --print-timeline lists it, for scripts: one
// line per fade `NAME AT RATE in|out WHOLE` (WHOLE where it is full or
// gone), per cut `cut NAME AT`, per section `section START NAME`, then
// `storyboard T...` and per maker layer `layer NAME FRAGMENT PICTURE IN
// OUT|-`, every time in seconds.
std::string timelineListing(const Timeline& t);

// How far fade `fade` may move before the file no longer loads: the lowest
// (`lower`) or highest start it may take, within 0 to 130 s, that keeps every
// fade-in at or before the fade-out it pairs with (oldschoolIn/oldschoolOut
// and the like, a layer's IN and OUT) and every time written from it within
// 0 to 130 s. The studio clamps a drag to it.
float fadeLimit(const Timeline& t, int fade, bool lower);

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

// The opaque starfield covers the frame from here; the two vertex stages
// beneath it (under_starfield.vert, faded_under_starfield.vert) draw nothing
// from the built-in time, which they state as a literal.
inline float starfieldOpaque(const Timeline& t) { return fadeEdge(t.starfieldIn); }

}  // namespace timeline
