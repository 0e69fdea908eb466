// CPU versions of the fragment programs, evaluated in single precision like
// the GPU, for comparison with pixels read back from the real programs.
#pragma once

#include <GL/gl.h>

#include <cmath>
#include <cstdint>
#include <functional>
#include <vector>

namespace oracles {

struct Rgba {
  float r, g, b, a;
};

inline Rgba scale(Rgba c, float k) { return {c.r * k, c.g * k, c.b * k, c.a * k}; }

// An RGBA8 texture as GL holds it: row 0 at t = 0, bilinear filtering with
// texel centres at (i + 0.5) / size, repeat wrapping on both axes.
struct Texture {
  int width = 0, height = 0;
  std::vector<uint8_t> texels;

  Texture(int w, int h, const std::function<Rgba(float s, float t)>& fill) : width(w), height(h) {
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) {
        Rgba c = fill((static_cast<float>(x) + 0.5f) / static_cast<float>(w),
                      (static_cast<float>(y) + 0.5f) / static_cast<float>(h));
        for (float f : {c.r, c.g, c.b, c.a}) {
          texels.push_back(
              static_cast<uint8_t>(std::lround(std::fmin(std::fmax(f, 0.f), 1.f) * 255)));
        }
      }
    }
  }

  GLuint upload() const {
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                 texels.data());
    return name;
  }

  Rgba texel(int x, int y) const {
    x = ((x % width) + width) % width;
    y = ((y % height) + height) % height;
    const uint8_t* p = &texels[(static_cast<size_t>(y) * width + x) * 4];
    return {p[0] / 255.f, p[1] / 255.f, p[2] / 255.f, p[3] / 255.f};
  }

  Rgba sample(float s, float t) const {
    const double u = static_cast<double>(s) * width - 0.5,
                 v = static_cast<double>(t) * height - 0.5;
    const double u0 = std::floor(u), v0 = std::floor(v);
    const float fu = static_cast<float>(u - u0), fv = static_cast<float>(v - v0);
    const int x = static_cast<int>(std::fmod(u0, width)),
              y = static_cast<int>(std::fmod(v0, height));
    auto mix = [](Rgba a, Rgba b, float f) {
      return Rgba{a.r + (b.r - a.r) * f, a.g + (b.g - a.g) * f, a.b + (b.b - a.b) * f,
                  a.a + (b.a - a.a) * f};
    };
    return mix(mix(texel(x, y), texel(x + 1, y), fu), mix(texel(x, y + 1), texel(x + 1, y + 1), fu),
               fv);
  }
};

struct PlasmaUniforms {
  float time, size, prln, transition;
};

inline Rgba plasma(float vx, float vy, const PlasmaUniforms& u, const Texture& rt) {
  const float time = u.time, tr = u.transition;
  auto perlin = [&](float qx, float qy) {
    const float shift = time * tr * -4.0f;
    qx += shift;
    qy += shift;
    float noise = 0, weight = 0.5f;
    for (float octave : {0.5f, 1.f, 2.f, 4.f, 8.f}) {
      noise += weight * rt.sample(qx * octave, qy * octave).r;
      weight *= 0.5f;
    }
    return noise;
  };
  const float x = vx * (1 - tr) + std::pow(std::fabs(vx), 0.25f) * tr, y = vy;
  const float s1 = std::cos(x * (std::sin(time * 0.5f) * 0.3f + 0.7f) * 62.8f * u.size + time);
  const float s2 =
      std::cos(y * (std::sin(time * 0.57f) * 0.15f + 0.85f) * 6.28f * u.size + time * 0.314f * 3);
  const float t = (s2 + s1) * 0.5f + u.prln * u.size * 8.0f * perlin(x * 10, y);
  const float k = tr * 2 * std::fmin(std::fmax(x - 0.5f, 0.f), 1.f) + (1 - tr);
  return scale({std::sin(t + std::sin(time * 0.5f)), std::sin(t + 0.33f + std::cos(time * 0.58f)),
                std::sin(t + 0.66f + std::cos(std::sin(time))), 1.f},
               k);
}

// The image programs, all with one signature (time unused by some).
inline Rgba withAlpha(Rgba c, float alpha) { return {c.r, c.g, c.b, c.a * alpha}; }

inline Rgba imageWarp(float vx, float vy, float, float alpha, const Texture& tex) {
  const float w = std::cos(vx * 3 + vy * 3) * 0.5f * (1 - alpha) * 0.75f;
  return withAlpha(tex.sample(vx * 0.5f + 0.5f + w, vy * 0.5f + 0.5f + w), alpha);
}

inline Rgba overlay(float vx, float vy, float, float alpha, const Texture& text) {
  return withAlpha(text.sample(vx * 0.5f + 0.5f, vy * 0.5f + 0.5f), alpha);
}

inline Rgba scroller(float vx, float vy, float time, float alpha, const Texture& text) {
  const float s = (vx * 0.5f + 0.5f) * 0.3f + std::fmax(0.f, time - 105) * 0.046f;
  return withAlpha(text.sample(s, vy * 0.5f + 0.5f), alpha);
}

// Black at the exact centre, where the angle is undefined.
inline Rgba starfield(float vx, float vy, float time, float alpha, const Texture& layerTex) {
  if (vx == 0 && vy == 0) return {0, 0, 0, alpha};
  const float dist = std::pow(std::fmin(std::hypot(vx * 0.5f, vy), 1.f), 0.5f);
  const float weight = std::fmin(std::hypot(vx * 4, vy), 1.f);
  const float angle = std::atan2(vy, vx) / 6.28f;
  Rgba c1 = layerTex.sample(angle, dist - time * 0.33f);
  Rgba c2 = layerTex.sample(angle, dist * 1.33f - time * 0.15f);
  c1 = scale(c1, c1.a);
  c2 = scale(c2, c2.a * 0.5f);
  return {(c1.r + c2.r) * weight, (c1.g + c2.g) * weight, (c1.b + c2.b) * weight, alpha};
}

}  // namespace oracles
