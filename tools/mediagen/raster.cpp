// Canvas blending, coverage-mask filters and signed distances of the pictures.
#include "tools/mediagen/raster.h"

#include <algorithm>
#include <cmath>

namespace mediagen {

float clamp01(float v) { return v < 0.0f ? 0.0f : (v > 1.0f ? 1.0f : v); }

float smoothstep(float e0, float e1, float v) {
  const float t = clamp01((v - e0) / (e1 - e0));
  return t * t * (3.0f - 2.0f * t);
}

Rgba mix(const Rgba& a, const Rgba& b, float t) {
  return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t,
          a.a + (b.a - a.a) * t};
}

Rgba withAlpha(Rgba c, float a) {
  c.a = a;
  return c;
}

Rgba rgb255(int r, int g, int b, float a) {
  return {static_cast<float>(r) / 255.0f, static_cast<float>(g) / 255.0f,
          static_cast<float>(b) / 255.0f, a};
}

// ---- masks ------------------------------------------------------------------

Mask dilate(const Mask& m, float radius, int pad) {
  Mask out(m.width + 2 * pad, m.height + 2 * pad);
  const int r = static_cast<int>(std::ceil(radius));
  // Offsets inside the disc, with a soft rim so outlines stay anti-aliased.
  struct Tap {
    int dx, dy;
    float weight;
  };
  std::vector<Tap> taps;
  for (int dy = -r; dy <= r; ++dy)
    for (int dx = -r; dx <= r; ++dx) {
      const float w = clamp01(radius + 0.5f - std::sqrt(static_cast<float>(dx * dx + dy * dy)));
      if (w > 0.0f) taps.push_back({dx, dy, w});
    }
  for (int y = 0; y < out.height; ++y)
    for (int x = 0; x < out.width; ++x) {
      float best = 0.0f;
      for (const Tap& t : taps)
        best = std::max(best, t.weight * m.at(x - pad + t.dx, y - pad + t.dy));
      out.ref(x, y) = best;
    }
  return out;
}

namespace {

// One running-sum box blur pass along rows (dx=1) or columns.
void boxPass(Mask& m, int radius, bool horizontal) {
  const int len = horizontal ? m.width : m.height;
  const int lines = horizontal ? m.height : m.width;
  std::vector<float> line(static_cast<size_t>(len));
  const float norm = 1.0f / static_cast<float>(2 * radius + 1);
  for (int l = 0; l < lines; ++l) {
    auto at = [&](int i) -> float& { return horizontal ? m.ref(i, l) : m.ref(l, i); };
    for (int i = 0; i < len; ++i) line[i] = at(i);
    float sum = 0.0f;
    for (int i = -radius; i <= radius; ++i) sum += (i >= 0 && i < len) ? line[i] : 0.0f;
    for (int i = 0; i < len; ++i) {
      at(i) = sum * norm;
      const int add = i + radius + 1, sub = i - radius;
      if (add < len) sum += line[add];
      if (sub >= 0) sum -= line[sub];
    }
  }
}

}  // namespace

Mask blur(const Mask& m, int radius, int pad) {
  Mask out(m.width + 2 * pad, m.height + 2 * pad);
  for (int y = 0; y < m.height; ++y)
    for (int x = 0; x < m.width; ++x) out.ref(x + pad, y + pad) = m.at(x, y);
  for (int pass = 0; pass < 3; ++pass) {
    boxPass(out, radius, true);
    boxPass(out, radius, false);
  }
  return out;
}

Mask scaleNearest(const Mask& m, int sx, int sy) {
  Mask out(m.width * sx, m.height * sy);
  for (int y = 0; y < out.height; ++y)
    for (int x = 0; x < out.width; ++x) out.ref(x, y) = m.at(x / sx, y / sy);
  return out;
}

Mask threshold(const Mask& m, float level) {
  Mask out = m;
  for (float& c : out.cov) c = c >= level ? 1.0f : 0.0f;
  return out;
}

// ---- canvas -----------------------------------------------------------------

namespace {
int currentScale = 1;
}  // namespace

void setDrawingScale(int scale) { currentScale = scale < 1 ? 1 : scale; }
int drawingScale() { return currentScale; }

Canvas::Canvas(int width, int height)
    : scale_(currentScale),
      unitsPerPixel_(1.0f / static_cast<float>(currentScale)),
      width_(width * currentScale),
      height_(height * currentScale),
      data_(static_cast<size_t>(width_) * height_ * 4, 0.0f) {}

void Canvas::blend(int x, int y, const Rgba& c, float coverage) {
  if (wrap_) {
    x = ((x % width_) + width_) % width_;
    y = ((y % height_) + height_) % height_;
  } else if (x < 0 || y < 0 || x >= width_ || y >= height_) {
    return;
  }
  const float a = clamp01(c.a * coverage);
  if (a <= 0.0f) return;
  float* p = px(x, y);
  const float keep = 1.0f - a;
  p[0] = c.r * a + p[0] * keep;
  p[1] = c.g * a + p[1] * keep;
  p[2] = c.b * a + p[2] * keep;
  p[3] = a + p[3] * keep;
}

void Canvas::shade(const Shader& colour) {
  const float u = unitsPerPixel_;
  for (int y = 0; y < height_; ++y)
    for (int x = 0; x < width_; ++x)
      blend(x, y, colour((static_cast<float>(x) + 0.5f) * u, (static_cast<float>(y) + 0.5f) * u));
}

void Canvas::shadeSupersampled(int n, const Shader& colour) {
  const float inv = 1.0f / static_cast<float>(n);
  const float u = unitsPerPixel_;
  for (int y = 0; y < height_; ++y)
    for (int x = 0; x < width_; ++x) {
      // Average premultiplied so transparent samples do not darken.
      float r = 0, g = 0, b = 0, a = 0;
      for (int sy = 0; sy < n; ++sy)
        for (int sx = 0; sx < n; ++sx) {
          const Rgba c =
              colour((static_cast<float>(x) + (static_cast<float>(sx) + 0.5f) * inv) * u,
                     (static_cast<float>(y) + (static_cast<float>(sy) + 0.5f) * inv) * u);
          r += c.r * c.a;
          g += c.g * c.a;
          b += c.b * c.a;
          a += c.a;
        }
      if (a <= 0.0f) continue;
      blend(x, y, {r / a, g / a, b / a, a * inv * inv});
    }
}

void Canvas::fillRect(float x0, float y0, float x1, float y1, const Rgba& c) {
  const float s = static_cast<float>(scale_);
  x0 *= s, y0 *= s, x1 *= s, y1 *= s;
  const int ix0 = static_cast<int>(std::floor(x0)), ix1 = static_cast<int>(std::ceil(x1));
  const int iy0 = static_cast<int>(std::floor(y0)), iy1 = static_cast<int>(std::ceil(y1));
  for (int y = iy0; y < iy1; ++y) {
    const float cy =
        clamp01(std::min(y1, static_cast<float>(y + 1)) - std::max(y0, static_cast<float>(y)));
    for (int x = ix0; x < ix1; ++x) {
      const float cx =
          clamp01(std::min(x1, static_cast<float>(x + 1)) - std::max(x0, static_cast<float>(x)));
      blend(x, y, c, cx * cy);
    }
  }
}

void Canvas::fillShape(float x0, float y0, float x1, float y1, const Distance& sdf,
                       const Shader& colour) {
  const float s = static_cast<float>(scale_), u = unitsPerPixel_;
  const int ix0 = static_cast<int>(std::floor(x0 * s)), ix1 = static_cast<int>(std::ceil(x1 * s));
  const int iy0 = static_cast<int>(std::floor(y0 * s)), iy1 = static_cast<int>(std::ceil(y1 * s));
  for (int y = iy0; y < iy1; ++y)
    for (int x = ix0; x < ix1; ++x) {
      const float fx = (static_cast<float>(x) + 0.5f) * u, fy = (static_cast<float>(y) + 0.5f) * u;
      // Distance to coverage: a one-pixel ramp across the edge.
      const float cov = clamp01(0.5f - sdf(fx, fy) * s);
      if (cov > 0.0f) blend(x, y, colour(fx, fy), cov);
    }
}

void Canvas::fillCircle(float cx, float cy, float r, const Rgba& c) {
  fillShape(
      cx - r - 1, cy - r - 1, cx + r + 1, cy + r + 1,
      [=](float x, float y) { return sdCircle(x, y, cx, cy, r); }, [=](float, float) { return c; });
}

void Canvas::paint(const Mask& m, int x, int y, const Shader& colour) {
  for (int my = 0; my < m.height; ++my)
    for (int mx = 0; mx < m.width; ++mx) {
      const float cov = m.at(mx, my);
      if (cov <= 0.0f) continue;
      const int px_ = x + mx, py_ = y + my;
      blend(px_, py_,
            colour((static_cast<float>(px_) + 0.5f) * unitsPerPixel_,
                   (static_cast<float>(py_) + 0.5f) * unitsPerPixel_),
            cov);
    }
}

void Canvas::paint(const Mask& m, int x, int y, const Rgba& c) {
  paint(m, x, y, [&](float, float) { return c; });
}

Image Canvas::toImage(bool withAlpha) const {
  Image img;
  img.width = width_;
  img.height = height_;
  img.channels = withAlpha ? 4 : 3;
  img.pixels.resize(static_cast<size_t>(width_) * height_ * img.channels);
  auto q = [](float v) { return static_cast<uint8_t>(std::lround(clamp01(v) * 255.0f)); };
  for (int y = 0; y < height_; ++y)
    for (int x = 0; x < width_; ++x) {
      const float* p = &data_[(static_cast<size_t>(y) * width_ + x) * 4];
      uint8_t* o = &img.pixels[(static_cast<size_t>(y) * width_ + x) * img.channels];
      float r = p[0], g = p[1], b = p[2];
      const float a = p[3];
      if (withAlpha) {
        if (a >= 0.5f / 255.0f) {
          r /= a;
          g /= a;
          b /= a;
        } else {
          // Invisible pixel: borrow the average visible colour of a
          // 5x5 neighbourhood (edge bleeding).
          float sr = 0, sg = 0, sb = 0, sa = 0;
          for (int dy = -2; dy <= 2; ++dy)
            for (int dx = -2; dx <= 2; ++dx) {
              int nx = x + dx, ny = y + dy;
              if (wrap_) {
                nx = (nx + width_) % width_;
                ny = (ny + height_) % height_;
              } else if (nx < 0 || ny < 0 || nx >= width_ || ny >= height_) {
                continue;
              }
              const float* n = &data_[(static_cast<size_t>(ny) * width_ + nx) * 4];
              sr += n[0];
              sg += n[1];
              sb += n[2];
              sa += n[3];
            }
          if (sa > 0.0f) {
            r = sr / sa;
            g = sg / sa;
            b = sb / sa;
          }
        }
        o[3] = q(a);
      }
      // Opaque output composites over black, i.e. keeps premultiplied.
      o[0] = q(r);
      o[1] = q(g);
      o[2] = q(b);
    }
  return img;
}

// ---- distance functions -------------------------------------------------------

float sdCircle(float x, float y, float cx, float cy, float r) {
  return std::hypot(x - cx, y - cy) - r;
}

float sdBox(float x, float y, float cx, float cy, float hw, float hh, float corner) {
  const float qx = std::fabs(x - cx) - hw + corner, qy = std::fabs(y - cy) - hh + corner;
  const float outside = std::hypot(std::max(qx, 0.0f), std::max(qy, 0.0f));
  return outside + std::min(std::max(qx, qy), 0.0f) - corner;
}

float sdEllipse(float x, float y, float cx, float cy, float rx, float ry) {
  // First-order distance approximation; accurate enough for a 1-pixel ramp.
  const float px_ = (x - cx) / rx, py_ = (y - cy) / ry;
  const float k0 = std::hypot(px_, py_);
  const float k1 = std::hypot(px_ / rx, py_ / ry);
  if (k1 <= 0.0f) return -std::min(rx, ry);
  return k0 * (k0 - 1.0f) / k1;
}

float sdHeart(float x, float y, float cx, float tipY, float size) {
  // Unit heart: tip at the origin, lobes around (+-0.25, 0.75), y up.
  const float s = size / 1.1f;
  const float px_ = std::fabs((x - cx) / s), py_ = (tipY - y) / s;
  float d;
  if (py_ + px_ > 1.0f) {
    d = std::hypot(px_ - 0.25f, py_ - 0.75f) - std::sqrt(2.0f) / 4.0f;
  } else {
    const float m = 0.5f * std::max(px_ + py_, 0.0f);
    const float d1 = px_ * px_ + (py_ - 1.0f) * (py_ - 1.0f);
    const float d2 = (px_ - m) * (px_ - m) + (py_ - m) * (py_ - m);
    d = std::sqrt(std::min(d1, d2)) * (px_ - py_ < 0.0f ? -1.0f : 1.0f);
  }
  return d * s;
}

}  // namespace mediagen
