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

// Both throw std::runtime_error naming the path and the reason on failure.
void write_png(const std::string& path, const Image& image);
// Drops alpha if present: JPEG has none, and the player treats JPEGs as opaque.
void write_jpeg(const std::string& path, const Image& image, int quality);

}  // namespace mediagen
