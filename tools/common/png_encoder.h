// PNG encoding of 8-bit pictures in memory, with no time stamp so equal pixels give equal bytes.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

enum class PngCompression {
  // libpng's default filters and level: quick, for frame sequences.
  standard,
  // Level 9, unfiltered or with the Up filter, whichever is smaller: both
  // filters are nearly free to undo, so the file is small and fast to decode.
  smallest,
};

struct PngPicture {
  int width = 0;
  int height = 0;
  // 3: RGB, 4: RGBA, 1: indices into `palette`.
  int channels = 4;
  // Rows of width × channels bytes, top row first.
  const uint8_t* pixels = nullptr;
  std::vector<std::array<uint8_t, 3>> palette;
  // tRNS entries of a palette picture.
  std::vector<uint8_t> paletteAlpha;
};

// Returns false with the encoder's reason in `error`.
bool encodePng(const PngPicture& picture, PngCompression compression, std::vector<uint8_t>* png,
               std::string* error);
