// A storyboard: frames laid out in a grid, each under a label with its time.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A storyboard's size in pixels, in 64 bits so that a refused one cannot overflow.
struct SheetSize {
  long long width = 0, height = 0;
};

// Bounds checked before any pixel is allocated: PNG readers commonly stop at
// 65535 a side, and 256 megapixels are 768 MB of RGB.
const long long kMaxSheetSide = 65535;
const long long kMaxSheetPixels = 256LL * 1024 * 1024;

// The size of a sheet of `frames` frames in `columns` columns (at most one per frame).
SheetSize sheetSize(int frameWidth, int frameHeight, int frames, int columns);

class ContactSheet {
 public:
  // The size must be within the bounds above.
  ContactSheet(int frameWidth, int frameHeight, int frames, int columns);
  // Places frame `index` (RGB, top row first) with the label "<seconds> s".
  void place(int index, double seconds, const std::vector<uint8_t>& rgb);
  int width() const { return width_; }
  int height() const { return height_; }
  const std::vector<uint8_t>& pixels() const { return pixels_; }

  static const int kLabelHeight = 20;
  static const int kGap = 4;

 private:
  void drawText(int x, int y, const std::string& text);
  int frameWidth_, frameHeight_, columns_, width_, height_;
  std::vector<uint8_t> pixels_;
};

// `count` times spread evenly from `from` up to, not including, `to`.
std::vector<double> spreadTimes(double from, double to, int count);
