// Small image files and file-system faults for the utilities' tests.
#pragma once

#include <SDL.h>

#include <array>
#include <functional>
#include <string>
#include <vector>

namespace utilities_testing {

using Rgba = std::array<Uint8, 4>;

// Writes an 8-bit RGBA PNG whose pixel (x, y), y from the top, is colour(x, y).
void writeRgbaPng(const std::string& path, int width, int height,
                  const std::function<Rgba(int, int)>& colour);

// Writes a palette PNG of one row; `alpha` gives the tRNS entries (an entry
// of 0 for exactly one index makes SDL_image load it as a colour key).
void writePalettePng(const std::string& path, const std::vector<std::array<Uint8, 3>>& palette,
                     const std::vector<Uint8>& alpha, const std::vector<Uint8>& row);

// Runs `body` with writes past `bytes` in any file failing (EFBIG), the way
// a full disk fails them part-way through a file.
void withFileSizeLimit(long bytes, const std::function<void()>& body);

std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& text);

// What is left at `path`: "none", "file", "directory" or "device".
std::string pathKind(const std::string& path);

}  // namespace utilities_testing
