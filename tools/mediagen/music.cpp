// Soundtrack synthesis.
//
// The score is a list of timed events per instrument; each event renders
// straight into stereo buses (dry, pad, delay send, reverb send), so a note
// costs only its own length. Buses are then filtered, effected, mixed, faded
// and brought to the loudness norm under a peak limiter. Everything is plain
// float arithmetic with seeded noise, so the output is identical on every run.
#include "tools/mediagen/music.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <iterator>
#include <mutex>

#include "presentation/timeline.h"
#include "presentation/window.h"
#include "tools/mediagen/mastering.h"
#include "tools/mediagen/rng.h"

namespace mediagen {
namespace {

constexpr int kRate = 44100;
constexpr double kLength = 131.0;     // seconds rendered
constexpr double kFadeStart = 125.5;  // master fade ...
constexpr double kFadeEnd = 129.5;    // ... to silence
constexpr double kBeat = 0.5;         // 120 BPM
constexpr double kBar = 4 * kBeat;    // one chord per bar
constexpr double kStep = kBeat / 4;   // sixteenth note
constexpr float kTwoPi = 6.2831853f;
// The streaming loudness norm, and a sample-peak ceiling low enough that
// peaks between samples and the encoder's overshoot stay under -1 dBTP.
constexpr double kTargetLufs = -14.0;
constexpr float kCeilingDb = -3.5f;

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
  kClosingText = onBeat(timeline::kClosingAfter);
  kHallIn = onBeat(timeline::kEndPictureAfter);
}
constexpr double kEnd = kEndTime;
// The programs' own periods: the plasma's palette swings with sin(time / 2),
// the bar's twist with sin(time).
constexpr double kPalettePeriod = 4.0 * 3.14159265358979;
constexpr double kTwistPeriod = 2.0 * 3.14159265358979;

float midiHz(float note) { return 440.0f * std::pow(2.0f, (note - 69.0f) / 12.0f); }
size_t toSample(double t) { return static_cast<size_t>(std::llround(std::max(0.0, t) * kRate)); }

// ---- building blocks ----------------------------------------------------------

struct Stereo {
  std::vector<float> l, r;
  explicit Stereo(size_t n) : l(n, 0.0f), r(n, 0.0f) {}
  size_t size() const { return l.size(); }
  // Equal-power pan, -1 left .. +1 right.
  void add(size_t i, float v, float pan) {
    if (i >= l.size()) return;
    const float a = (pan + 1.0f) * 0.25f * 3.14159265f;
    l[i] += v * std::cos(a);
    r[i] += v * std::sin(a);
  }
};

// Removes the aliasing step of a naive sawtooth (polynomial band-limited step).
float polyBlep(float t, float dt) {
  if (t < dt) {
    t /= dt;
    return t + t - t * t - 1.0f;
  }
  if (t > 1.0f - dt) {
    t = (t - 1.0f) / dt;
    return t * t + t + t + 1.0f;
  }
  return 0.0f;
}

struct Saw {
  float phase = 0.0f;
  float next(float hz) {
    const float dt = hz / kRate;
    const float v = 2.0f * phase - 1.0f - polyBlep(phase, dt);
    phase += dt;
    if (phase >= 1.0f) phase -= 1.0f;
    return v;
  }
};

struct Pulse {
  float phase = 0.0f;
  float next(float hz, float width) {
    const float dt = hz / kRate;
    float p2 = phase + width;
    if (p2 >= 1.0f) p2 -= 1.0f;
    const float v = (2.0f * phase - polyBlep(phase, dt)) - (2.0f * p2 - polyBlep(p2, dt));
    phase += dt;
    if (phase >= 1.0f) phase -= 1.0f;
    return v;
  }
};

// Topology-preserving state-variable filter: stable under fast cutoff changes.
struct Svf {
  float ic1 = 0, ic2 = 0, a1 = 0, a2 = 0, a3 = 0, k = 1;
  float lp = 0, bp = 0, hp = 0;
  void set(float hz, float q) {
    const float g = std::tan(3.14159265f * std::min(hz, kRate * 0.45f) / kRate);
    k = 1.0f / q;
    a1 = 1.0f / (1.0f + g * (g + k));
    a2 = g * a1;
    a3 = g * a2;
  }
  void process(float v0) {
    const float v3 = v0 - ic2;
    const float v1 = a1 * ic1 + a2 * v3;
    const float v2 = ic2 + a2 * ic1 + a3 * v3;
    ic1 = 2.0f * v1 - ic1;
    ic2 = 2.0f * v2 - ic2;
    lp = v2;
    bp = v1;
    hp = v0 - k * v1 - v2;
  }
};

// Linear attack-decay-sustain with a linear release from wherever the note
// was when it ended.
struct Adsr {
  float a, d, s, r;
  float held(float t) const {
    if (t < a) return t / a;
    if (t < a + d) return 1.0f - (1.0f - s) * (t - a) / d;
    return s;
  }
  float at(float t, float dur) const {
    if (t < dur) return held(t);
    return held(dur) * std::max(0.0f, 1.0f - (t - dur) / r);
  }
};

// Piecewise-linear automation curve; repeated times make jumps.
struct Curve {
  std::vector<std::pair<double, float>> keys;
  float at(double t) const {
    if (t <= keys.front().first) return keys.front().second;
    for (size_t i = 1; i < keys.size(); ++i)
      if (t < keys[i].first) {
        const auto& [t0, v0] = keys[i - 1];
        const auto& [t1, v1] = keys[i];
        return v0 + (v1 - v0) * static_cast<float>((t - t0) / (t1 - t0));
      }
    return keys.back().second;
  }
};

// ---- score --------------------------------------------------------------------

struct Note {
  double t, dur;
  float midi, vel, pan;
};
struct Hit {
  double t;
  float vel;
};
// Noise rising in pitch and level over `length` seconds, up to `level`
// times the full build-up's.
struct Sweep {
  double t;
  float length, level;
};

struct Score {
  std::vector<Note> pad, bass, arp, lead, bell;
  std::vector<Hit> kick, snare, hat, openHat, crash;
  std::vector<Sweep> riser;
  std::vector<Hit> boom, melt;                    // one-off effects
  std::vector<double> breaths;                    // hits preceded by a beat of space
  std::vector<std::pair<double, double>> swells;  // builds up to a hit
};

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
// filter closes and opens with it (composeSoundtrack). The hit on `to`
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

// ---- instruments -------------------------------------------------------------

struct Buses {
  Stereo dry, pad, delay, reverb;
  explicit Buses(size_t n) : dry(n), pad(n), delay(n), reverb(n) {}
};

void renderPad(Stereo& out, const Note& n) {
  const Adsr env{0.7f, 0.6f, 0.8f, 1.4f};
  const float hz = midiHz(n.midi);
  // Two saws per side, detuned differently left and right for width, over
  // a saw at the note's own pitch in both: the centre that keeps the chord
  // when the two sides are summed to mono.
  const float detune[4] = {-0.09f, 0.05f, -0.04f, 0.10f};
  Saw osc[4], centre;
  centre.phase = 0.5f;
  float freq[4];
  for (int i = 0; i < 4; ++i) {
    osc[i].phase = static_cast<float>(i) * 0.23f;
    freq[i] = hz * std::pow(2.0f, detune[i] / 12.0f);
  }
  const size_t a = toSample(n.t), len = toSample(n.dur + env.r);
  const float panL = 1.0f - std::max(0.0f, n.pan), panR = 1.0f + std::min(0.0f, n.pan);
  for (size_t i = 0; i < len && a + i < out.size(); ++i) {
    const float t = static_cast<float>(i) / kRate;
    const float e = env.at(t, static_cast<float>(n.dur)) * n.vel * 0.12f;
    const float c = centre.next(hz);
    const float l = (osc[0].next(freq[0]) + osc[1].next(freq[1])) * 0.5f + c;
    const float r = (osc[2].next(freq[2]) + osc[3].next(freq[3])) * 0.5f + c;
    out.l[a + i] += l * e * panL;
    out.r[a + i] += r * e * panR;
  }
}

void renderBass(Buses& b, const Note& n) {
  const Adsr env{0.004f, 0.15f, 0.6f, 0.05f};
  const float hz = midiHz(n.midi);
  Saw saw;
  float sub = 0.0f;
  Svf f;
  const size_t a = toSample(n.t), len = toSample(n.dur + env.r);
  for (size_t i = 0; i < len; ++i) {
    const float t = static_cast<float>(i) / kRate;
    if (i % 16 == 0) f.set(180.0f + 2200.0f * n.vel * std::exp(-t * 14.0f), 1.4f);
    f.process(saw.next(hz));
    sub += hz / kRate;
    if (sub >= 1.0f) sub -= 1.0f;
    const float v = (f.lp * 0.7f + std::sin(sub * kTwoPi) * 0.4f) *
                    env.at(t, static_cast<float>(n.dur)) * n.vel;
    b.dry.add(a + i, v * 0.35f, n.pan);
  }
}

void renderArp(Buses& b, const Note& n) {
  const float hz = midiHz(n.midi);
  Pulse osc;
  Svf f;
  const size_t a = toSample(n.t), len = toSample(n.dur + 0.05);
  for (size_t i = 0; i < len; ++i) {
    const float t = static_cast<float>(i) / kRate;
    if (i % 16 == 0) f.set(600.0f + 5000.0f * std::exp(-t * 25.0f), 1.2f);
    f.process(osc.next(hz, 0.3f));
    const float env = std::min(1.0f, t / 0.002f) * std::exp(-t * 12.0f) *
                      std::max(0.0f, 1.0f - std::max(0.0f, t - static_cast<float>(n.dur)) / 0.05f);
    const float v = f.lp * env * n.vel * 0.28f;
    b.dry.add(a + i, v, n.pan);
    b.delay.add(a + i, v * 0.6f, n.pan);
    b.reverb.add(a + i, v * 0.3f, 0.0f);
  }
}

void renderLead(Buses& b, const Note& n) {
  const Adsr env{0.01f, 0.25f, 0.7f, 0.15f};
  const float hz = midiHz(n.midi);
  Saw s1, s2;
  Pulse sq;
  Svf f;
  f.set(3200.0f, 0.9f);
  const size_t a = toSample(n.t), len = toSample(n.dur + env.r);
  for (size_t i = 0; i < len; ++i) {
    const float t = static_cast<float>(i) / kRate;
    // Vibrato fades in after the attack, like a held sung note.
    const float vib =
        std::sin(t * 5.5f * kTwoPi) * 0.18f * std::clamp((t - 0.15f) / 0.3f, 0.0f, 1.0f);
    const float f0 = hz * std::pow(2.0f, vib / 12.0f);
    f.process(s1.next(f0 * 1.003f) * 0.5f + s2.next(f0 * 0.997f) * 0.5f +
              sq.next(f0 * 0.5f, 0.5f) * 0.4f);
    const float v = f.lp * env.at(t, static_cast<float>(n.dur)) * n.vel * 0.32f;
    b.dry.add(a + i, v, n.pan);
    b.delay.add(a + i, v * 0.45f, n.pan);
    b.reverb.add(a + i, v * 0.35f, 0.0f);
  }
}

void renderBell(Buses& b, const Note& n) {
  // Two-operator FM with an inharmonic ratio and a decaying index: a bell.
  const float hz = midiHz(n.midi);
  const size_t a = toSample(n.t), len = toSample(n.dur + 1.0);
  float pc = 0.0f, pm = 0.0f;
  for (size_t i = 0; i < len; ++i) {
    const float t = static_cast<float>(i) / kRate;
    pm += hz * 3.5f / kRate;
    pc += hz / kRate;
    pm -= std::floor(pm);
    pc -= std::floor(pc);
    const float index = 2.5f * std::exp(-t * 3.0f);
    const float v = std::sin(kTwoPi * pc + index * std::sin(kTwoPi * pm)) * std::exp(-t * 2.2f) *
                    std::min(1.0f, t / 0.003f) * n.vel * 0.22f;
    b.dry.add(a + i, v, n.pan);
    b.delay.add(a + i, v * 0.4f, -n.pan);
    b.reverb.add(a + i, v * 0.6f, 0.0f);
  }
}

void renderKick(Buses& b, const Hit& h) {
  float phase = 0.0f;
  const size_t a = toSample(h.t), len = toSample(0.45);
  Rng rng(static_cast<uint64_t>(a) * 3 + 1);
  for (size_t i = 0; i < len; ++i) {
    const float t = static_cast<float>(i) / kRate;
    // Pitch sweeps from a click down to a 50 Hz thump.
    phase += (48.0f + 120.0f * std::exp(-t * 28.0f)) / kRate;
    const float body = std::sin(kTwoPi * phase) * std::exp(-t * 7.0f);
    const float click = rng.bipolar() * std::exp(-t * 900.0f) * 0.4f;
    b.dry.add(a + i, std::tanh((body + click) * 1.6f) * h.vel * 0.5f, 0.0f);
  }
}

void renderSnare(Buses& b, const Hit& h) {
  const size_t a = toSample(h.t), len = toSample(0.3);
  Rng rng(static_cast<uint64_t>(a) * 3 + 2);
  Svf f;
  f.set(1800.0f, 0.7f);
  float phase = 0.0f;
  for (size_t i = 0; i < len; ++i) {
    const float t = static_cast<float>(i) / kRate;
    f.process(rng.bipolar());
    phase += 185.0f / kRate;
    const float tone = std::sin(kTwoPi * phase) * std::exp(-t * 25.0f) * 0.5f;
    const float v = (tone + (f.hp * 0.7f + f.bp * 0.5f) * std::exp(-t * 16.0f)) * h.vel * 0.4f;
    b.dry.add(a + i, v, 0.05f);
    b.reverb.add(a + i, v * 0.25f, 0.0f);
  }
}

void renderHat(Buses& b, const Hit& h, bool open) {
  const float decay = open ? 9.0f : 70.0f;
  const size_t a = toSample(h.t), len = toSample(open ? 0.35 : 0.08);
  Rng rng(static_cast<uint64_t>(a) * 3 + (open ? 3 : 4));
  Svf f;
  f.set(8000.0f, 0.8f);
  for (size_t i = 0; i < len; ++i) {
    const float t = static_cast<float>(i) / kRate;
    f.process(rng.bipolar());
    const float v = f.hp * std::exp(-t * decay) * h.vel * 0.16f;
    b.dry.add(a + i, v, open ? -0.3f : 0.3f);
  }
}

void renderCrash(Buses& b, const Hit& h) {
  const size_t a = toSample(h.t), len = toSample(2.6);
  Rng rng(static_cast<uint64_t>(a) * 3 + 5);
  Svf fl, fr;
  fl.set(5000.0f, 0.7f);
  fr.set(5200.0f, 0.7f);
  for (size_t i = 0; i < len && a + i < b.dry.size(); ++i) {
    const float t = static_cast<float>(i) / kRate;
    fl.process(rng.bipolar());
    fr.process(rng.bipolar());
    const float e = std::exp(-t * 1.8f) * h.vel * 0.12f;
    b.dry.l[a + i] += fl.hp * e;
    b.dry.r[a + i] += fr.hp * e;
    b.reverb.add(a + i, fl.hp * e * 0.3f, 0.0f);
  }
}

// Noise through a band-pass sweeping upwards, growing louder: the build-up.
void renderRiser(Buses& b, const Sweep& h) {
  const size_t a = toSample(h.t), len = toSample(h.length);
  Rng rng(static_cast<uint64_t>(a) * 3 + 6);
  Svf f;
  for (size_t i = 0; i < len; ++i) {
    const float x = static_cast<float>(i) / static_cast<float>(len);
    if (i % 32 == 0) f.set(300.0f * std::pow(30.0f, x), 2.5f);
    f.process(rng.bipolar());
    const float v = f.bp * x * x * 0.22f * h.level;
    b.dry.add(a + i, v, std::sin(x * 12.0f) * 0.5f);
    b.reverb.add(a + i, v * 0.4f, 0.0f);
  }
}

// Sub-bass drop under the melt's impact.
void renderBoom(Buses& b, const Hit& h) {
  const size_t a = toSample(h.t), len = toSample(2.0);
  float phase = 0.0f;
  for (size_t i = 0; i < len; ++i) {
    const float t = static_cast<float>(i) / kRate;
    phase += (28.0f + 50.0f * std::exp(-t * 2.0f)) / kRate;
    const float v =
        std::sin(kTwoPi * phase) * std::exp(-t * 1.6f) * std::min(1.0f, t / 0.005f) * h.vel * 0.7f;
    b.dry.add(a + i, v, 0.0f);
  }
}

// A detuned saw chord sliding down two octaves: the object melting.
void renderMelt(Buses& b, const Hit& h) {
  const size_t a = toSample(h.t), len = toSample(2.0);
  Saw s[3];
  Svf f;
  const float notes[3] = {69.0f, 72.0f, 76.0f};
  for (size_t i = 0; i < len; ++i) {
    const float t = static_cast<float>(i) / kRate;
    const float bend = -24.0f * t * t / 4.0f + std::sin(t * 7.0f * kTwoPi) * 0.3f;
    if (i % 32 == 0) f.set(4000.0f * std::exp(-t * 1.5f) + 200.0f, 1.5f);
    float v = 0.0f;
    for (int k = 0; k < 3; ++k)
      v += s[k].next(midiHz(notes[k] + bend + 0.1f * static_cast<float>(k)));
    f.process(v);
    const float out = f.lp * std::min(1.0f, t / 0.01f) * (1.0f - t / 2.0f) * h.vel * 0.18f;
    b.dry.add(a + i, out, 0.0f);
    b.delay.add(a + i, out * 0.4f, 0.0f);
    b.reverb.add(a + i, out * 0.5f, 0.0f);
  }
}

// ---- effects ----------------------------------------------------------------

// Ping-pong delay, a dotted eighth long, with darkening repeats.
void applyDelay(const Stereo& in, Stereo& out) {
  const size_t d = toSample(kBeat * 0.75);
  std::vector<float> bl(d, 0.0f), br(d, 0.0f);
  float lpl = 0.0f, lpr = 0.0f;
  for (size_t i = 0, p = 0; i < in.size(); ++i, p = (p + 1) % d) {
    const float yl = bl[p], yr = br[p];
    out.l[i] += yl * 0.7f;
    out.r[i] += yr * 0.7f;
    lpl += 0.4f * (yr - lpl);  // cross-feed makes it bounce between sides
    lpr += 0.4f * (yl - lpr);
    bl[p] = in.l[i] + in.r[i] * 0.5f + lpl * 0.45f;
    br[p] = lpr * 0.45f;
  }
}

// Small Schroeder reverb: parallel damped combs into series all-passes.
void applyReverb(const Stereo& in, Stereo& out) {
  struct Comb {
    std::vector<float> buf;
    size_t p = 0;
    float store = 0.0f;
    float process(float x) {
      const float y = buf[p];
      store = y * 0.7f + store * 0.3f;
      buf[p] = x + store * 0.83f;
      p = (p + 1) % buf.size();
      return y;
    }
  };
  struct Allpass {
    std::vector<float> buf;
    size_t p = 0;
    float process(float x) {
      const float y = buf[p];
      buf[p] = x + y * 0.5f;
      p = (p + 1) % buf.size();
      return y - x;
    }
  };
  const size_t combLen[4] = {1116, 1188, 1277, 1356};
  const size_t apLen[2] = {556, 441};
  for (int ch = 0; ch < 2; ++ch) {
    const size_t spread = ch ? 23 : 0;  // decorrelates left and right
    Comb combs[4];
    Allpass aps[2];
    for (int i = 0; i < 4; ++i) combs[i].buf.assign(combLen[i] + spread, 0.0f);
    for (int i = 0; i < 2; ++i) aps[i].buf.assign(apLen[i] + spread, 0.0f);
    const std::vector<float>& src = ch ? in.r : in.l;
    std::vector<float>& dst = ch ? out.r : out.l;
    for (size_t i = 0; i < src.size(); ++i) {
      const float x = src[i] * 0.25f;
      float y =
          combs[0].process(x) + combs[1].process(x) + combs[2].process(x) + combs[3].process(x);
      y = aps[1].process(aps[0].process(y));
      dst[i] += y * 0.6f;
    }
  }
}

}  // namespace

Audio composeSoundtrack(const Timeline& tl) {
  // The cues are the generator's own state for one soundtrack at a time; a
  // tool that composes on a thread of its own waits for another's to end.
  static std::mutex composing;
  const std::lock_guard<std::mutex> hold(composing);
  placeCues(tl);
  const Score score = compose();
  const size_t n = toSample(kLength);
  Buses b(n);

  for (const Note& x : score.pad) renderPad(b.pad, x);
  for (const Note& x : score.bass) renderBass(b, x);
  for (const Note& x : score.arp) renderArp(b, x);
  for (const Note& x : score.lead) renderLead(b, x);
  for (const Note& x : score.bell) renderBell(b, x);
  for (const Hit& x : score.kick) renderKick(b, x);
  for (const Hit& x : score.snare) renderSnare(b, x);
  for (const Hit& x : score.hat) renderHat(b, x, false);
  for (const Hit& x : score.openHat) renderHat(b, x, true);
  for (const Hit& x : score.crash) renderCrash(b, x);
  for (const Sweep& x : score.riser) renderRiser(b, x);
  for (const Hit& x : score.boom) renderBoom(b, x);
  for (const Hit& x : score.melt) renderMelt(b, x);

  // Pads: one filter over the whole bus, its cutoff following the story;
  // the kick ducks them so the beat breathes.
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
  // Through a swell the filter closes at its start and opens up to the
  // beat of space before its hit.
  for (const auto& [from, to] : score.swells) {
    const float before = cutoff.at(from), after = cutoff.at(to);
    auto& keys = cutoff.keys;
    keys.erase(std::remove_if(keys.begin(), keys.end(),
                              [&](const auto& k) { return k.first >= from && k.first <= to; }),
               keys.end());
    const auto at =
        std::find_if(keys.begin(), keys.end(), [&](const auto& k) { return k.first > to; });
    keys.insert(at, {{from, before}, {from + 0.05, 500.0f}, {to - kBreath, 4000.0f}, {to, after}});
  }
  // The pads dip through the beat of space before each hit.
  Curve padLevel{{{0, 1.0f}}};
  for (double t : score.breaths)
    padLevel.keys.insert(padLevel.keys.end(),
                         {{t - kBreath - 0.05, 1.0f}, {t - kBreath, 0.3f}, {t, 0.3f}, {t, 1.0f}});
  std::vector<float> duck(n, 1.0f);
  for (const Hit& k : score.kick) {
    const size_t a = toSample(k.t), len = toSample(0.4);
    for (size_t i = 0; i < len && a + i < n; ++i)
      duck[a + i] =
          std::min(duck[a + i], 1.0f - 0.45f * std::exp(-static_cast<float>(i) / kRate * 9.0f));
  }
  Svf fl, fr;
  float level = 1.0f;
  for (size_t i = 0; i < n; ++i) {
    if (i % 32 == 0) {
      level = padLevel.at(static_cast<double>(i) / kRate);
      const float hz = cutoff.at(static_cast<double>(i) / kRate);
      fl.set(hz, 0.8f);
      fr.set(hz, 0.8f);
    }
    fl.process(b.pad.l[i] * level);
    fr.process(b.pad.r[i] * level);
    b.dry.l[i] += fl.lp * duck[i];
    b.dry.r[i] += fr.lp * duck[i];
    b.reverb.l[i] += fl.lp * 0.5f;
    b.reverb.r[i] += fr.lp * 0.5f;
  }
  applyDelay(b.delay, b.dry);
  applyDelay(b.delay, b.reverb);  // echoes also feed the room
  applyReverb(b.reverb, b.dry);

  // Master: fade to silence by kFadeEnd, bring the whole to the streaming
  // loudness norm, then limit the peaks. The limiter takes off a little
  // loudness, so the gain is measured again once and the pair repeated.
  Audio audio;
  audio.rate = kRate;
  audio.left = std::move(b.dry.l);
  audio.right = std::move(b.dry.r);
  for (size_t i = 0; i < n; ++i) {
    const double t = static_cast<double>(i) / kRate;
    float g = 1.0f;
    if (t >= kFadeEnd)
      g = 0.0f;
    else if (t > kFadeStart)
      g = 0.5f + 0.5f * std::cos(3.14159265f *
                                 static_cast<float>((t - kFadeStart) / (kFadeEnd - kFadeStart)));
    // A 20 ms fade-in avoids a click at the very start.
    g *= static_cast<float>(std::min(1.0, t / 0.02));
    audio.left[i] *= g;
    audio.right[i] *= g;
  }
  for (int pass = 0; pass < 2; ++pass) {
    const double lufs = integratedLoudness(audio.left, audio.right, kRate);
    const float gain = static_cast<float>(std::pow(10.0, (kTargetLufs - lufs) / 20.0));
    for (size_t i = 0; i < n; ++i) {
      audio.left[i] *= gain;
      audio.right[i] *= gain;
    }
    limitPeaks(audio.left, audio.right, kRate, std::pow(10.0f, kCeilingDb / 20.0f), 2.0, 120.0);
  }
  return audio;
}

}  // namespace mediagen
