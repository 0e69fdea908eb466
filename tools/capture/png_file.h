// Writes 8-bit RGB pictures as PNG files, byte-identical for identical pixels.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// `rgb` holds height rows of width × 3 bytes, top row first. Returns false
// with the reason in `error` (the file is removed then).
bool writePngRgb(const std::string& path, int width, int height,
                 const std::vector<uint8_t>& rgb, std::string* error);
