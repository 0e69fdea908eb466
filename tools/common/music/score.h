// The soundtrack's score: timed events per instrument, written on a timeline's cues.
#pragma once
#include <utility>
#include <vector>

#include "presentation/timeline.h"

namespace music {

constexpr double kBeat = 0.5;  // 120 BPM
// Seconds rendered: the show and the tail of its last notes. Nothing of the
// score sounds past it.
constexpr double kTrackLength = 131.0;
constexpr float kTwoPi = 6.2831853f;

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

struct Score {
  std::vector<Note> pad, bass, arp, lead, bell;
  std::vector<Hit> kick, snare, hat, openHat, crash;
  std::vector<Sweep> riser;
  std::vector<Hit> boom, melt;                    // one-off effects
  std::vector<Sweep> reverse;                     // cymbals played backwards, ending at t + length
  std::vector<Note> stab;                         // bright chord notes struck short
  std::vector<double> breaths;                    // hits preceded by a beat of space
  std::vector<std::pair<double, double>> swells;  // builds up to a hit
  std::vector<std::pair<double, double>> breakdowns;  // the beat steps out
  // The pad bus's filter cutoff in Hz, following the story, and its level.
  Curve padCutoff, padLevel;
};

// The picture's events, in seconds, on the nearest beat: every cue of the
// score is one of these, and nothing else derives one. A picture that fades in
// has two: where it starts to show, which opens a swell, and where it is
// whole, which is hit.
struct Cues {
  double logoGone;  // the plasma is alone
  double oldschoolIn;
  double morphIn;     // the twisted bar
  double barPhrase2;  // the bar alone, 8 s in
  double barPhrase3;  // ... and 16 s in
  double bumps;       // the bar grows bumps
  double bumpsFull;   // ... and has them
  double spaceIn, spaceFull;
  double meltStart;  // the bar melts to a blob
  double boxIn;      // the spinning box stands
  double loveIn, loveFull;
  double starsIn, starsFull;
  double scrollerIn, scrollerFull;
  double closingText;  // cut to text and blinking box
  double hallIn;       // cut to the end picture
  // The fade-ins beyond the built-in ones (a maker's layers), in file order:
  // where each starts to show and where it is whole.
  std::vector<std::pair<double, double>> extraIns;
};

// The cues of a timeline's fades.
Cues placeCues(const Timeline& tl);

// The whole score written on `cues`.
Score compose(const Cues& cues);

// compose(placeCues(tl)).
Score composeScore(const Timeline& tl);

}  // namespace music
