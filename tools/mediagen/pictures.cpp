// The title, overlay, closing and scroller pictures.
//
// Every full-window picture is laid out at the window's own size, so
// nothing is squashed when the player stretches it over the strip, and drawn
// at drawingScale() pixels to the window's pixel: shapes scale on the canvas,
// and text is set at the scaled size here.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

#include "presentation/window.h"
#include "tools/common/rng.h"
#include "tools/mediagen/media.h"
#include "tools/mediagen/raster.h"
#include "tools/mediagen/text.h"

namespace mediagen {
namespace {

constexpr int kW = kWindowWidth;
constexpr int kH = kWindowHeight;
constexpr float kPi = 3.14159265f;

// A length in the canvas's pixels: `v` window pixels at the drawing scale.
int scaled(int v) { return v * drawingScale(); }
float scaledf(float v) { return v * static_cast<float>(drawingScale()); }
// A mask's length (canvas pixels) in window pixels.
float units(int maskPixels) {
  return static_cast<float>(maskPixels) / static_cast<float>(drawingScale());
}

const char* const kTitle = "NARROWBAND";
const char* const kGroup = "SLIT SCAN SOCIETY";

// How a line of text is decorated, painted back to front.
struct TextStyle {
  Shader fill;
  Rgba outline{0, 0, 0, 0};
  float outlinePx = 0.0f;
  Rgba glow{0, 0, 0, 0};
  int glowRadius = 0;
  Rgba shadow{0, 0, 0, 0};
  int shadowDx = 0, shadowDy = 0;
};

// Letters of one colour, with an outline when `outlinePx` is above zero.
TextStyle outlinedText(const Rgba& fill, const Rgba& outline = {0, 0, 0, 0},
                       float outlinePx = 0.0f) {
  TextStyle style;
  style.fill = [fill](float, float) { return fill; };
  style.outline = outline;
  style.outlinePx = outlinePx;
  return style;
}

// Draws a text mask (set at the drawing scale) centred on (cx, cy); the
// style's lengths are in window pixels.
void drawText(Canvas& canvas, const Mask& text, float cx, float cy, const TextStyle& style) {
  const int x = static_cast<int>(std::lround(scaledf(cx) - static_cast<float>(text.width) / 2.0f));
  const int y = static_cast<int>(std::lround(scaledf(cy) - static_cast<float>(text.height) / 2.0f));
  const float outlinePx = scaledf(style.outlinePx);
  const int pad = static_cast<int>(std::ceil(outlinePx)) + 1;
  const Mask outer = style.outlinePx > 0.0f ? dilate(text, outlinePx, pad) : Mask();
  if (style.glow.a > 0.0f) {
    const Mask& base = style.outlinePx > 0.0f ? outer : text;
    const int basePad = style.outlinePx > 0.0f ? pad : 0;
    const int gpad = scaled(style.glowRadius) * 3;
    const Mask g = blur(base, scaled(style.glowRadius), gpad);
    canvas.paint(g, x - basePad - gpad, y - basePad - gpad, style.glow);
  }
  if (style.shadow.a > 0.0f) {
    const Mask& base = style.outlinePx > 0.0f ? outer : text;
    const int basePad = style.outlinePx > 0.0f ? pad : 0;
    canvas.paint(base, x - basePad + scaled(style.shadowDx), y - basePad + scaled(style.shadowDy),
                 style.shadow);
  }
  if (style.outlinePx > 0.0f) canvas.paint(outer, x - pad, y - pad, style.outline);
  canvas.paint(text, x, y, style.fill);
}

// Vertical gradient over a text line's box, for chrome and gold letters.
Shader verticalRamp(float top, float bottom, std::vector<Rgba> stops) {
  return [=](float, float y) {
    const float t = clamp01((y - top) / (bottom - top)) * static_cast<float>(stops.size() - 1);
    const size_t i = std::min(static_cast<size_t>(t), stops.size() - 2);
    return mix(stops[i], stops[i + 1], t - static_cast<float>(i));
  };
}

// A headline: a word centred on the window (its centre `cy` pixels down)
// with a vertical colour ramp, an outline and a glow.
struct Headline {
  std::vector<Rgba> ramp;
  float rampInset;  // the ramp runs this far inside the word's line box
  Rgba outline;
  float outlinePx;
  Rgba glow;
  int glowRadius;
};

void drawHeadline(Canvas& canvas, const Mask& word, const Headline& h, float cy = kH / 2.0f) {
  const float top = cy - units(word.height) / 2.0f;
  TextStyle style;
  style.fill =
      verticalRamp(top + h.rampInset, top + units(word.height) - h.rampInset - 2.0f, h.ramp);
  style.outline = h.outline;
  style.outlinePx = h.outlinePx;
  style.glow = h.glow;
  style.glowRadius = h.glowRadius;
  drawText(canvas, word, kW / 2.0f, cy, style);
}

// A soft-edged dark pill behind busy content, so what sits on it reads
// against any background the layer is drawn over.
void drawBacking(Canvas& canvas, float x0, float y0, float x1, float y1, float softness,
                 const Rgba& c) {
  const float cx = (x0 + x1) / 2.0f, cy = (y0 + y1) / 2.0f;
  const float hw = (x1 - x0) / 2.0f, hh = (y1 - y0) / 2.0f;
  canvas.fillShape(
      x0 - softness, y0 - softness, x1 + softness, y1 + softness,
      [=](float x, float y) {
        return sdBox(x, y, cx, cy, hw + softness, hh + softness, hh) - 0.5f;
      },
      [=](float x, float y) {
        const float d = sdBox(x, y, cx, cy, hw, hh, hh);
        return withAlpha(c, c.a * (1.0f - smoothstep(-softness * 0.3f, softness, d)));
      });
}

// Rotates (x, y) about (cx, cy) by -angle, i.e. into a shape's own frame.
void unrotate(float& x, float& y, float cx, float cy, float angle) {
  const float c = std::cos(angle), s = std::sin(angle);
  const float dx = x - cx, dy = y - cy;
  x = cx + dx * c + dy * s;
  y = cy - dx * s + dy * c;
}

// Four-pointed twinkle used for decorative stars on the overlays.
void drawTwinkle(Canvas& canvas, float cx, float cy, float size, const Rgba& c) {
  const int s = canvas.scale();
  const float unit = static_cast<float>(s);
  const int r = (static_cast<int>(std::ceil(size)) + 1) * s;
  const int x0 = static_cast<int>(cx) * s + s / 2, y0 = static_cast<int>(cy) * s + s / 2;
  for (int y = -r; y <= r; ++y)
    for (int x = -r; x <= r; ++x) {
      const float dx = std::fabs(static_cast<float>(x)) / unit;
      const float dy = std::fabs(static_cast<float>(y)) / unit;
      const float core = std::exp(-(dx * dx + dy * dy) / 1.5f);
      const float arms = std::exp(-dx * dy * 1.2f) * clamp01(1.0f - std::max(dx, dy) / size);
      canvas.blend(x0 + x, y0 + y, c, std::max(core, arms));
    }
}

// Doubles every stroke one column to the right, so single-dot lines hold up
// on a busy background. A one-column gap with ink on both sides (the counter
// of an N, M or W, the space between two letters) stays open.
Mask emboldenRight(const Mask& thin) {
  Mask bold(thin.width + 1, thin.height);
  for (int y = 0; y < bold.height; ++y)
    for (int x = 0; x < bold.width; ++x)
      bold.ref(x, y) =
          std::max(thin.at(x, y), std::min(thin.at(x - 1, y), 1.0f - thin.at(x + 1, y)));
  return bold;
}

// A 5x7 bitmap font covering the letters the overlays spell, emboldened;
// one column between letters.
Mask pixelText(const std::string& text) {
  struct Glyph {
    char ch;
    const char* rows[7];
  };
  static const Glyph kGlyphs[] = {
      {'O', {".###.", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."}},
      {'L', {"#....", "#....", "#....", "#....", "#....", "#....", "#####"}},
      {'D', {"####.", "#...#", "#...#", "#...#", "#...#", "#...#", "####."}},
      {'S', {".####", "#....", "#....", ".###.", "....#", "....#", "####."}},
      {'C', {".####", "#....", "#....", "#....", "#....", "#....", ".####"}},
      {'H', {"#...#", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"}},
  };
  Mask thin(static_cast<int>(text.size()) * 7 - 2, 7);
  for (size_t i = 0; i < text.size(); ++i)
    for (const Glyph& g : kGlyphs)
      if (g.ch == text[i])
        for (int y = 0; y < 7; ++y)
          for (int x = 0; x < 5; ++x)
            if (g.rows[y][x] == '#') thin.ref(static_cast<int>(i) * 7 + x, y) = 1.0f;
  return emboldenRight(thin);
}

// A line in the pixel face, drawn on its native 16 px grid and blown up by
// whole pixels (sx across, sy down), so every dot stays a crisp block. Its
// strokes are two dots thick already, but its capitals fill their whole
// cell: one dot of tracking keeps neighbours from merging into a block.
Mask pixelFace(const std::string& text, int sx, int sy) {
  return scaleNearest(threshold(font(kPixel).render(text, 16, 1), 0.5f), scaled(sx), scaled(sy));
}

// Two blocks of two caption lines beside a centred title: `left` and
// `right` each hold a top and a bottom line, set at rows 28 and `y1`. All
// four lines take one size, the largest up to maxSize that fits the wider
// block in the space between a window edge and the title, less a margin of
// 12 either side. Both blocks keep the same distance from their window
// edge, the wider block centred in its side.
void drawSideCaptions(Canvas& canvas, const Mask& title, const std::string (&left)[2],
                      const std::string (&right)[2], int maxSize, float y1,
                      const TextStyle& style) {
  const float sideW = (kW - units(title.width)) / 2.0f, minMargin = 12.0f, y0 = 28.0f;
  const Font& face = font(kCaption);
  const int avail = scaled(static_cast<int>(sideW - 2.0f * minMargin));
  const int tracking = scaled(1);
  int size = scaled(maxSize);
  for (const std::string* line : {&left[0], &left[1], &right[0], &right[1]})
    size = std::min(size, face.fit(*line, avail, scaled(maxSize), tracking));
  const auto blockWidth = [&](const std::string(&lines)[2]) {
    return units(std::max(face.render(lines[0], size, tracking).width,
                          face.render(lines[1], size, tracking).width));
  };
  const float wl = blockWidth(left), wr = blockWidth(right);
  const float edge = (sideW - std::max(wl, wr)) / 2.0f;
  const float centres[2] = {edge + wl / 2.0f, kW - edge - wr / 2.0f};
  const std::string* blocks[2] = {left, right};
  for (int b = 0; b < 2; ++b)
    for (int i = 0; i < 2; ++i)
      drawText(canvas, face.render(blocks[b][i], size, tracking), centres[b], i ? y1 : y0, style);
}

}  // namespace

// ---- title --------------------------------------------------------------------

Image makeLogo() {
  Canvas canvas(kW, kH);
  const float horizon = 62.0f;
  const float sunX = kW / 2.0f, sunY = horizon - 2.0f, sunR = 46.0f;
  Rng rng(0x1060ull);
  // Sky: indigo to magenta towards the horizon, with a sun whose lower half
  // is cut by widening gaps; below, a perspective grid floor.
  canvas.shade([&](float x, float y) {
    if (y < horizon) {
      const float t = y / horizon;
      Rgba sky = mix(rgb255(8, 6, 34), rgb255(120, 24, 92), t * t);
      const float d = std::hypot(x - sunX, y - sunY);
      if (d < sunR) {
        const float band = (y - (sunY - sunR * 0.2f)) / (sunR * 0.8f);
        const bool gap = band > 0.0f && std::fmod(y, 7.0f) < 1.0f + band * 4.0f;
        if (!gap) {
          const Rgba sun =
              mix(rgb255(255, 236, 120), rgb255(255, 60, 130), clamp01((y - (sunY - sunR)) / sunR));
          sky = mix(sky, sun, clamp01(sunR - d));
        }
      }
      // Halo around the sun.
      sky = mix(sky, rgb255(255, 90, 150), 0.35f * std::exp(-std::max(0.0f, d - sunR) / 60.0f));
      return sky;
    }
    const float depth = (y - horizon) / (kH - horizon);  // 0 at horizon, 1 at bottom
    const float z = 1.0f / std::max(depth, 0.02f);
    const float gx = (x - sunX) * z / 60.0f;
    const float lineX = std::fabs(gx - std::round(gx)) / (z * 0.02f + 0.04f);
    const float lineZ = std::fabs(z * 2.0f - std::round(z * 2.0f)) / (z * 0.08f + 0.02f);
    const float line =
        std::max(clamp01(1.0f - lineX), clamp01(1.0f - lineZ)) * clamp01(depth * 4.0f);
    const Rgba floor = mix(rgb255(20, 4, 40), rgb255(8, 2, 20), depth);
    return mix(floor, rgb255(255, 60, 200), line);
  });
  for (int i = 0; i < 70; ++i) {
    const float x = rng.uniform(0.0f, kW), y = rng.uniform(0.0f, horizon - 20.0f);
    if (std::fabs(x - sunX) < 300.0f) continue;  // keep the title area calm
    canvas.fillCircle(x, y, rng.uniform(0.4f, 1.1f),
                      rgb255(255, 255, 255, rng.uniform(0.4f, 1.0f)));
  }

  // Chrome title: sky-blue top, dark horizon line, gold bottom.
  const std::vector<Rgba> chrome = {rgb255(255, 255, 255), rgb255(140, 200, 255),
                                    rgb255(30, 40, 110), rgb255(255, 220, 120),
                                    rgb255(255, 150, 40)};
  const Mask title = font(kHeadline).render(kTitle, scaled(84), scaled(4));
  drawHeadline(canvas, title,
               {chrome, 4.0f, rgb255(10, 0, 30), 2.5f, rgb255(255, 80, 200, 0.9f), 4});

  // Side captions in the free space left and right of the title.
  const std::string size =
      "a " + std::to_string(kWindowWidth) + " x " + std::to_string(kWindowHeight) + " production";
  drawSideCaptions(canvas, title, {kGroup, "presents"}, {size, "in one thin stripe"}, 30, 58.0f,
                   outlinedText(rgb255(255, 240, 250), rgb255(20, 0, 40, 0.9f), 1.5f));
  return canvas.toImage(false);
}

// ---- closing crash screen -----------------------------------------------------

namespace {
constexpr float kFrameInset = 5.0f;
constexpr float kFrameWidth = 6.0f;
const Rgba kAlarmRed = rgb255(255, 36, 20);
}  // namespace

Image makeGuruText() {
  Canvas canvas(kW, kH);
  canvas.fillRect(0, 0, kW, kH, rgb255(0, 0, 0));
  // The console's own pixel face at twice its size: a machine talking.
  const TextStyle red = outlinedText(kAlarmRed);
  drawText(canvas, pixelFace("SYSTEM HALTED - the demo ran out of time.", 2, 2), kW / 2.0f, 30.0f,
           red);
  char error[64];
  std::snprintf(error, sizeof error, "Error #%010.2f  Reboot the audience to continue.",
                static_cast<double>(kEndTime));
  drawText(canvas, pixelFace(error, 2, 2), kW / 2.0f, 59.0f, red);
  return canvas.toImage(false);
}

Image makeGuruRect() {
  // Same size as the text picture and drawn with the same layout constants,
  // so the frame sits exactly around the text when both are stretched.
  Canvas canvas(kW, kH);
  const float o = kFrameInset, w = kFrameWidth;
  canvas.fillRect(o, o, kW - o, o + w, kAlarmRed);                    // top
  canvas.fillRect(o, kH - o - w, kW - o, kH - o, kAlarmRed);          // bottom
  canvas.fillRect(o, o + w, o + w, kH - o - w, kAlarmRed);            // left
  canvas.fillRect(kW - o - w, o + w, kW - o, kH - o - w, kAlarmRed);  // right
  return canvas.toImage(true);
}

// ---- end card: a pillared hall, ray cast -------------------------------------

namespace {

// A long low hall seen down its axis: checkered floor, lit ceiling, two rows
// of columns and a bright doorway at the far end behind the closing title.
Rgba traceHall(float px, float py) {
  const float tanHalf = 1.45f;
  const float u = (px - kW / 2.0f) / (kW / 2.0f) * tanHalf;
  const float v = (kH / 2.0f - py) / (kW / 2.0f) * tanHalf;
  const float halfH = 0.42f, halfW = 4.0f, farZ = 46.0f;
  const float spacing = 2.5f, colX = 2.6f, colR = 0.28f;

  float t = farZ;
  int what = 0;  // 0 back wall, 1 floor, 2 ceiling, 3 side wall, 4 column
  float nx = 0.0f, nz = 0.0f;
  if (v < 0.0f && -halfH / v < t) t = -halfH / v, what = 1;
  if (v > 0.0f && halfH / v < t) t = halfH / v, what = 2;
  if (std::fabs(u) > 1e-6f && halfW / std::fabs(u) < t) t = halfW / std::fabs(u), what = 3;
  // Columns: ray (u, 1) against circles of radius colR in the x-z plane.
  for (int side = -1; side <= 1; side += 2)
    for (int i = 1; static_cast<float>(i) * spacing < farZ; ++i) {
      const float cx = colX * static_cast<float>(side), cz = static_cast<float>(i) * spacing;
      const float a = u * u + 1.0f, b = u * cx + cz, c = cx * cx + cz * cz - colR * colR;
      const float disc = b * b - a * c;
      if (disc < 0.0f) continue;
      const float hit = (b - std::sqrt(disc)) / a;
      if (hit > 0.0f && hit < t) {
        t = hit;
        what = 4;
        nx = (hit * u - cx) / colR;
        nz = (hit - cz) / colR;
      }
    }
  const float hx = t * u, hy = t * v, hz = t;
  Rgba c;
  switch (what) {
    case 1: {  // marble checkerboard lit by pools under the ceiling lamps
      const bool dark =
          (static_cast<int>(std::floor(hx * 1.2f)) + static_cast<int>(std::floor(hz * 1.2f))) & 1;
      c = dark ? rgb255(40, 30, 36) : rgb255(200, 186, 170);
      const float pool = 0.55f + 0.45f * std::cos(hz / spacing * 2.0f * kPi);
      c = mix(rgb255(0, 0, 0), c, 0.45f + 0.55f * pool);
      break;
    }
    case 2: {  // dark coffered ceiling with glowing lamp strips
      const float lamp =
          std::exp(-std::pow((std::fmod(hz, spacing) - spacing / 2.0f) * 6.0f, 2.0f));
      c = mix(rgb255(30, 20, 26), rgb255(255, 230, 180),
              lamp * (std::fabs(hx) < 2.2f ? 1.0f : 0.2f));
      break;
    }
    case 3: {  // red wall with vertical panels
      const float panel = std::fabs(std::fmod(hz, spacing) - spacing / 2.0f) < 0.9f ? 1.0f : 0.7f;
      c = mix(rgb255(60, 8, 14), rgb255(150, 30, 36),
              panel * (0.6f + 0.4f * (hy / halfH * 0.5f + 0.5f)));
      break;
    }
    case 4: {  // stone columns lit from the hall's centre line
      const float lx = hx > 0.0f ? -0.8f : 0.8f;
      const float lambert = std::max(0.0f, nx * lx + nz * -0.6f);
      c = mix(rgb255(50, 44, 40), rgb255(240, 226, 200), 0.2f + 0.8f * lambert);
      break;
    }
    default: {  // bright doorway at the end
      const bool door = std::fabs(hx) < 1.2f;
      c = door ? rgb255(255, 244, 210) : rgb255(90, 40, 40);
      break;
    }
  }
  // Warm haze with distance makes the hall read as deep.
  const float fog = 1.0f - std::exp(-hz / 18.0f);
  return mix(c, rgb255(255, 200, 150), fog * 0.85f);
}

}  // namespace

Image makeEndCard() {
  Canvas canvas(kW, kH);
  canvas.shadeSupersampled(2, traceHall);

  const std::vector<Rgba> gold = {rgb255(255, 250, 220), rgb255(255, 200, 60), rgb255(170, 90, 10)};
  const Mask title = font(kHeadline).render("THE END", scaled(84), scaled(6));
  drawHeadline(canvas, title, {gold, 4.0f, rgb255(30, 10, 0), 2.5f, rgb255(0, 0, 0, 0.8f), 5});
  drawSideCaptions(canvas, title, {"thanks for", "watching"}, {kTitle, kGroup}, 34, 60.0f,
                   outlinedText(rgb255(255, 250, 240), rgb255(20, 0, 0, 0.95f), 2.0f));
  return canvas.toImage(false);
}

// ---- overlays -----------------------------------------------------------------

Image makeOldschool() {
  Canvas canvas(kW, kH);

  // Three copper rasterbars crossing behind the lettering, fading at the ends.
  const float bars[] = {24.0f, 44.0f, 64.0f};
  const Rgba barColours[] = {rgb255(255, 60, 60), rgb255(80, 255, 120), rgb255(80, 140, 255)};
  for (int i = 0; i < 3; ++i) {
    const float cy = bars[i];
    const Rgba base = barColours[i];
    canvas.fillShape(
        120, cy - 6, kW - 120, cy + 6, [=](float, float y) { return std::fabs(y - cy) - 5.0f; },
        [=](float x, float y) {
          // Bright in the middle row, dark at the rims: a
          // cylinder lit from the front.
          const float shine = std::cos((y - cy) / 5.5f * kPi / 2.0f);
          Rgba c = mix(mix(rgb255(0, 0, 0), base, shine), rgb255(255, 255, 255),
                       std::pow(shine, 8.0f) * 0.7f);
          c.a = smoothstep(120.0f, 220.0f, x) * (1.0f - smoothstep(kW - 220.0f, kW - 120.0f, x));
          return c;
        });
  }

  // Chunky lettering from a 5x7 bitmap font blown up 8x, each big pixel
  // bevelled like an old bitmap font.
  const int scale = 8, cellW = 7;  // big pixels 7 wide, 8 tall
  const Mask small = pixelText("OLDSCHOOL");
  const Mask big = scaleNearest(small, scaled(cellW), scaled(scale));
  const int x0 = (kW - small.width * cellW) / 2, y0 = (kH - small.height * scale) / 2;
  canvas.paint(big, scaled(x0 + cellW), scaled(y0 + scale / 2),
               rgb255(0, 0, 0, 0.75f));  // drop shadow
  const Rgba copper[] = {rgb255(120, 220, 255), rgb255(255, 255, 255), rgb255(255, 230, 90),
                         rgb255(255, 150, 40),  rgb255(230, 60, 40),   rgb255(160, 30, 120)};
  canvas.paint(big, scaled(x0), scaled(y0), [&](float x, float y) {
    const int row = static_cast<int>(y - static_cast<float>(y0)) / scale;
    const float fx = std::fmod(x - static_cast<float>(x0), static_cast<float>(cellW));
    const float fy = std::fmod(y - static_cast<float>(y0), static_cast<float>(scale));
    const float t =
        static_cast<float>(row) / static_cast<float>(std::max(1, small.height - 1)) * 5.0f;
    const int i = std::min(static_cast<int>(t), 4);
    Rgba c = mix(copper[i], copper[i + 1], t - static_cast<float>(i));
    if (fx < 1.0f || fy < 1.0f) c = mix(c, rgb255(255, 255, 255), 0.45f);             // lit edge
    if (fx >= cellW - 1.0f || fy >= scale - 1.0f) c = mix(c, rgb255(0, 0, 0), 0.4f);  // shaded edge
    return c;
  });

  // A pixel-art floppy disk at each end.
  static const char* const kFloppy[16] = {
      "KKKKKKKKKKKKKKK.", "KKKSSSSSSSSSKKKK", "KKKSSSKKSSSSKKKK", "KKKSSSKKSSSSKKKK",
      "KKKSSSKKSSSSKKKK", "KKKSSSSSSSSSKKKK", "KKKKKKKKKKKKKKKK", "KKLLLLLLLLLLLLKK",
      "KKLBBBBBBBBBBLKK", "KKLLLLLLLLLLLLKK", "KKLBBBBBBBLLLLKK", "KKLLLLLLLLLLLLKK",
      "KKLBBBBBBBBBLLKK", "KKLLLLLLLLLLLLKK", "KKLLLLLLLLLLLLKK", "KKKKKKKKKKKKKKKK"};
  const int cell = 4;
  for (const int fx0 : {40, kW - 40 - 16 * cell}) {
    const int fy0 = (kH - 16 * cell) / 2;
    for (int r = 0; r < 16; ++r)
      for (int c = 0; c < 16; ++c) {
        Rgba col;
        switch (kFloppy[r][c]) {
          case 'K': col = rgb255(40, 60, 140); break;
          case 'S': col = rgb255(190, 196, 210); break;
          case 'L': col = rgb255(250, 250, 240); break;
          case 'B': col = rgb255(60, 80, 200); break;
          default: continue;
        }
        canvas.fillRect(static_cast<float>(fx0 + c * cell), static_cast<float>(fy0 + r * cell),
                        static_cast<float>(fx0 + (c + 1) * cell),
                        static_cast<float>(fy0 + (r + 1) * cell), col);
      }
  }
  return canvas.toImage(true);
}

namespace {

// A rocket about 180 px long from flame tip to nose, centred on (rx, ry) and
// flying along `angle` (radians, screen y down): a silver fuselage shaded as
// a cylinder, red nose cone and fins, a porthole and a two-layer flame.
void drawRocket(Canvas& canvas, float rx, float ry, float angle) {
  // Positions in the rocket's own frame: lx forward along the axis, ly across.
  auto local = [=](float x, float y) {
    unrotate(x, y, rx, ry, angle);
    return std::pair<float, float>(x - rx, y - ry);
  };
  const float noseX = 66.0f, tailX = -42.0f, radius = 13.0f;
  // Fuselage half-height at lx: an ellipse from the tail to the nose.
  auto halfHeight = [=](float lx) {
    const float t = (lx - 8.0f) / 58.0f;
    return radius * std::sqrt(std::max(0.0f, 1.0f - t * t));
  };
  // Lit from above: bright band on the upper third, dark underside, and a
  // narrow specular streak; `n` is -1 at the top edge and 1 at the bottom.
  auto cylinder = [](const Rgba& base, float n) {
    const float lambert = clamp01(0.35f + 0.65f * (1.0f - (n + 0.3f) * (n + 0.3f)));
    const float specular = std::exp(-(n + 0.45f) * (n + 0.45f) * 60.0f);
    return mix(mix(rgb255(15, 15, 35), base, lambert), rgb255(255, 255, 255), specular * 0.8f);
  };
  const float box = 140.0f;

  // Exhaust glow, then the flame's orange body and white-hot core.
  canvas.fillShape(
      rx - box, ry - 45, rx, ry + 45,
      [=](float x, float y) {
        auto [lx, ly] = local(x, y);
        return sdEllipse(lx, ly, -88.0f, 0.0f, 62.0f, 24.0f);
      },
      [=](float x, float y) {
        auto [lx, ly] = local(x, y);
        const float e = std::hypot((lx + 88.0f) / 62.0f, ly / 24.0f);
        return rgb255(255, 120, 40, 0.45f * (1.0f - e) * (1.0f - e));
      });
  auto flame = [=](float length, float width) {
    return [=](float x, float y) {
      auto [lx, ly] = local(x, y);
      const float t = (tailX - 6.0f - lx) / length;  // 0 at the nozzle, 1 at the tip
      if (t < -0.05f) return 1.0f;
      const float w = width * std::sqrt(clamp01(1.0f - t)) * (1.0f + 0.15f * std::sin(t * 18.0f));
      return std::fabs(ly) - w;
    };
  };
  canvas.fillShape(rx - box, ry - 30, rx, ry + 30, flame(80.0f, 11.0f), [=](float x, float y) {
    auto [lx, ly] = local(x, y);
    const float t = clamp01((tailX - 6.0f - lx) / 80.0f);
    return withAlpha(mix(rgb255(255, 200, 60), rgb255(230, 40, 20), t + std::fabs(ly) / 20.0f),
                     1.0f - t * t);
  });
  canvas.fillShape(rx - box, ry - 20, rx, ry + 20, flame(42.0f, 6.0f), [=](float x, float y) {
    auto [lx, ly] = local(x, y);
    const float t = clamp01((tailX - 6.0f - lx) / 42.0f);
    return withAlpha(mix(rgb255(255, 255, 250), rgb255(255, 230, 120), t), 1.0f - t);
  });

  // Nozzle: a dark bell between the flame and the tail.
  canvas.fillShape(
      rx - 80, ry - 30, rx - 20, ry + 30,
      [=](float x, float y) {
        auto [lx, ly] = local(x, y);
        const float w = 6.0f + (tailX + 2.0f - lx) * 0.45f;
        return std::max({std::fabs(ly) - w, lx - (tailX + 2.0f), tailX - 8.0f - lx});
      },
      [=](float x, float y) {
        auto [lx, ly] = local(x, y);
        return cylinder(rgb255(110, 110, 130), ly / 10.0f);
      });

  // Swept fins above and below; the body is painted over their roots.
  canvas.fillShape(
      rx - 70, ry - 45, rx + 10, ry + 45,
      [=](float x, float y) {
        auto [lx, ly] = local(x, y);
        const float a = std::fabs(ly);
        const float leading = a - (8.0f + (-6.0f - lx) * 0.75f);
        return std::max({leading, -48.0f - lx, a - 27.0f, lx - -4.0f});
      },
      [=](float x, float y) {
        auto [lx, ly] = local(x, y);
        const Rgba fin = ly < 0.0f ? rgb255(240, 60, 60) : rgb255(170, 20, 35);
        return mix(fin, rgb255(255, 200, 200), clamp01((lx + 20.0f) / 30.0f) * 0.25f);
      });

  // Fuselage with a red nose cone, a red ring and a porthole.
  canvas.fillShape(
      rx - 60, ry - 30, rx + 80, ry + 30,
      [=](float x, float y) {
        auto [lx, ly] = local(x, y);
        return std::max(sdEllipse(lx, ly, 8.0f, 0.0f, 58.0f, radius), tailX - lx);
      },
      [=](float x, float y) {
        auto [lx, ly] = local(x, y);
        const float n = ly / std::max(2.0f, halfHeight(lx));
        const bool red = lx > noseX - 24.0f || (lx > -14.0f && lx < -8.0f);
        Rgba c = cylinder(red ? rgb255(225, 35, 45) : rgb255(225, 228, 240), n);
        // Panel seams every 14 px along the silver part.
        if (!red && std::fabs(std::fmod(lx + 100.0f, 14.0f) - 7.0f) < 0.5f)
          c = mix(c, rgb255(60, 60, 80), 0.5f);
        return c;
      });
  // Edge-on third fin, pointing at the viewer.
  canvas.fillShape(
      rx - 60, ry - 20, rx + 10, ry + 20,
      [=](float x, float y) {
        auto [lx, ly] = local(x, y);
        return std::max({std::fabs(ly - 1.0f) - 2.0f, -46.0f - lx, lx - -14.0f});
      },
      [](float, float) { return rgb255(130, 15, 30); });
  const float portX = 24.0f;
  canvas.fillShape(
      rx - 20, ry - 25, rx + 50, ry + 25,
      [=](float x, float y) {
        auto [lx, ly] = local(x, y);
        return sdCircle(lx, ly, portX, -1.0f, 7.5f);
      },
      [=](float x, float y) {
        auto [lx, ly] = local(x, y);
        const float d = std::hypot(lx - portX, ly + 1.0f);
        if (d > 5.5f)
          return mix(rgb255(250, 210, 110), rgb255(120, 80, 30), clamp01((ly + 6.0f) / 12.0f));
        const Rgba glass =
            mix(rgb255(150, 230, 255), rgb255(20, 60, 140), clamp01((ly + 5.0f) / 10.0f));
        const float glint =
            std::exp(-(std::pow(lx - portX + 2.0f, 2.0f) + std::pow(ly + 3.5f, 2.0f)) / 2.0f);
        return mix(glass, rgb255(255, 255, 255), glint);
      });
}

}  // namespace

Image makeSpace() {
  Canvas canvas(kW, kH);
  Rng rng(0x5BACEull);
  for (int i = 0; i < 45; ++i)
    drawTwinkle(canvas, rng.uniform(10.0f, kW - 10.0f), rng.uniform(6.0f, kH - 6.0f),
                rng.uniform(2.0f, 6.0f), rgb255(230, 240, 255, rng.uniform(0.5f, 1.0f)));

  // Dark, soft-edged backings behind the word, the planet and the rocket:
  // the layer is drawn over the busy bumpy bar and needs its own calm ground.
  const Rgba night = rgb255(3, 5, 26, 0.82f);
  drawBacking(canvas, 318.0f, 12.0f, 642.0f, 77.0f, 16.0f, night);
  drawBacking(canvas, 104.0f, 10.0f, 276.0f, 80.0f, 18.0f, withAlpha(night, 0.7f));
  drawBacking(canvas, 676.0f, 22.0f, 840.0f, 70.0f, 16.0f, withAlpha(night, 0.6f));

  // Ringed planet. The ring is an ellipse band tilted by `tilt`; its far
  // half is drawn before the planet and its near half after.
  const float pcx = 170.0f, pcy = 45.0f, pr = 30.0f, tilt = -0.22f;
  auto ringSdf = [=](float x, float y) {
    unrotate(x, y, pcx, pcy, tilt);
    const float e = std::hypot((x - pcx) / (pr * 2.3f), (y - pcy) / (pr * 0.42f));
    // Band between 0.62 and 1.0 of the outer ellipse, with a dark gap.
    const float band = std::fabs(e - 0.81f) - 0.19f;
    return band * pr * 0.9f;
  };
  auto ringColour = [=](float x, float y) {
    unrotate(x, y, pcx, pcy, tilt);
    const float e = std::hypot((x - pcx) / (pr * 2.3f), (y - pcy) / (pr * 0.42f));
    Rgba c = mix(rgb255(250, 220, 160), rgb255(190, 140, 90), std::fabs(std::sin(e * 40.0f)));
    if (std::fabs(e - 0.84f) < 0.025f) c.a = 0.15f;  // the gap between rings
    return c;
  };
  auto farHalf = [=](float x, float y) {
    unrotate(x, y, pcx, pcy, tilt);
    return y < pcy;
  };
  const float box = pr * 2.6f;
  canvas.fillShape(
      pcx - box, pcy - box, pcx + box, pcy + box,
      [&](float x, float y) { return farHalf(x, y) ? ringSdf(x, y) : 1.0f; }, ringColour);
  canvas.fillShape(
      pcx - pr - 1, pcy - pr - 1, pcx + pr + 1, pcy + pr + 1,
      [=](float x, float y) { return sdCircle(x, y, pcx, pcy, pr); },
      [=](float x, float y) {
        // Banded gas giant, lit from the upper left.
        const float nx = (x - pcx) / pr, ny = (y - pcy) / pr;
        const float nz = std::sqrt(std::max(0.0f, 1.0f - nx * nx - ny * ny));
        const float light = std::max(0.0f, -0.55f * nx - 0.45f * ny + 0.7f * nz);
        const float bands = 0.5f + 0.5f * std::sin(ny * 11.0f + std::sin(nx * 3.0f) * 0.8f);
        const Rgba base = mix(rgb255(230, 150, 80), rgb255(250, 220, 170), bands);
        return mix(rgb255(20, 10, 30), base, 0.15f + 0.85f * light);
      });
  canvas.fillShape(
      pcx - box, pcy - box, pcx + box, pcy + box,
      [&](float x, float y) { return farHalf(x, y) ? 1.0f : ringSdf(x, y); }, ringColour);
  // A small moon.
  canvas.fillCircle(262.0f, 18.0f, 7.0f, rgb255(200, 200, 215));
  canvas.fillCircle(259.0f, 16.0f, 2.0f, rgb255(150, 150, 170));

  drawRocket(canvas, 770.0f, 46.0f, -0.12f);

  const std::vector<Rgba> ice = {rgb255(255, 255, 255), rgb255(150, 220, 255), rgb255(60, 90, 220)};
  drawHeadline(canvas, font(kDisplay).render("SPACE", scaled(54), scaled(16)),
               {ice, 4.0f, rgb255(5, 5, 30), 2.0f, rgb255(60, 140, 255, 0.9f), 4});
  return canvas.toImage(true);
}

Image makeLove() {
  Canvas canvas(kW, kH);
  // A shaded heart: pink highlight towards the upper left lobe.
  auto heart = [&](float cx, float tipY, float size, float angle, Rgba deep, Rgba light) {
    const float topY = tipY - size;
    const float pivotY = tipY - size / 2.0f;
    canvas.fillShape(
        cx - size, topY - 2, cx + size, tipY + 3,
        [=](float x, float y) {
          unrotate(x, y, cx, pivotY, angle);
          return sdHeart(x, y, cx, tipY, size);
        },
        [=](float x, float y) {
          unrotate(x, y, cx, pivotY, angle);
          const float hx = (x - (cx - size * 0.25f)) / size, hy = (y - (topY + size * 0.3f)) / size;
          const float spot = std::exp(-(hx * hx + hy * hy) * 14.0f);
          return mix(mix(deep, light, clamp01((tipY - y) / size)), rgb255(255, 255, 255),
                     spot * 0.7f);
        });
  };
  const Rgba red = rgb255(170, 0, 30), pink = rgb255(255, 90, 140);
  const Rgba magenta = rgb255(150, 0, 90), rose = rgb255(255, 120, 200);
  // Big hearts flanking the word, smaller ones drifting outwards.
  heart(300.0f, 80.0f, 70.0f, -0.15f, red, pink);
  heart(660.0f, 80.0f, 70.0f, 0.15f, red, pink);
  Rng rng(0x10BEull);
  for (int i = 0; i < 16; ++i) {
    const bool left = i % 2 == 0;
    const float x = left ? rng.uniform(30.0f, 240.0f) : rng.uniform(720.0f, 930.0f);
    const float size = rng.uniform(14.0f, 34.0f);
    const float tip = rng.uniform(size + 2.0f, kH - 2.0f);
    heart(x, tip, size, rng.uniform(-0.5f, 0.5f), i % 3 == 0 ? magenta : red,
          i % 3 == 0 ? rose : pink);
  }

  const std::vector<Rgba> candy = {rgb255(255, 230, 240), rgb255(255, 90, 150), rgb255(190, 0, 60)};
  drawHeadline(canvas, font(kHeadline).render("LOVE", scaled(90), scaled(8)),
               {candy, 6.0f, rgb255(80, 0, 20), 2.5f, rgb255(255, 60, 160, 0.85f), 5});
  return canvas.toImage(true);
}

// ---- greetings scroller -------------------------------------------------------

Image makeScroller() {
  // 0.3 of the width fills the window, so 3200 px shows 960 px at 1:1, and
  // the window slides 0.046 of the width (147.2 px) per second from 105 s.
  constexpr int kScrollW = 3200;
  // A blank first screenful: the text enters from the right edge as the
  // strip starts moving instead of standing on screen before it.
  constexpr int kLead = kW;
  // By 120 s the window's right edge is at 960 + 15 * 147.2 = 3168 px: the
  // message is kept short enough to end before that (the media test checks),
  // so it has crossed in full when the show cuts.
  const std::string text =
      std::string(kTitle) + " by " + kGroup + " <> hi pixel pushers & chip tweakers <> stay thin!";
  // The pixel face with tall pixels, three wide and four high: the strip's
  // rows take big letters while the message still fits its run.
  const Mask line = pixelFace(text, 3, 4);

  Canvas canvas(kScrollW, kH);
  const float top = kH / 2.0f - units(line.height) / 2.0f;
  TextStyle style;
  style.fill = verticalRamp(
      top + 8, top + units(line.height) - 10,
      {rgb255(255, 255, 230), rgb255(255, 230, 80), rgb255(255, 120, 20), rgb255(220, 40, 90)});
  style.outline = rgb255(10, 10, 40);
  style.outlinePx = 3.0f;
  style.shadow = rgb255(0, 0, 0, 0.6f);
  style.shadowDx = 4;
  style.shadowDy = 4;
  // The outline reaches 3 px left of the ink.
  drawText(canvas, line, static_cast<float>(kLead + 4 + line.width / scaled(2)), kH / 2.0f, style);
  return canvas.toImage(true);
}

}  // namespace mediagen
