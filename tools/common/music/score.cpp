// The soundtrack's score: cues placed from a timeline, the sections, the arrangement.
#include "tools/common/music/score.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <mutex>

#include "presentation/timeline.h"
#include "presentation/window.h"

namespace music {
namespace {

constexpr double kBar = 4 * kBeat;   // one chord per bar
constexpr double kStep = kBeat / 4;  // sixteenth note

// The picture's events, in seconds, from the timeline the soundtrack is made
// for: every cue of the score is one of these, put on the nearest beat so that
// the score's bars stay on the 120 BPM grid (the bumps start between two
// beats; their music starts on the nearer one). A picture that fades in has
// two: where it starts to show, which opens a swell, and where it is whole,
// which is hit. placeCues sets them all from
// the timeline before a soundtrack is composed; nothing else derives a cue.
constexpr double onBeat(float seconds) {
  return static_cast<double>(static_cast<long long>(seconds / kBeat + 0.5)) * kBeat;
}
double kLogoGone;  // the plasma is alone
double kOldschoolIn;
double kMorphIn;     // the twisted bar
double kBarPhrase2;  // the bar alone, 8 s in
double kBarPhrase3;  // ... and 16 s in
double kBumps;       // the bar grows bumps
double kSpaceIn;
double kSpaceFull;
double kMeltStart;  // the bar melts to a blob
double kBoxIn;      // the spinning box stands
double kLoveIn;
double kLoveFull;
double kStarsIn;
double kStarsFull;
double kScrollerIn;
double kScrollerFull;
double kClosingText;  // cut to text and blinking box
double kHallIn;       // cut to the end picture

void placeCues(const Timeline& tl) {
  kLogoGone = onBeat(tl.logoOut.at);
  kOldschoolIn = onBeat(tl.oldschoolIn.at);
  kMorphIn = onBeat(tl.morphIn.at);
  kBarPhrase2 = kMorphIn + 4 * kBar;
  kBarPhrase3 = kMorphIn + 8 * kBar;
  kBumps = onBeat(tl.morphOffsetIn.at);
  kSpaceIn = onBeat(tl.spaceIn.at);
  kSpaceFull = onBeat(fadeEdge(tl.spaceIn));
  kMeltStart = onBeat(tl.boxIn.at);
  kBoxIn = onBeat(fadeEdge(tl.boxIn));
  kLoveIn = onBeat(tl.loveIn.at);
  kLoveFull = onBeat(fadeEdge(tl.loveIn));
  kStarsIn = onBeat(tl.starfieldIn.at);
  kStarsFull = onBeat(fadeEdge(tl.starfieldIn));
  kScrollerIn = onBeat(tl.scrollerIn.at);
  kScrollerFull = onBeat(fadeEdge(tl.scrollerIn));
  kClosingText = onBeat(tl.closing);
  kHallIn = onBeat(tl.endPicture);
}
constexpr double kEnd = kEndTime;
// The programs' own periods: the plasma's palette swings with sin(time / 2),
// the bar's twist with sin(time).
constexpr double kPalettePeriod = 4.0 * 3.14159265358979;
constexpr double kTwistPeriod = 2.0 * 3.14159265358979;

// Chord voicings (MIDI), one per bar.
using Chord = std::vector<int>;
using Progression = std::vector<Chord>;
const Progression kMain = {
    {57, 60, 64, 69}, {53, 57, 60, 65}, {48, 55, 60, 64}, {55, 59, 62, 67}};  // Am F C G
const Progression kDark = {
    {57, 60, 64, 69}, {53, 57, 60, 65}, {50, 57, 62, 65}, {52, 56, 59, 64}};  // Am F Dm E
const Progression kSpace = {
    {53, 57, 60, 64}, {55, 59, 62, 65}, {52, 55, 59, 64}, {57, 60, 64, 69}};  // Fmaj7 G7 Em Am
const Progression kDominant = {{52, 56, 59, 64}};                             // E

// The same progression `semitones` higher: the key lifts of the build and
// the last chorus.
Progression lifted(const Progression& prog, int semitones) {
  Progression out = prog;
  for (Chord& c : out)
    for (int& note : c) note += semitones;
  return out;
}

// Calls fn(t, i) for t = start, start + step, ... < end.
template <typename Fn>
void every(double start, double end, double step, Fn fn) {
  int i = 0;
  for (double t = start; t < end - 1e-9; t = start + step * ++i) fn(t, i);
}

void chords(Score& s, double start, double end, const Progression& prog, float vel) {
  every(start, end, kBar, [&](double t, int bar) {
    const Chord& c = prog[bar % prog.size()];
    for (size_t i = 0; i < c.size(); ++i)
      s.pad.push_back({t, std::min(kBar, end - t), static_cast<float>(c[i]), vel,
                       static_cast<float>(i) / static_cast<float>(c.size() - 1) * 1.2f - 0.6f});
  });
}

// The chord sounding at time t within a section, and its root.
const Chord& chordAt(const Progression& prog, double start, double t) {
  const int bar = static_cast<int>((t - start) / kBar + 1e-9);
  return prog[bar % prog.size()];
}

int rootAt(const Progression& prog, double start, double t) { return chordAt(prog, start, t)[0]; }

void bassLine(Score& s, double start, double end, const Progression& prog, float vel,
              bool rolling) {
  if (rolling) {
    // Sixteenths skipping each downbeat, leaving room for the kick.
    every(start, end, kStep, [&](double t, int i) {
      if (i % 4 == 0) return;
      const int oct = (i % 8 == 6) ? 12 : 0;
      s.bass.push_back(
          {t, kStep * 0.8, static_cast<float>(rootAt(prog, start, t) - 12 + oct), vel, 0.0f});
    });
  } else {
    every(start, end, kBeat / 2, [&](double t, int i) {
      const int oct = (i % 4 == 3) ? 12 : 0;
      s.bass.push_back(
          {t, kBeat * 0.4, static_cast<float>(rootAt(prog, start, t) - 12 + oct), vel, 0.0f});
    });
  }
}

void arpeggio(Score& s, double start, double end, const Progression& prog, float vel,
              int octaveUp) {
  static const int pattern[8] = {0, 1, 2, 3, 2, 1, 3, 0};
  every(start, end, kStep, [&](double t, int i) {
    const Chord& c = chordAt(prog, start, t);
    const int up = (i / 8) % 2 ? 12 : 0;
    const float accent = i % 4 == 0 ? 1.0f : 0.7f;
    s.arp.push_back({t, kStep * 0.9, static_cast<float>(c[pattern[i % 8]] + 12 * octaveUp + up),
                     vel * accent, (i % 2 ? 0.5f : -0.5f)});
  });
}

enum class Beat { Light, Full, Half };

void drums(Score& s, double start, double end, Beat style, float vel) {
  every(start, end, kStep, [&](double t, int i) {
    const int inBar = i % 16;
    switch (style) {
      case Beat::Light:
        if (inBar % 4 == 0) s.kick.push_back({t, vel});
        if (inBar % 4 == 2) s.hat.push_back({t, vel * 0.6f});
        if (inBar == 12) s.snare.push_back({t, vel * 0.6f});
        break;
      case Beat::Full:
        if (inBar % 4 == 0) s.kick.push_back({t, vel});
        if (inBar == 4 || inBar == 12) s.snare.push_back({t, vel});
        if (inBar % 4 == 2)
          s.openHat.push_back({t, vel * 0.5f});
        else
          s.hat.push_back({t, vel * (inBar % 2 ? 0.35f : 0.5f)});
        break;
      case Beat::Half:
        if (inBar == 0 || inBar == 6) s.kick.push_back({t, vel});
        if (inBar == 8) s.snare.push_back({t, vel});
        if (inBar % 2 == 0) s.hat.push_back({t, vel * 0.4f});
        break;
    }
  });
}

// The tune, `transpose` semitones up; `length` is the share of each note's
// value that sounds, so 0.5 gives the drop's detached variation and 0.92 the
// scroller's sung line.
void melody(Score& s, double start, double end, int transpose, float length, float vel) {
  // (beats, MIDI) pairs over eight bars of Am F C G; 0 = rest.
  static const float tune[][2] = {
      {1, 69},    {0.5f, 72}, {0.5f, 76}, {1.5f, 81}, {0.5f, 79},              // Am
      {1, 77},    {0.5f, 76}, {0.5f, 72}, {1.5f, 69}, {0.5f, 72},              // F
      {1, 76},    {0.5f, 79}, {0.5f, 76}, {1, 72},    {0.5f, 74}, {0.5f, 76},  // C
      {1.5f, 74}, {0.5f, 71}, {1, 67},    {1, 74},                             // G
      {1, 81},    {0.5f, 79}, {0.5f, 76}, {1, 81},    {1, 84},                 // Am
      {1.5f, 81}, {0.5f, 79}, {1, 77},    {1, 76},                             // F
      {1, 79},    {0.5f, 76}, {0.5f, 72}, {1, 76},    {1, 79},                 // C
      {1, 83},    {1, 86},    {1, 83},    {1, 79},                             // G
  };
  double t = start;
  while (t < end - 1e-9)
    for (const auto& n : tune) {
      const double len = n[0] * kBeat;
      if (t >= end - 1e-9) break;
      if (n[1] > 0)
        s.lead.push_back(
            {t, std::min(len * length, end - t), n[1] + static_cast<float>(transpose), vel, 0.1f});
      t += len;
    }
}

// A stretch of the arrangement between two cues: pads, bass, arpeggio and
// beat over one progression, opened by a crash. A zero velocity leaves that
// part out.
struct Section {
  double start, end;
  const Progression* chords;
  float pad, bass;
  bool rollingBass;
  float arp;
  int arpOctave;
  Beat beat;
  float drums, crash;
};

void play(Score& s, const Section& x) {
  if (x.crash > 0.0f) s.crash.push_back({x.start, x.crash});
  chords(s, x.start, x.end, *x.chords, x.pad);
  if (x.bass > 0.0f) bassLine(s, x.start, x.end, *x.chords, x.bass, x.rollingBass);
  if (x.arp > 0.0f) arpeggio(s, x.start, x.end, *x.chords, x.arp, x.arpOctave);
  if (x.drums > 0.0f) drums(s, x.start, x.end, x.beat, x.drums);
}

// Leaves the beat before a hit empty: drums, bass, arpeggio and tune stop
// (held notes are cut short) and the pads dip, so the hit lands on space.
constexpr double kBreath = kBeat;

template <typename Event>
void clearGap(std::vector<Event>& events, double from, double to) {
  events.erase(std::remove_if(events.begin(), events.end(),
                              [&](const Event& e) { return e.t >= from - 1e-9 && e.t < to; }),
               events.end());
}

void breathe(Score& s, double hit) {
  const double from = hit - kBreath;
  for (auto* hits : {&s.kick, &s.snare, &s.hat, &s.openHat}) clearGap(*hits, from, hit);
  for (auto* notes : {&s.bass, &s.arp, &s.lead}) {
    clearGap(*notes, from, hit);
    for (Note& n : *notes)
      if (n.t < from && n.t + n.dur > from) n.dur = from - n.t;
  }
}

// Scales the velocity of the notes starting in [from, to) from 0 up to 1:
// a part fading in with a picture.
void fadeIn(std::vector<Note>& notes, double from, double to) {
  for (Note& n : notes)
    if (n.t >= from && n.t < to) n.vel *= static_cast<float>((n.t - from) / (to - from));
}

// Scales the velocity of the events starting in [from, to) from 0 up to 1
// along a square curve: slow at first, then surging.
template <typename Event>
void grow(std::vector<Event>& events, double from, double to) {
  for (Event& e : events)
    if (e.t >= from && e.t < to) {
      const float x = static_cast<float>((e.t - from) / (to - from));
      e.vel *= x * x;
    }
}

// A picture fading in over [from, to): where it starts to show, the beat's
// highs (hats, snare, arpeggio) fall back to kick and bass and then grow to
// full with it, a noise sweep rises under them until a quarter beat before
// `to`, and a snare roll fills the bar before the beat of space; the pads'
// filter closes and opens with it (padCutoff). The hit on `to`
// (cueHit) lands where the picture is whole, and is kept loud enough to
// stand 10 dB above the end of the sweep.
void swell(Score& s, double from, double to) {
  for (auto* hits : {&s.hat, &s.openHat, &s.snare}) grow(*hits, from, to);
  grow(s.arp, from, to);
  const double rollEnd = to - kBreath, rollStart = std::max(from, rollEnd - kBar);
  every(rollStart, rollEnd, kStep, [&](double t, int) {
    s.snare.push_back({t, 0.15f + 0.45f * static_cast<float>((t - rollStart) / kBar)});
  });
  s.riser.push_back({from, static_cast<float>(to - from - kBreath / 2), 0.4f});
  s.swells.push_back({from, to});
}

// A picture's entrance after a beat of space: crash, kick and snare, a sub
// drop and a chord struck on bells, panned across. The crash is loud and the
// sub moderate so that the limiter, which the kick and the sub drive, leaves
// the crash's highs standing.
void cueHit(Score& s, double t, const Chord& chord, float vel) {
  s.breaths.push_back(t);
  s.crash.push_back({t, vel * 3.4f});
  s.kick.push_back({t, vel});
  s.snare.push_back({t, vel});
  s.boom.push_back({t, vel * 0.6f});
  for (size_t i = 0; i < chord.size(); ++i)
    s.bell.push_back({t + 0.03 * static_cast<double>(i), 2.5, static_cast<float>(chord[i] + 12),
                      vel * 0.5f,
                      static_cast<float>(i) / static_cast<float>(chord.size() - 1) - 0.5f});
}

// A snare fill over the beat before t, growing louder, and a crash on t:
// the turn to a new phrase.
void fill(Score& s, double t, float vel) {
  every(t - kBeat, t, kStep / 2, [&](double x, int i) {
    s.snare.push_back({x, vel * (0.4f + 0.12f * static_cast<float>(i))});
  });
  s.crash.push_back({t, vel});
}

Score compose() {
  Score s;
  const Progression lift = lifted(kMain, 2), spaceLift = lifted(kSpace, 2);
  // One row per stretch between cues; the one-off effects follow.
  const Section sections[] = {
      // 0-20: the logo, then the plasma alone. Pads, their filter opening;
      // hats and a high arpeggio come in below.
      {0, kOldschoolIn, &kMain, 0.55f, 0, false, 0.3f, 2, Beat::Light, 0, 0},
      // 20-25: the oldschool picture: bass pulse, arpeggio, a light beat.
      {kOldschoolIn, kMorphIn, &kMain, 0.55f, 0.6f, false, 0.3f, 1, Beat::Light, 0.6f, 0.5f},
      // 25-33: the bar fades in, the drums start, the harmony darkens
      // towards its dominant.
      {kMorphIn, kBarPhrase2, &kDark, 0.5f, 0.6f, false, 0.4f, 1, Beat::Light, 0.75f, 1.0f},
      // 33-41: the second phrase: arpeggio an octave up, bells answering.
      {kBarPhrase2, kBarPhrase3, &kDark, 0.5f, 0.6f, false, 0.35f, 2, Beat::Light, 0.8f, 0},
      // 41-46: the third: full beat and rolling bass, building.
      {kBarPhrase3, kBumps, &kDark, 0.5f, 0.6f, true, 0.4f, 1, Beat::Full, 0.85f, 0},
      // 46-55: the bumps grow; the theme a whole tone up over the full beat.
      {kBumps, kSpaceIn, &lift, 0.5f, 0.7f, false, 0.5f, 1, Beat::Full, 0.9f, 0.9f},
      // 55-64: "space" in the lifted key: major sevenths, the arpeggio an
      // octave higher; it swells while the word fades in and is hit at 57.
      {kSpaceIn, kMeltStart - 4.0, &spaceLift, 0.55f, 0.7f, false, 0.5f, 2, Beat::Full, 0.9f, 0},
      // 64-68: the dominant under the snare roll.
      {kMeltStart - 4.0, kMeltStart, &kDominant, 0.5f, 0.7f, false, 0.45f, 1, Beat::Full, 0, 0},
      // 68-70: the melt. The roll resolves into pads left ringing on the
      // dominant while the picture shrinks; no beat.
      {kMeltStart, kBoxIn, &kDominant, 0.3f, 0, false, 0, 1, Beat::Light, 0, 0.5f},
      // 70-91: the box stands: everything at once, with the tune (below);
      // a swell while "love" fades in, hit at 80.
      {kBoxIn, kStarsIn, &kMain, 0.5f, 0.85f, true, 0.45f, 1, Beat::Full, 1.0f, 1.0f},
      // 91-105: starfield. New chords, half-time beat, high arpeggio; the
      // swell follows the stars' fade to the hit at 96.
      {kStarsIn, kScrollerIn, &kSpace, 0.55f, 0, false, 0.45f, 2, Beat::Half, 0.85f, 0},
      // 105-120: lifted a whole tone: a swell while the scroller fades in,
      // the last chorus from the hit at 110.
      {kScrollerIn, kClosingText, &lift, 0.45f, 0.75f, true, 0.35f, 1, Beat::Full, 0.95f, 0},
      // 120-128: the closing screen, hit on the cut. Soft pads, no beat;
      // bells below.
      {kClosingText, kEnd - 2.0, &kMain, 0.4f, 0, false, 0, 1, Beat::Light, 0, 0},
  };
  for (const Section& x : sections) play(s, x);

  // 0-20: a floor under the title, the chords' roots held in the centre;
  // the arpeggio grows out of the logo's fade; hats tick from 9 s,
  // eighths then sixteenths, swelling and ebbing with the plasma's palette.
  every(0, kOldschoolIn, kBar, [&](double t, int) {
    s.bass.push_back({t, kBar, static_cast<float>(rootAt(kMain, 0, t) - 12), 0.9f, 0.0f});
  });
  fadeIn(s.arp, kLogoGone - 5.0, kOldschoolIn);
  every(kLogoGone, kOldschoolIn, kStep, [&](double t, int i) {
    if (t < kLogoGone + 4.0 && i % 2) return;
    const float swing = 0.5f + 0.5f * static_cast<float>(std::sin(kTwoPi * t / kPalettePeriod));
    s.hat.push_back({t, (i % 4 == 2 ? 0.7f : 0.4f) * (0.45f + 0.55f * swing)});
  });
  s.riser.push_back({kMorphIn - 3.0, 3.0f, 1.0f});

  // 25-46: a bell on every turn of the bar's twist; the bells answer the
  // second phrase, fills turn into the second and third.
  for (double t = kTwistPeriod / 4.0; t < kBumps; t += kTwistPeriod)
    if (t >= kMorphIn) s.bell.push_back({t, 1.5, 88.0f, 0.35f, 0.5f});
  every(kBarPhrase2, kBarPhrase3, kBar, [&](double t, int) {
    const Chord& c = chordAt(kDark, kMorphIn, t);
    s.bell.push_back({t + kBeat, 1.5, static_cast<float>(c[3] + 12), 0.3f, -0.4f});
    s.bell.push_back({t + 2.5 * kBeat, 1.5, static_cast<float>(c[1] + 12), 0.25f, 0.4f});
  });
  fill(s, kBarPhrase2, 0.8f);
  fill(s, kBarPhrase3, 0.9f);

  swell(s, kSpaceIn, kSpaceFull);
  cueHit(s, kSpaceFull, spaceLift[0], 1.0f);
  // The snare roll into the melt: sixteenths, then 32nds for the last 2 s;
  // it stops on the melt, which slides down softly with the shrinking bar.
  every(kMeltStart - 4.0, kMeltStart, kStep / 2, [&](double t, int i) {
    if (t < kMeltStart - 2.0 && i % 2) return;
    s.snare.push_back({t, 0.3f + 0.5f * static_cast<float>((t - (kMeltStart - 4.0)) / 4.0)});
  });
  s.riser.push_back({kMeltStart - 4.0, 4.0f, 1.0f});
  s.boom.push_back({kMeltStart, 0.5f});
  s.melt.push_back({kMeltStart, 0.7f});
  // The tune from the box on: detached at first, then sung and lifted.
  melody(s, kBoxIn, kStarsIn, 0, 0.5f, 0.75f);
  swell(s, kLoveIn, kLoveFull);
  cueHit(s, kLoveFull, kMain[2], 1.0f);
  // The starfield: the high arpeggio fades in with the stars over long bass
  // roots, one every bar, up to a hit when they cover the frame.
  fadeIn(s.arp, kStarsIn, kStarsFull);
  swell(s, kStarsIn, kStarsFull);
  cueHit(s, kStarsFull, kSpace[0], 0.75f);
  every(kStarsIn, kScrollerIn, kBar, [&](double t, int) {
    s.bass.push_back(
        {t, kBar * 0.9, static_cast<float>(rootAt(kSpace, kStarsIn, t) - 12), 0.7f, 0.0f});
  });
  swell(s, kScrollerIn, kScrollerFull);
  cueHit(s, kScrollerFull, lift[0], 0.9f);
  melody(s, kScrollerFull, kClosingText, 2, 0.92f, 0.85f);
  cueHit(s, kClosingText, kMain[0], 0.8f);
  // Closing bells: a falling line from the chord struck on the cut, then a
  // struck chord on the cut to the hall, then two last notes under the fade.
  const std::pair<double, int> bells[] = {{kClosingText + 0.75, 76},
                                          {kClosingText + 1.5, 72},
                                          {kClosingText + 2.25, 77},
                                          {kHallIn + 1.5, 76},
                                          {kHallIn + 3.0, 69}};
  for (size_t i = 0; i < std::size(bells); ++i)
    s.bell.push_back(
        {bells[i].first, 2.0, static_cast<float>(bells[i].second), 0.5f, (i % 2 ? 0.4f : -0.4f)});
  cueHit(s, kHallIn, kMain[0], 0.7f);
  s.pad.push_back({kEnd - 2.0, 2.0, 45.0f, 0.4f, 0.0f});  // a last low A under the fade
  std::sort(s.breaths.begin(), s.breaths.end());
  for (double t : s.breaths) breathe(s, t);
  return s;
}

// The pad bus's filter cutoff, following the story. Through a swell the
// filter closes at its start and opens up to the beat of space before its
// hit.
Curve padCutoff(const std::vector<std::pair<double, double>>& swells) {
  Curve cutoff{{{0, 300.0f},
                {kLogoGone, 500.0f},
                {kOldschoolIn, 2400.0f},
                {kMorphIn, 2000.0f},
                {kBumps, 2200.0f},
                {kMeltStart, 4000.0f},
                {kBoxIn - 0.3, 400.0f},
                {kBoxIn, 2600.0f},
                {kStarsIn, 2600.0f},
                {kStarsIn + 0.01, 1500.0f},
                {kScrollerIn, 2200.0f},
                {kClosingText, 2200.0f},
                {kClosingText + 0.01, 1200.0f},
                {kEnd, 500.0f}}};
  for (const auto& [from, to] : swells) {
    const float before = cutoff.at(from), after = cutoff.at(to);
    auto& keys = cutoff.keys;
    keys.erase(std::remove_if(keys.begin(), keys.end(),
                              [&](const auto& k) { return k.first >= from && k.first <= to; }),
               keys.end());
    const auto at =
        std::find_if(keys.begin(), keys.end(), [&](const auto& k) { return k.first > to; });
    keys.insert(at, {{from, before}, {from + 0.05, 500.0f}, {to - kBreath, 4000.0f}, {to, after}});
  }
  return cutoff;
}

// The pads dip through the beat of space before each hit.
Curve padLevel(const std::vector<double>& breaths) {
  Curve level{{{0, 1.0f}}};
  for (double t : breaths)
    level.keys.insert(level.keys.end(),
                      {{t - kBreath - 0.05, 1.0f}, {t - kBreath, 0.3f}, {t, 0.3f}, {t, 1.0f}});
  return level;
}

}  // namespace

Score composeScore(const Timeline& tl) {
  // The cues are this file's state for one score at a time; a tool that
  // composes on a thread of its own waits for another's to end.
  static std::mutex composing;
  const std::lock_guard<std::mutex> hold(composing);
  placeCues(tl);
  Score s = compose();
  s.padCutoff = padCutoff(s.swells);
  s.padLevel = padLevel(s.breaths);
  return s;
}

}  // namespace music
