// Tiling textures: the plasma's noise and the tunnel's starfield.
#include <algorithm>
#include <cmath>

#include "tools/common/rng.h"
#include "tools/mediagen/media.h"
#include "tools/mediagen/raster.h"

namespace mediagen {
namespace {

float fade(float t) { return t * t * t * (t * (t * 6.0f - 15.0f) + 10.0f); }

// Gradient noise on a lattice that repeats every `period` cells across and
// `periodY` down (`period` when 0), so a texture spanning a whole number of
// periods tiles without a seam.
float periodicGradientNoise(float x, float y, int period, uint32_t seed, int periodY = 0) {
  if (periodY == 0) periodY = period;
  const float fx = std::floor(x), fy = std::floor(y);
  const int ix = static_cast<int>(fx), iy = static_cast<int>(fy);
  const float tx = x - fx, ty = y - fy;
  auto corner = [&](int cx, int cy, float dx, float dy) {
    const uint32_t wx = static_cast<uint32_t>(((cx % period) + period) % period);
    const uint32_t wy = static_cast<uint32_t>(((cy % periodY) + periodY) % periodY);
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
  // The same field at every drawing scale, sampled more finely.
  const int kSize = 256 * drawingScale();
  std::vector<float> field(kSize * kSize);
  for (int y = 0; y < kSize; ++y)
    for (int x = 0; x < kSize; ++x) {
      // Five octaves from 4 to 64 cells across: broad shapes with fine
      // detail, every period dividing the image so all octaves tile.
      float sum = 0.0f, amp = 1.0f;
      for (int octave = 0, period = 4; octave < 5; ++octave, period *= 2, amp *= 0.5f) {
        const float s = static_cast<float>(period) / static_cast<float>(kSize);
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

  // The player maps x to the angle round the screen centre and y to the
  // distance from it, streaming outwards. Nebula features stretched along y
  // become coloured streaks rushing past; the hue varies across x, so the
  // tunnel has differently tinted sides. The texture is opaque: the program
  // weighs colour by alpha squared, so any transparency only darkens it.
  auto fbm = [](float x, float y, int periodX, int periodY, uint32_t seed) {
    float sum = 0.0f, amp = 0.5f;
    for (int octave = 0; octave < 4; ++octave, amp *= 0.5f) {
      const int scale = 1 << octave;
      // Anisotropic lattice: periodX cells across, periodY down, both
      // dividing the texture so every octave tiles.
      sum += amp * periodicGradientNoise(x * static_cast<float>(periodX * scale),
                                         y * static_cast<float>(periodY * scale), periodX * scale,
                                         seed + static_cast<uint32_t>(octave), periodY * scale);
    }
    return sum;
  };
  const Rgba deep = rgb255(6, 8, 30), blue = rgb255(40, 70, 200), violet = rgb255(150, 50, 200),
             magenta = rgb255(255, 70, 160), teal = rgb255(40, 200, 210);
  canvas.shade([&](float x, float y) {
    const float u = x / kSize, v = y / kSize;
    const float density = clamp01(0.35f + 2.0f * fbm(u, v, 8, 2, 0xAEB1u));
    const float hue = clamp01(0.5f + 1.8f * fbm(u, v, 4, 1, 0xC01Bu));
    // Thin bright filaments inside the clouds.
    const float filament = std::pow(1.0f - std::fabs(fbm(u, v, 12, 3, 0xF11Au)) * 3.0f, 6.0f);
    const Rgba cloud = hue < 0.5f ? mix(blue, violet, hue * 2.0f)
                                  : mix(violet, hue < 0.75f ? magenta : teal, (hue - 0.5f) * 2.0f);
    Rgba c = mix(deep, cloud, 0.05f + 0.5f * density * density);
    return mix(c, rgb255(255, 220, 250), clamp01(filament) * density * 0.35f);
  });

  Rng rng(0x57A125ull);
  const Rgba tints[] = {rgb255(255, 255, 255), rgb255(200, 220, 255), rgb255(255, 240, 200),
                        rgb255(255, 200, 230), rgb255(190, 255, 250)};
  for (int i = 0; i < 1500; ++i) {
    const float x = rng.uniform(0.0f, kSize), y = rng.uniform(0.0f, kSize);
    // Many small stars, fewer large ones: size ~ u^4.
    const float u = rng.uniform();
    const float size = u * u * u * u;
    const float bright = 0.45f + 0.55f * u;
    const float radius = 0.6f + 2.6f * size + rng.uniform(0.0f, 0.3f);
    const float halo = radius * (2.5f + 4.0f * size);
    const Rgba tint = tints[rng.below(5)];
    // Pixel by pixel of the canvas, in units.
    const int reach = (static_cast<int>(std::ceil(halo * 2.5f)) + 1) * canvas.scale();
    const float unit = static_cast<float>(canvas.scale());
    const int cx = static_cast<int>(std::floor(x * unit)),
              cy = static_cast<int>(std::floor(y * unit));
    for (int py = cy - reach; py <= cy + reach; ++py)
      for (int px = cx - reach; px <= cx + reach; ++px) {
        const float dx = (static_cast<float>(px) + 0.5f) / unit - x;
        const float dy = (static_cast<float>(py) + 0.5f) / unit - y;
        const float d2 = (dx * dx + dy * dy) / (radius * radius);
        // Gaussian core in a soft glow; the big stars get cross-shaped spikes.
        float a = std::max(std::exp(-2.0f * d2),
                           0.25f * std::exp(-std::sqrt(dx * dx + dy * dy) / halo * 2.5f));
        if (size > 0.25f) {
          const float spike =
              std::exp(-std::fabs(dx * dy) * 0.6f) * std::exp(-std::sqrt(d2) * 0.5f);
          a = std::max(a, 0.8f * spike);
        }
        canvas.blend(px, py, tint, a * bright);
      }
  }
  return canvas.toImage(true);
}

}  // namespace mediagen
