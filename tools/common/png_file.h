// Writes 8-bit RGB pictures as PNG files, byte-identical for identical pixels.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// `rgb` holds height rows of width × 3 bytes, top row first. The file
// replaces `path` only when complete; an existing device or FIFO is written
// in place. Returns false with the reason in `error`, `path` left as it was.
bool writePngRgb(const std::string& path, int width, int height, const std::vector<uint8_t>& rgb,
                 std::string* error);
