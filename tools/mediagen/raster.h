// RGBA float canvas with anti-aliased shapes and coverage masks.
//
// Pictures are composed from signed-distance shapes and text masks painted
// with "over" blending; the canvas keeps premultiplied colour internally so
// repeated blending and blurring stay correct at soft edges.
#pragma once
#include <functional>
#include <vector>

#include "tools/mediagen/image_io.h"

namespace mediagen {

// Straight (non-premultiplied) colour, components in 0..1.
struct Rgba {
  float r = 0, g = 0, b = 0, a = 1;
};
Rgba mix(const Rgba& a, const Rgba& b, float t);
Rgba withAlpha(Rgba c, float a);
// Colour from 0..255 components, for readable palettes.
Rgba rgb255(int r, int g, int b, float a = 1.0f);

// Single-channel coverage in 0..1, e.g. rendered text.
struct Mask {
  int width = 0;
  int height = 0;
  std::vector<float> cov;

  Mask() = default;
  Mask(int w, int h) : width(w), height(h), cov(static_cast<size_t>(w) * h, 0.0f) {}
  float at(int x, int y) const {
    return (x < 0 || y < 0 || x >= width || y >= height) ? 0.0f
                                                         : cov[static_cast<size_t>(y) * width + x];
  }
  float& ref(int x, int y) { return cov[static_cast<size_t>(y) * width + x]; }
};

// The following return masks grown by `pad` pixels on every side, so a shape
// keeps its position when painted at (x - pad, y - pad).
// Max over a disc of the given radius: turns text into its outline shape.
Mask dilate(const Mask& m, float radius, int pad);
// Three box passes approximate a Gaussian: used for glows and shadows.
Mask blur(const Mask& m, int radius, int pad);
// Blocky enlargement for pixel-art lettering.
Mask scaleNearest(const Mask& m, int sx, int sy);
// Hard edges, for crisp pixel art.
Mask threshold(const Mask& m, float level);

// How many canvas pixels a unit of drawing takes, for canvases made from now
// on: 1 draws a picture at the size its code is written for, 2 at twice the
// width and height with the same layout. Shapes, shading and positions are
// given in units; masks (text) are made at the scale by their callers.
void setDrawingScale(int scale);
int drawingScale();

using Shader = std::function<Rgba(float x, float y)>;
using Distance = std::function<float(float x, float y)>;

// A canvas of width x height units, drawingScale() pixels to the unit. Shaders
// and distances take positions in units; blend() and paint() place pixels.
class Canvas {
 public:
  Canvas(int width, int height);

  int scale() const { return scale_; }
  // With wrapping on, drawing past an edge continues at the opposite edge,
  // which makes textures tile under REPEAT sampling.
  void setWrap(bool wrap) { wrap_ = wrap; }

  // Source-over blend of a straight colour at a pixel (of the canvas's own
  // pixels, scale() to the unit), scaled by coverage.
  void blend(int x, int y, const Rgba& c, float coverage = 1.0f);
  // Paints every pixel with a colour computed from its centre.
  void shade(const Shader& colour);
  // Like shade() but averages n*n samples per pixel, for detailed scenes.
  void shadeSupersampled(int n, const Shader& colour);
  // Anti-aliased axis-aligned rectangle, edges at fractional positions.
  void fillRect(float x0, float y0, float x1, float y1, const Rgba& c);
  // Any shape given by a signed distance in pixels (negative inside),
  // evaluated over the bounding box [x0,x1) x [y0,y1).
  void fillShape(float x0, float y0, float x1, float y1, const Distance& sdf, const Shader& colour);
  void fillCircle(float cx, float cy, float r, const Rgba& c);
  // Paints a mask with its top-left at pixel (x, y).
  void paint(const Mask& m, int x, int y, const Shader& colour);
  void paint(const Mask& m, int x, int y, const Rgba& c);

  // Quantises to 8 bits. With alpha, fully transparent pixels take the
  // colour of nearby visible pixels so linear filtering in the player does
  // not pull dark fringes into soft edges.
  Image toImage(bool withAlpha) const;

 private:
  float* px(int x, int y) { return &data_[(static_cast<size_t>(y) * width_ + x) * 4]; }
  int scale_;
  float unitsPerPixel_;
  int width_, height_;  // in pixels
  bool wrap_ = false;
  std::vector<float> data_;  // premultiplied RGBA
};

// Signed distances of basic shapes (pixels, negative inside).
float sdCircle(float x, float y, float cx, float cy, float r);
float sdBox(float x, float y, float cx, float cy, float hw, float hh, float corner);
float sdEllipse(float x, float y, float cx, float cy, float rx, float ry);
// Heart with its tip at (cx, tipY) pointing down, about `size` pixels tall.
float sdHeart(float x, float y, float cx, float tipY, float size);

float clamp01(float v);
float smoothstep(float e0, float e1, float v);

}  // namespace mediagen
