// The test suite's one picture reader: PNG and JPEG files as RGBA8 through SDL_image.
#pragma once

#include <string>
#include <vector>

// Decoded picture as RGBA8, top row first, whatever format SDL_image chose.
struct Picture {
  int w = 0, h = 0;
  bool hasAlpha = false;
  std::vector<unsigned char> px;
  int at(int x, int y, int c) const { return px[(static_cast<size_t>(y) * w + x) * 4 + c]; }
  double luma(int x, int y) const {
    return 0.299 * at(x, y, 0) + 0.587 * at(x, y, 1) + 0.114 * at(x, y, 2);
  }
  // The pixels as tightly packed RGB rows, alpha dropped.
  std::vector<unsigned char> rgb() const;
};

// False when the file cannot be read or decoded.
bool loadPicture(const std::string& path, Picture& pic);
