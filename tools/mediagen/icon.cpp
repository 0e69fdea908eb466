// The icon: drawn in a unit square scaled to the asked size.
#include "tools/mediagen/icon.h"

#include "tools/mediagen/raster.h"

#include <cmath>

namespace mediagen {

Image makeIcon(int size) {
  Canvas canvas(size, size);
  const float s = static_cast<float>(size);
  const Rgba night = rgb255(14, 12, 34), dusk = rgb255(40, 22, 70);
  canvas.fillShape(
      0, 0, s, s,
      [s](float x, float y) { return sdBox(x, y, s / 2, s / 2, s * 0.47f, s * 0.47f, s * 0.16f); },
      [=](float, float y) { return mix(night, dusk, y / s); });
  // The band: a plasma-coloured strip of the window's proportions, cropped.
  const float top = s * 0.36f, bottom = s * 0.64f, left = s * 0.08f, right = s * 0.92f;
  canvas.fillShape(
      left, top, right, bottom,
      [=](float x, float y) {
        return sdBox(x, y, s / 2, s / 2, (right - left) / 2, (bottom - top) / 2, s * 0.02f);
      },
      [=](float x, float y) {
        const float u = x / s, v = (y - top) / (bottom - top);
        const float wave = 0.5f + 0.5f * std::sin(9.0f * u + 4.0f * v);
        return mix(rgb255(120, 30, 160), rgb255(20, 170, 200), wave);
      });
  // The bumpy bar across the band, bright against the plasma.
  const float mid = s / 2, thick = s * 0.045f;
  canvas.fillShape(
      left, top, right, bottom,
      [=](float x, float y) {
        const float bump = s * 0.06f * std::sin(x / s * 6.2832f * 3.0f);
        return std::fabs(y - mid - bump) - thick;
      },
      [=](float x, float) { return mix(rgb255(255, 236, 140), rgb255(255, 140, 60), x / s); });
  return canvas.toImage(true);
}

}  // namespace mediagen
