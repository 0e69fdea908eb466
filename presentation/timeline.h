// The presentation's timeline, written once: when each layer fades in or out
// and how fast, the parts of the schedule the studio names, and the times the
// storyboard and the benchmark look at. The layer schedule draws from it, and
// so do the studio, the benchmark, the generator's music and the build
// (cmake/Timeline.cmake reads the storyboard times). No GL: any tool can
// include it.
#pragma once

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

// Every fade of the schedule, in time order: X(name, at, rate, in).
#define DEMO_FADE_LIST(X)               \
  X(logoOut, 9.0f, 0.2f, false)         \
  X(oldschoolIn, 20.0f, 0.5f, true)     \
  X(morphIn, 25.002f, 0.5f, true)       \
  X(oldschoolOut, 30.0f, 0.5f, false)   \
  X(morphOffsetIn, 46.17f, 0.25f, true) \
  X(spaceIn, 55.0f, 0.5f, true)         \
  X(spaceOut, 65.0f, 0.5f, false)       \
  X(boxIn, 68.0f, 0.5f, true)           \
  X(loveIn, 75.0f, 0.2f, true)          \
  X(loveOut, 85.0f, 0.5f, false)        \
  X(starfieldIn, 91.0f, 0.2f, true)     \
  X(scrollerIn, 105.0f, 0.2f, true)

namespace timeline {

#define DEMO_FADE_CONSTANT(name, at, rate, in) constexpr Fade name{at, rate, in};
DEMO_FADE_LIST(DEMO_FADE_CONSTANT)
#undef DEMO_FADE_CONSTANT

constexpr Fade kFades[] = {
#define DEMO_FADE_ENTRY(name, at, rate, in) name,
    DEMO_FADE_LIST(DEMO_FADE_ENTRY)
#undef DEMO_FADE_ENTRY
};

// The plasma's perlin lines grow with the morph's offset: from its start at
// this rate per second up to their cap. The start is scaled by a power of two,
// which is exact, so the schedule subtracts one float constant.
constexpr float kPlasmaLinesRate = 0.0625f;
constexpr float kPlasmaLinesMax = 0.5f;
constexpr float kPlasmaLinesOffset = morphOffsetIn.at * kPlasmaLinesRate;
constexpr float kPlasmaLinesFull = morphOffsetIn.at + kPlasmaLinesMax / kPlasmaLinesRate;

// The closing layers show in frames later than these times.
constexpr float kClosingAfter = 120.0f;
constexpr float kEndPictureAfter = 123.5f;

// The opaque starfield covers the frame from here; the two vertex stages
// beneath it (under_starfield.vert, faded_under_starfield.vert) draw nothing
// from this time, which they state as a literal.
constexpr float kStarfieldOpaque = fadeEdge(starfieldIn);

// The part of the schedule on screen from `start` on, in time order.
struct Section {
  float start;
  const char* name;
};
constexpr Section kSections[] = {
    {0.0f, "intro: logo"},
    {logoOut.at, "plasma"},
    {oldschoolIn.at, "overlays: oldschool"},
    {oldschoolOut.at, "morph: bar"},
    {spaceIn.at, "overlays: space"},
    {spaceOut.at, "morph: bar"},
    {boxIn.at, "morph: box"},
    {loveIn.at, "overlays: love"},
    {loveOut.at, "morph: box"},
    {starfieldIn.at, "starfield"},
    {scrollerIn.at, "scroller"},
    {kClosingAfter, "closing"},
    {kEndPictureAfter, "closing: end picture"},
};

// The frames of `make capture`'s storyboard, one for each thing worth seeing,
// each at a moment where its picture is whole and no fade is under way.
// The build reads the numbers between these braces.
constexpr float kStoryboardTimes[] = {0,  12, 23,  27.5f, 39.3f, 54.5f,  60,
                                      73, 81, 100, 111,   117,   120.2f, 124};

}  // namespace timeline
