// The soundtrack's instruments: the voices that render the score into stereo buses.
#pragma once
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <vector>

#include "tools/common/music/score.h"
#include "tools/common/ogg_vorbis.h"

namespace music {

constexpr int kRate = 44100;

inline size_t toSample(double t) {
  return static_cast<size_t>(std::llround(std::max(0.0, t) * kRate));
}

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

// What the instruments play into: the dry mix, the pads (filtered as one
// bus by the mix) and the delay and reverb sends.
struct Buses {
  Stereo dry, pad, delay, reverb;
  explicit Buses(size_t n) : dry(n), pad(n), delay(n), reverb(n) {}
};

// Renders every event of the score into the buses, each only as far as the
// buses reach; false when `stop` ended it first.
bool renderScore(const Score& score, Buses& b, StopCheck stop = nullptr);

}  // namespace music
