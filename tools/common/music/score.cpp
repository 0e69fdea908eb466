// The soundtrack's score: cues placed from a timeline, the sections, the arrangement.
#include "tools/common/music/score.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <tuple>
#include <utility>

#include "presentation/timeline.h"
#include "presentation/window.h"

namespace music {
namespace {

constexpr double kBar = 4 * kBeat;   // one chord per bar
constexpr double kStep = kBeat / 4;  // sixteenth note

// Cues beyond this are never heard: a fade slow enough to end at infinity
// ends here, which keeps every time finite and every loop short.
constexpr double kNever = 1e6;

// Every cue is put on the nearest beat so that the score's bars stay on the
// 120 BPM grid (the bumps start between two beats; their music starts on the
// nearer one).
double onBeat(double seconds) {
  seconds = std::min(seconds, kNever);
  return static_cast<double>(static_cast<long long>(seconds / kBeat + 0.5)) * kBeat;
}

// A fade-in's two cues on the beat: where its picture starts to show and
// where it is whole.
std::pair<double, double> fadeInOnBeat(const Fade& f) {
  return {onBeat(f.at), onBeat(fadeEdge(f))};
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

// Calls fn(t, i) for t = start, start + step, ... < end, within the track:
// a stretch that a slow fade draws out past the end costs no more than the
// track holds.
template <typename Fn>
void every(double start, double end, double step, Fn fn) {
  end = std::min(end, kTrackLength);
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

// A breakdown over [from, to): the drums, the bass and the tune step out
// (held notes are cut short) and the arpeggio falls back, leaving the pads
// under the picture as it fades in.
void strip(Score& s, double from, double to) {
  for (auto* hits : {&s.kick, &s.snare, &s.hat, &s.openHat}) clearGap(*hits, from, to);
  for (auto* notes : {&s.bass, &s.lead}) {
    clearGap(*notes, from, to);
    for (Note& n : *notes)
      if (n.t < from && n.t + n.dur > from) n.dur = from - n.t;
  }
  for (Note& n : s.arp)
    if (n.t >= from && n.t < to) n.vel *= 0.4f;
  s.breakdowns.push_back({from, to});
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
    s.snare.push_back({t, 0.1f + 0.3f * static_cast<float>((t - rollStart) / kBar)});
  });
  s.riser.push_back({from, static_cast<float>(to - from - kBreath / 2), 0.4f});
  s.swells.push_back({from, to});
}

// How a picture's entrance is struck, so that no two hits in a row sound
// alike.
enum class Strike {
  Crash,        // crash, kick and snare, a sub drop, a chord on bells
  ReverseStab,  // a cymbal played backwards into the breath, then a bright chord stab
  SubDrop,      // a long sub falling under a crash and bells
  GatedChord,   // the chord chopped in sixteenths over the first bar, over a crash
};

// A picture's entrance after a beat of space, struck the way `how` says on
// `chord`. The bar before it drops the kick and the open hats, so the hit
// stands out against the groove and not only against the breath. The
// crashes are loud and the subs moderate so that the limiter, which the
// kick and the sub drive, leaves the highs standing.
void cueHit(Score& s, double t, const Chord& chord, float vel, Strike how) {
  s.breaths.push_back(t);
  for (auto* hits : {&s.kick, &s.openHat}) clearGap(*hits, t - kBar, t);
  s.kick.push_back({t, vel});
  auto spread = [&](size_t i) {
    return static_cast<float>(i) / static_cast<float>(chord.size() - 1) - 0.5f;
  };
  auto bells = [&](float level) {
    for (size_t i = 0; i < chord.size(); ++i)
      s.bell.push_back({t + 0.03 * static_cast<double>(i), 2.5, static_cast<float>(chord[i] + 12),
                        vel * level, spread(i)});
  };
  switch (how) {
    case Strike::Crash:
      s.crash.push_back({t, vel * 4.0f});
      s.snare.push_back({t, vel});
      s.boom.push_back({t, vel * 0.6f});
      bells(0.5f);
      break;
    case Strike::ReverseStab:
      s.reverse.push_back({t - kBreath - 1.5, 1.5f, vel});
      s.crash.push_back({t, vel * 4.0f});
      s.snare.push_back({t, vel});
      s.boom.push_back({t, vel * 0.5f});
      for (size_t i = 0; i < chord.size(); ++i)
        s.stab.push_back({t, 0.4, static_cast<float>(chord[i] + 12), vel, spread(i)});
      break;
    case Strike::SubDrop:
      s.crash.push_back({t, vel * 4.0f});
      s.boom.push_back({t, vel * 0.8f});
      bells(0.6f);
      break;
    case Strike::GatedChord:
      s.crash.push_back({t, vel * 4.0f});
      s.snare.push_back({t, vel});
      s.boom.push_back({t, vel * 0.5f});
      // The gate: one bit a sixteenth, the bar's first at the top.
      constexpr unsigned kGate = 0b1101'1011'0110'1010;
      every(t, t + kBar, kStep, [&](double x, int i) {
        if ((kGate >> (15 - i)) & 1u)
          for (size_t k = 0; k < chord.size(); ++k)
            s.stab.push_back({x, kStep * 0.6, static_cast<float>(chord[k] + 12),
                              vel * (i == 0 ? 1.0f : 0.6f), spread(k)});
      });
      break;
  }
}

// A snare fill over the beat before t, growing louder, and a crash on t:
// the turn to a new phrase.
void fill(Score& s, double t, float vel) {
  every(t - kBeat, t, kStep / 2, [&](double x, int i) {
    s.snare.push_back({x, vel * (0.4f + 0.12f * static_cast<float>(i))});
  });
  s.crash.push_back({t, vel});
}

// The turn into a new phrase at `at`, played over the bar before it; every
// kind leaves the kick out of some of the bar's beats, so the four-to-the-
// floor never runs on past a phrase.
enum class Turn {
  Dropped,   // the kick steps out for the bar, the snare fills its last beat
  HalfTime,  // kick on one and the "and" of two, snare on three
  Fill,      // kick on one only, a snare fill over the last two beats
};

void turn(Score& s, double at, Turn kind, float vel) {
  const double bar = at - kBar;
  switch (kind) {
    case Turn::Dropped: clearGap(s.kick, bar, at); break;
    case Turn::HalfTime:
      clearGap(s.kick, bar, at);
      clearGap(s.snare, bar, at);
      s.kick.push_back({bar, vel});
      s.kick.push_back({bar + 3 * kStep, vel * 0.8f});
      s.snare.push_back({bar + 2 * kBeat, vel});
      break;
    case Turn::Fill:
      clearGap(s.kick, bar + kBeat, at);
      clearGap(s.snare, at - 2 * kBeat, at);
      every(at - 2 * kBeat, at - kBeat, kStep, [&](double x, int i) {
        s.snare.push_back({x, vel * (0.3f + 0.1f * static_cast<float>(i))});
      });
      break;
  }
  fill(s, at, vel);
}

Score arrange(const Cues& c) {
  Score s;
  const Progression lift = lifted(kMain, 2), spaceLift = lifted(kSpace, 2);
  // One row per stretch between cues; the one-off effects follow.
  const Section sections[] = {
      // 0-20: the logo, then the plasma alone. Pads, their filter opening;
      // hats and a high arpeggio come in below.
      {0, c.oldschoolIn, &kMain, 0.55f, 0, false, 0.3f, 2, Beat::Light, 0, 0},
      // 20-25: the oldschool picture: bass pulse, arpeggio, a light beat.
      {c.oldschoolIn, c.morphIn, &kMain, 0.55f, 0.6f, false, 0.3f, 1, Beat::Light, 0.6f, 0.5f},
      // 25-33: the bar fades in, the drums start, the harmony darkens
      // towards its dominant.
      {c.morphIn, c.barPhrase2, &kDark, 0.5f, 0.6f, false, 0.4f, 1, Beat::Light, 0.75f, 1.0f},
      // 33-41: the second phrase: arpeggio an octave up, bells answering.
      {c.barPhrase2, c.barPhrase3, &kDark, 0.5f, 0.6f, false, 0.35f, 2, Beat::Light, 0.8f, 0},
      // 41-46: the third: full beat and rolling bass, building.
      {c.barPhrase3, c.bumps, &kDark, 0.5f, 0.6f, true, 0.4f, 1, Beat::Full, 0.85f, 0},
      // 46-55: the bumps grow over a breakdown (below); the theme a whole
      // tone up over the full beat once they are whole.
      {c.bumps, c.spaceIn, &lift, 0.5f, 0.7f, false, 0.5f, 1, Beat::Full, 0.9f, 0},
      // 55-64: "space" in the lifted key: major sevenths, the arpeggio an
      // octave higher; it swells while the word fades in and is hit at 57.
      {c.spaceIn, c.meltStart - 4.0, &spaceLift, 0.55f, 0.7f, false, 0.5f, 2, Beat::Full, 0.9f, 0},
      // 64-68: the dominant under the snare roll.
      {c.meltStart - 4.0, c.meltStart, &kDominant, 0.5f, 0.7f, false, 0.45f, 1, Beat::Full, 0, 0},
      // 68-70: the melt. The roll resolves into pads left ringing on the
      // dominant while the picture shrinks; no beat.
      {c.meltStart, c.boxIn, &kDominant, 0.3f, 0, false, 0, 1, Beat::Light, 0, 0.5f},
      // 70-91: the box stands: everything at once, with the tune (below);
      // a breakdown while "love" fades in, hit at 80.
      {c.boxIn, c.starsIn, &kMain, 0.5f, 0.85f, true, 0.45f, 1, Beat::Full, 1.0f, 1.0f},
      // 91-105: starfield. New chords, half-time beat, high arpeggio; a
      // breakdown while the stars fade in, to the hit at 96.
      {c.starsIn, c.scrollerIn, &kSpace, 0.55f, 0, false, 0.45f, 2, Beat::Half, 0.85f, 0},
      // 105-120: lifted a whole tone: a swell while the scroller fades in,
      // the last chorus from the hit at 110.
      {c.scrollerIn, c.closingText, &lift, 0.45f, 0.75f, true, 0.35f, 1, Beat::Full, 0.95f, 0},
      // 120-128: the closing screen, hit on the cut. Soft pads, no beat;
      // bells below.
      {c.closingText, kEnd - 2.0, &kMain, 0.4f, 0, false, 0, 1, Beat::Light, 0, 0},
  };
  for (const Section& x : sections) play(s, x);
  // Every eighth bar of a beat turns into the next phrase, each turn
  // unlike the one before.
  int turns = 0;
  for (const Section& x : sections)
    if (x.drums > 0.0f)
      for (double t = x.start + 8 * kBar; t < std::min(x.end, kTrackLength) - 1e-9; t += 8 * kBar)
        turn(s, t, static_cast<Turn>(turns++ % 3), x.drums);

  // 0-20: a floor under the title, the chords' roots held in the centre;
  // the arpeggio grows out of the logo's fade; hats tick from 9 s,
  // eighths then sixteenths, swelling and ebbing with the plasma's palette.
  every(0, c.oldschoolIn, kBar, [&](double t, int) {
    s.bass.push_back({t, kBar, static_cast<float>(rootAt(kMain, 0, t) - 12), 0.9f, 0.0f});
  });
  fadeIn(s.arp, c.logoGone - 5.0, c.oldschoolIn);
  every(c.logoGone, c.oldschoolIn, kStep, [&](double t, int i) {
    if (t < c.logoGone + 4.0 && i % 2) return;
    const float swing = 0.5f + 0.5f * static_cast<float>(std::sin(kTwoPi * t / kPalettePeriod));
    s.hat.push_back({t, (i % 4 == 2 ? 0.7f : 0.4f) * (0.45f + 0.55f * swing)});
  });
  s.riser.push_back({c.morphIn - 3.0, 3.0f, 1.0f});

  // 25-46: a bell on every turn of the bar's twist; the bells answer the
  // second phrase, fills turn into the second and third.
  for (double t = kTwistPeriod / 4.0; t < c.bumps; t += kTwistPeriod)
    if (t >= c.morphIn) s.bell.push_back({t, 1.5, 88.0f, 0.35f, 0.5f});
  every(c.barPhrase2, c.barPhrase3, kBar, [&](double t, int) {
    const Chord& chord = chordAt(kDark, c.morphIn, t);
    s.bell.push_back({t + kBeat, 1.5, static_cast<float>(chord[3] + 12), 0.3f, -0.4f});
    s.bell.push_back({t + 2.5 * kBeat, 1.5, static_cast<float>(chord[1] + 12), 0.25f, 0.4f});
  });
  turn(s, c.barPhrase2, Turn::Dropped, 0.8f);
  turn(s, c.barPhrase3, Turn::HalfTime, 0.9f);
  // The bumps grow over a breakdown; the full beat comes back where they
  // are whole.
  strip(s, c.bumps, c.bumpsFull);
  swell(s, c.bumps, c.bumpsFull);
  s.crash.push_back({c.bumpsFull, 1.2f});

  swell(s, c.spaceIn, c.spaceFull);
  cueHit(s, c.spaceFull, spaceLift[0], 1.0f, Strike::Crash);
  // The snare roll into the melt: sixteenths, then 32nds for the last 2 s;
  // it stops on the melt, which slides down softly with the shrinking bar.
  every(c.meltStart - 4.0, c.meltStart, kStep / 2, [&](double t, int i) {
    if (t < c.meltStart - 2.0 && i % 2) return;
    s.snare.push_back({t, 0.3f + 0.5f * static_cast<float>((t - (c.meltStart - 4.0)) / 4.0)});
  });
  s.riser.push_back({c.meltStart - 4.0, 4.0f, 1.0f});
  s.boom.push_back({c.meltStart, 0.4f});
  s.melt.push_back({c.meltStart, 0.7f});
  // The tune from the box on: detached at first, then sung and lifted.
  melody(s, c.boxIn, c.starsIn, 0, 0.5f, 0.75f);
  strip(s, c.loveIn, c.loveFull);
  swell(s, c.loveIn, c.loveFull);
  cueHit(s, c.loveFull, kMain[2], 1.0f, Strike::ReverseStab);
  // The starfield: the high arpeggio fades in with the stars over long bass
  // roots, one every bar, up to a hit when they cover the frame.
  fadeIn(s.arp, c.starsIn, c.starsFull);
  strip(s, c.starsIn, c.starsFull);
  swell(s, c.starsIn, c.starsFull);
  cueHit(s, c.starsFull, kSpace[0], 0.75f, Strike::SubDrop);
  every(c.starsIn, c.scrollerIn, kBar, [&](double t, int) {
    s.bass.push_back(
        {t, kBar * 0.9, static_cast<float>(rootAt(kSpace, c.starsIn, t) - 12), 0.7f, 0.0f});
  });
  swell(s, c.scrollerIn, c.scrollerFull);
  cueHit(s, c.scrollerFull, lift[0], 0.9f, Strike::GatedChord);
  melody(s, c.scrollerFull, c.closingText, 2, 0.92f, 0.85f);
  cueHit(s, c.closingText, kMain[0], 0.8f, Strike::Crash);
  // Closing bells: a falling line from the chord struck on the cut, then a
  // struck chord on the cut to the hall, then two last notes under the fade.
  const std::pair<double, int> bells[] = {{c.closingText + 0.5, 76},
                                          {c.closingText + 1.0, 72},
                                          {c.closingText + 1.5, 77},
                                          {c.hallIn + 1.5, 76},
                                          {c.hallIn + 3.0, 69}};
  for (size_t i = 0; i < std::size(bells); ++i)
    s.bell.push_back(
        {bells[i].first, 2.0, static_cast<float>(bells[i].second), 0.5f, (i % 2 ? 0.4f : -0.4f)});
  cueHit(s, c.hallIn, kMain[0], 0.7f, Strike::ReverseStab);
  s.pad.push_back({kEnd - 2.0, 2.0, 45.0f, 0.4f, 0.0f});  // a last low A under the fade
  // Every other picture fading in, a maker's layer: a swell over its fade and
  // a hit on the chord that sounds where it is whole, struck each way in turn.
  int strikes = 0;
  for (const auto& [from, to] : c.extraIns) {
    const Section* at = std::find_if(std::begin(sections), std::end(sections),
                                     [&](const Section& x) { return to >= x.start && to < x.end; });
    swell(s, from, to);
    cueHit(s, to, at == std::end(sections) ? kMain[0] : chordAt(*at->chords, at->start, to), 0.9f,
           static_cast<Strike>(strikes++ % 4));
  }
  std::sort(s.breaths.begin(), s.breaths.end());
  for (double t : s.breaths) breathe(s, t);
  return s;
}

// The pad bus's filter cutoff, following the story. Through a swell the
// filter closes at its start and opens up to the beat of space before its
// hit.
Curve padCutoff(const Cues& c, const std::vector<std::pair<double, double>>& swells) {
  Curve cutoff{{{0, 300.0f},
                {c.logoGone, 500.0f},
                {c.oldschoolIn, 2400.0f},
                {c.morphIn, 2000.0f},
                {c.bumps, 2200.0f},
                {c.meltStart, 4000.0f},
                {c.boxIn - 0.3, 400.0f},
                {c.boxIn, 2600.0f},
                {c.starsIn, 2600.0f},
                {c.starsIn + 0.01, 1500.0f},
                {c.scrollerIn, 2200.0f},
                {c.closingText, 2200.0f},
                {c.closingText + 0.01, 1200.0f},
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

// The pads dip through the beat of space before each hit, and fall back at
// the start of a breakdown to grow with it up to its end.
Curve padLevel(const Score& s) {
  Curve level{{{0, 1.0f}}};
  for (double t : s.breaths)
    level.keys.insert(level.keys.end(),
                      {{t - kBreath - 0.05, 1.0f}, {t - kBreath, 0.3f}, {t, 0.3f}, {t, 1.0f}});
  for (const auto& [from, to] : s.breakdowns)
    level.keys.insert(level.keys.end(),
                      {{from, 1.0f}, {from + kBeat, 0.45f}, {to - kBreath - 0.05, 1.0f}});
  std::stable_sort(level.keys.begin(), level.keys.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  return level;
}

}  // namespace

Cues placeCues(const Timeline& tl) {
  Cues c;
  c.logoGone = onBeat(tl.logoOut.at);
  c.oldschoolIn = onBeat(tl.oldschoolIn.at);
  c.morphIn = onBeat(tl.morphIn.at);
  c.barPhrase2 = c.morphIn + 4 * kBar;
  c.barPhrase3 = c.morphIn + 8 * kBar;
  std::tie(c.bumps, c.bumpsFull) = fadeInOnBeat(tl.morphOffsetIn);
  std::tie(c.spaceIn, c.spaceFull) = fadeInOnBeat(tl.spaceIn);
  std::tie(c.meltStart, c.boxIn) = fadeInOnBeat(tl.boxIn);
  std::tie(c.loveIn, c.loveFull) = fadeInOnBeat(tl.loveIn);
  std::tie(c.starsIn, c.starsFull) = fadeInOnBeat(tl.starfieldIn);
  std::tie(c.scrollerIn, c.scrollerFull) = fadeInOnBeat(tl.scrollerIn);
  c.closingText = onBeat(tl.closing);
  c.hallIn = onBeat(tl.endPicture);
  for (const NamedFade& f : tl.extraFades)
    if (f.fade.in) c.extraIns.push_back(fadeInOnBeat(f.fade));
  return c;
}

Score compose(const Cues& c) {
  Score s = arrange(c);
  s.padCutoff = padCutoff(c, s.swells);
  s.padLevel = padLevel(s);
  return s;
}

Score composeScore(const Timeline& tl) { return compose(placeCues(tl)); }

}  // namespace music
