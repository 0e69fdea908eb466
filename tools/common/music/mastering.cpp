// Loudness measurement after ITU-R BS.1770 and a look-ahead peak limiter.
#include "tools/common/music/mastering.h"

#include <algorithm>
#include <cmath>
#include <deque>

namespace music {
namespace {

constexpr double kPi = 3.14159265358979;

// Direct form I biquad, in double so the 38 Hz high-pass stays exact.
struct Biquad {
  double b0, b1, b2, a1, a2;
  double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
  double process(double x) {
    const double y = b0 * x + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2;
    x2 = x1;
    x1 = x;
    y2 = y1;
    y1 = y;
    return y;
  }
};

// The two K-weighting stages (a +4 dB shelf above about 1.7 kHz, then a
// high-pass at 38 Hz), derived for any sample rate from their analogue
// prototypes by the bilinear transform.
std::vector<double> kWeightedSquares(const std::vector<float>& x, int rate) {
  const double shelfK = std::tan(kPi * 1681.974450955533 / rate), shelfQ = 0.7071752369554196;
  const double vh = std::pow(10.0, 3.999843853973347 / 20.0), vb = std::pow(vh, 0.4996667741545416);
  const double sa0 = 1.0 + shelfK / shelfQ + shelfK * shelfK;
  Biquad shelf{
      (vh + vb * shelfK / shelfQ + shelfK * shelfK) / sa0, 2.0 * (shelfK * shelfK - vh) / sa0,
      (vh - vb * shelfK / shelfQ + shelfK * shelfK) / sa0, 2.0 * (shelfK * shelfK - 1.0) / sa0,
      (1.0 - shelfK / shelfQ + shelfK * shelfK) / sa0};
  const double hpK = std::tan(kPi * 38.13547087602444 / rate), hpQ = 0.5003270373238773;
  const double ha0 = 1.0 + hpK / hpQ + hpK * hpK;
  Biquad highPass{1.0, -2.0, 1.0, 2.0 * (hpK * hpK - 1.0) / ha0,
                  (1.0 - hpK / hpQ + hpK * hpK) / ha0};
  std::vector<double> out(x.size());
  for (size_t i = 0; i < x.size(); ++i) {
    const double y = highPass.process(shelf.process(x[i]));
    out[i] = y * y;
  }
  return out;
}

double toLufs(double meanSquare) { return -0.691 + 10.0 * std::log10(meanSquare); }

// Running sums of both channels' K-weighted squares: a window's mean is one
// subtraction.
std::vector<double> weightedPrefixSums(const std::vector<float>& left,
                                       const std::vector<float>& right, int rate) {
  const std::vector<double> l = kWeightedSquares(left, rate), r = kWeightedSquares(right, rate);
  const size_t n = std::min(l.size(), r.size());
  std::vector<double> sum(n + 1, 0.0);
  for (size_t i = 0; i < n; ++i) sum[i + 1] = sum[i] + l[i] + r[i];
  return sum;
}

}  // namespace

std::vector<double> shortTermLoudness(const std::vector<float>& left,
                                      const std::vector<float>& right, int rate, double step) {
  const std::vector<double> sum = weightedPrefixSums(left, right, rate);
  const size_t window = static_cast<size_t>(rate) * 3;
  std::vector<double> out;
  for (size_t k = 0;; ++k) {
    const size_t a = static_cast<size_t>(std::llround(static_cast<double>(k) * step * rate));
    if (a + window >= sum.size()) break;
    const double ms = (sum[a + window] - sum[a]) / static_cast<double>(window);
    out.push_back(ms > 0.0 ? std::max(-70.0, toLufs(ms)) : -70.0);
  }
  return out;
}

double integratedLoudness(const std::vector<float>& left, const std::vector<float>& right,
                          int rate) {
  const std::vector<double> sum = weightedPrefixSums(left, right, rate);
  const size_t block = static_cast<size_t>(rate) * 4 / 10, step = block / 4, n = sum.size() - 1;
  std::vector<double> blocks;
  for (size_t a = 0; a + block <= n; a += step)
    blocks.push_back((sum[a + block] - sum[a]) / static_cast<double>(block));
  auto gatedMean = [&](double gateLufs) {
    double total = 0;
    size_t count = 0;
    for (double ms : blocks)
      if (ms > 0.0 && toLufs(ms) > gateLufs) total += ms, ++count;
    return count ? total / static_cast<double>(count) : 0.0;
  };
  const double absolute = gatedMean(-70.0);
  if (absolute <= 0.0) return -70.0;
  const double relative = gatedMean(toLufs(absolute) - 10.0);
  return relative > 0.0 ? toLufs(relative) : -70.0;
}

void limitPeaks(std::vector<float>& left, std::vector<float>& right, int rate, float ceiling,
                double lookaheadMs, double releaseMs) {
  const size_t n = std::min(left.size(), right.size());
  const size_t ahead = std::max<size_t>(1, static_cast<size_t>(lookaheadMs * rate / 1000.0));
  // The gain each sample needs on its own.
  std::vector<float> need(n);
  for (size_t i = 0; i < n; ++i) {
    const float peak = std::max(std::fabs(left[i]), std::fabs(right[i]));
    need[i] = peak > ceiling ? ceiling / peak : 1.0f;
  }
  // Minimum over the next `ahead` samples (a monotonic queue), then an
  // instant attack and exponential release towards 1.
  const float release = static_cast<float>(1.0 - std::exp(-1000.0 / (releaseMs * rate)));
  std::vector<float> held(n);
  std::deque<size_t> window;
  float g = 1.0f;
  for (size_t i = 0, next = 0; i < n; ++i) {
    for (; next < std::min(n, i + ahead); ++next) {
      while (!window.empty() && need[window.back()] >= need[next]) window.pop_back();
      window.push_back(next);
    }
    while (window.front() < i) window.pop_front();
    g = std::min(need[window.front()], g + (1.0f - g) * release);
    held[i] = g;
  }
  // Averaging the held gain over the look-ahead turns its steps into ramps.
  // Every sample in the window before a peak already holds that peak's gain
  // or less, so the average still meets it.
  double acc = 0.0;
  for (size_t i = 0; i < n; ++i) {
    acc += held[i];
    if (i >= ahead) acc -= held[i - ahead];
    const float gain = static_cast<float>(acc / static_cast<double>(std::min(i + 1, ahead)));
    left[i] *= gain;
    right[i] *= gain;
  }
}

}  // namespace music
