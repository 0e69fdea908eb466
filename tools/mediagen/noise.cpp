// Tiling textures: the plasma's noise and the tunnel's starfield.
#include <algorithm>
#include <cmath>

#include "tools/mediagen/media.h"
#include "tools/mediagen/raster.h"
#include "tools/mediagen/rng.h"

namespace mediagen {
namespace {

float fade(float t) { return t * t * t * (t * (t * 6.0f - 15.0f) + 10.0f); }

// Gradient noise on a lattice that repeats every `period` cells, so a texture
// spanning a whole number of periods tiles without a seam.
float periodicGradientNoise(float x, float y, int period, uint32_t seed) {
  const float fx = std::floor(x), fy = std::floor(y);
  const int ix = static_cast<int>(fx), iy = static_cast<int>(fy);
  const float tx = x - fx, ty = y - fy;
  auto corner = [&](int cx, int cy, float dx, float dy) {
    const uint32_t wx = static_cast<uint32_t>(((cx % period) + period) % period);
    const uint32_t wy = static_cast<uint32_t>(((cy % period) + period) % period);
    const float angle = static_cast<float>(hash2(wx, wy, seed) & 0xFFFFu) * (6.2831853f / 65536.0f);
    return std::cos(angle) * dx + std::sin(angle) * dy;
  };
  const float n00 = corner(ix, iy, tx, ty), n10 = corner(ix + 1, iy, tx - 1, ty);
  const float n01 = corner(ix, iy + 1, tx, ty - 1), n11 = corner(ix + 1, iy + 1, tx - 1, ty - 1);
  const float u = fade(tx), v = fade(ty);
  const float a = n00 + (n10 - n00) * u, b = n01 + (n11 - n01) * u;
  return a + (b - a) * v;
}

}  // namespace

Image makeNoise() {
  constexpr int kSize = 256;
  std::vector<float> field(kSize * kSize);
  for (int y = 0; y < kSize; ++y)
    for (int x = 0; x < kSize; ++x) {
      // Five octaves from 4 to 64 cells across: broad shapes with fine
      // detail, every period dividing the image so all octaves tile.
      float sum = 0.0f, amp = 1.0f;
      for (int octave = 0, period = 4; octave < 5; ++octave, period *= 2, amp *= 0.5f) {
        const float s = static_cast<float>(period) / kSize;
        sum += amp * periodicGradientNoise((static_cast<float>(x) + 0.5f) * s,
                                           (static_cast<float>(y) + 0.5f) * s, period,
                                           0x5EEDu + static_cast<uint32_t>(octave));
      }
      field[y * kSize + x] = sum;
    }
  // Stretch to the full 8-bit range so the plasma gets maximum contrast.
  const auto [lo, hi] = std::minmax_element(field.begin(), field.end());
  const float loV = *lo, scale = 255.0f / (*hi - *lo);
  Image img{kSize, kSize, 4, std::vector<uint8_t>(kSize * kSize * 4)};
  for (size_t i = 0; i < field.size(); ++i) {
    const auto v = static_cast<uint8_t>(std::lround((field[i] - loV) * scale));
    img.pixels[i * 4 + 0] = v;
    img.pixels[i * 4 + 1] = v;
    img.pixels[i * 4 + 2] = v;
    img.pixels[i * 4 + 3] = 255;
  }
  return img;
}

Image makeStarfield() {
  constexpr int kSize = 512;
  Canvas canvas(kSize, kSize);
  // Stars drawn across an edge continue on the other side: the player wraps
  // x around the screen centre and scrolls y with REPEAT.
  canvas.setWrap(true);
  Rng rng(0x57A125ull);
  const Rgba tints[] = {rgb255(255, 255, 255), rgb255(200, 220, 255), rgb255(255, 240, 200),
                        rgb255(255, 210, 190), rgb255(190, 255, 250)};
  for (int i = 0; i < 900; ++i) {
    const float x = rng.uniform(0.0f, kSize), y = rng.uniform(0.0f, kSize);
    // Mostly faint dust, a few bright stars: brightness ~ u^3.
    const float u = rng.uniform();
    const float bright = 0.25f + 0.75f * u * u * u;
    const float radius = 0.7f + 3.0f * u * u * u * u + rng.uniform(0.0f, 0.4f);
    const Rgba tint = tints[rng.below(5)];
    const int reach = static_cast<int>(std::ceil(radius * 4.0f)) + 1;
    const int cx = static_cast<int>(std::floor(x)), cy = static_cast<int>(std::floor(y));
    for (int py = cy - reach; py <= cy + reach; ++py)
      for (int px = cx - reach; px <= cx + reach; ++px) {
        const float dx = static_cast<float>(px) + 0.5f - x, dy = static_cast<float>(py) + 0.5f - y;
        const float d2 = (dx * dx + dy * dy) / (radius * radius);
        // Gaussian core; bright stars get faint cross-shaped spikes.
        float a = std::exp(-2.0f * d2);
        if (bright > 0.7f) {
          const float spike =
              std::exp(-std::fabs(dx * dy) * 1.5f) * std::exp(-std::sqrt(d2) * 1.3f);
          a = std::max(a, 0.6f * spike);
        }
        canvas.blend(px, py, tint, a * bright);
      }
  }
  return canvas.toImage(true);
}

}  // namespace mediagen
