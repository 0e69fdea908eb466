// Storyboard layout and its labels in a built-in 5 × 7 pixel font.
#include "tools/capture/sheet.h"

#include <cstdio>
#include <cstring>

namespace {

// Rows of each glyph, top first; bit 4 is the leftmost pixel.
struct Glyph {
  char c;
  uint8_t rows[7];
};

const Glyph kGlyphs[] = {
    {'0', {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E}},
    {'1', {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E}},
    {'2', {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F}},
    {'3', {0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E}},
    {'4', {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02}},
    {'5', {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E}},
    {'6', {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E}},
    {'7', {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08}},
    {'8', {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E}},
    {'9', {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C}},
    {'.', {0x00, 0x00, 0x00, 0x00, 0x00, 0x0C, 0x0C}},
    {'s', {0x00, 0x00, 0x0E, 0x10, 0x0E, 0x01, 0x1E}},
    {' ', {0, 0, 0, 0, 0, 0, 0}},
};

const Glyph* glyphFor(char c) {
  for (const Glyph& g : kGlyphs) {
    if (g.c == c) return &g;
  }
  return nullptr;
}

const int kScale = 2;

}  // namespace

std::vector<double> spreadTimes(double from, double to, int count) {
  std::vector<double> times;
  for (int i = 0; i < count; ++i) times.push_back(from + (to - from) * i / count);
  return times;
}

SheetSize sheetSize(int frameWidth, int frameHeight, int frames, int columns) {
  const long long n = frames, c = columns < frames ? columns : frames;
  const long long rows = (n + c - 1) / c;
  SheetSize size;
  size.width = c * frameWidth + (c + 1) * ContactSheet::kGap;
  size.height = rows * (frameHeight + ContactSheet::kLabelHeight) + (rows + 1) * ContactSheet::kGap;
  return size;
}

ContactSheet::ContactSheet(int frameWidth, int frameHeight, int frames, int columns)
    : frameWidth_(frameWidth),
      frameHeight_(frameHeight),
      columns_(columns < frames ? columns : frames) {
  const SheetSize size = sheetSize(frameWidth, frameHeight, frames, columns);
  width_ = static_cast<int>(size.width);
  height_ = static_cast<int>(size.height);
  // A dark grey background tells the frames apart from black frames.
  pixels_.assign(static_cast<size_t>(width_) * height_ * 3, 40);
}

void ContactSheet::place(int index, double seconds, const std::vector<uint8_t>& rgb) {
  const int x0 = kGap + (index % columns_) * (frameWidth_ + kGap);
  const int y0 = kGap + (index / columns_) * (frameHeight_ + kLabelHeight + kGap);
  char label[32];
  std::snprintf(label, sizeof label, "%.2f s", seconds);
  drawText(x0 + 2, y0 + (kLabelHeight - 7 * kScale) / 2, label);
  for (int y = 0; y < frameHeight_; ++y) {
    std::memcpy(&pixels_[(static_cast<size_t>(y0 + kLabelHeight + y) * width_ + x0) * 3],
                &rgb[static_cast<size_t>(y) * frameWidth_ * 3],
                static_cast<size_t>(frameWidth_) * 3);
  }
}

void ContactSheet::drawText(int x, int y, const std::string& text) {
  for (char c : text) {
    const Glyph* g = glyphFor(c);
    for (int row = 0; g && row < 7; ++row) {
      for (int col = 0; col < 5; ++col) {
        if (!(g->rows[row] & (0x10 >> col))) continue;
        for (int dy = 0; dy < kScale; ++dy) {
          for (int dx = 0; dx < kScale; ++dx) {
            const int px = x + col * kScale + dx, py = y + row * kScale + dy;
            if (px < 0 || py < 0 || px >= width_ || py >= height_) continue;
            uint8_t* p = &pixels_[(static_cast<size_t>(py) * width_ + px) * 3];
            p[0] = p[1] = p[2] = 230;
          }
        }
      }
    }
    x += 6 * kScale;
  }
}
