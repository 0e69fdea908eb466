// A storyboard: frames laid out in a grid, each under a label with its time.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class ContactSheet {
 public:
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
