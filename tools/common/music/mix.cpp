// The soundtrack's mix: the buses summed through their effects, faded and mastered.
//
// The score is a list of timed events per instrument; each event renders
// straight into stereo buses (dry, pad, delay send, reverb send), so a note
// costs only its own length. Buses are then filtered, effected, mixed, faded
// and brought to the loudness norm under a peak limiter. Everything is plain
// float arithmetic with seeded noise, so the output is identical on every run.
#include "tools/common/music/music.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "presentation/timeline.h"
#include "tools/common/music/instruments.h"
#include "tools/common/music/mastering.h"
#include "tools/common/music/score.h"

namespace music {
namespace {

constexpr double kFadeStart = 125.5;  // master fade ...
constexpr double kFadeEnd = 129.5;    // ... to silence
// The streaming loudness norm, and a sample-peak ceiling low enough that
// peaks between samples and the encoder's overshoot stay under -1 dBTP.
constexpr double kTargetLufs = -14.0;
constexpr float kCeilingDb = -4.0f;

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

Audio composeSoundtrack(const Timeline& tl, StopCheck stop) {
  const Score score = composeScore(tl);
  const size_t n = toSample(kTrackLength);
  Buses b(n);
  // Each stage of the mix below takes a fraction of a second: asking between
  // them keeps a stop prompt.
  auto stopped = [&] { return stop && stop(); };
  if (!renderScore(score, b, stop)) return {};

  // Pads: one filter over the whole bus, its cutoff following the story;
  // the kick ducks them so the beat breathes.
  const Curve& cutoff = score.padCutoff;
  const Curve& padLevel = score.padLevel;
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
  if (stopped()) return {};
  applyDelay(b.delay, b.dry);
  if (stopped()) return {};
  applyDelay(b.delay, b.reverb);  // echoes also feed the room
  if (stopped()) return {};
  applyReverb(b.reverb, b.dry);
  if (stopped()) return {};

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
    if (stopped()) return {};
    const double lufs = integratedLoudness(audio.left, audio.right, kRate);
    const float gain = static_cast<float>(std::pow(10.0, (kTargetLufs - lufs) / 20.0));
    for (size_t i = 0; i < n; ++i) {
      audio.left[i] *= gain;
      audio.right[i] *= gain;
    }
    if (stopped()) return {};
    limitPeaks(audio.left, audio.right, kRate, std::pow(10.0f, kCeilingDb / 20.0f), 2.0, 120.0);
  }
  return audio;
}

}  // namespace music
