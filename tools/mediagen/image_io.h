// PNG and JPEG writers for 8-bit images.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace mediagen {

// Interleaved 8-bit pixels, top row first; channels is 3 (RGB) or 4 (RGBA).
struct Image {
  int width = 0;
  int height = 0;
  int channels = 4;
  std::vector<uint8_t> pixels;
};

// Both return false with a message naming the path and the reason in `error`.
bool writePng(const std::string& path, const Image& image, std::string* error);
// Drops alpha if present: JPEG has none, and the player treats JPEGs as opaque.
bool writeJpeg(const std::string& path, const Image& image, int quality, std::string* error);

}  // namespace mediagen
