// The drawn frame read back from the current GL context, for the drivers
// that save or encode frames (the capture, the studio, the benchmark).
#pragma once

#include <cstdint>
#include <vector>

// The drawn frame as tightly packed RGB rows, top row first.
void readFrameRgb(int width, int height, std::vector<uint8_t>* rgb);

// The drawn frame as tightly packed RGB rows in GL's order, bottom row first,
// read straight into `rgb` (reused from frame to frame without reallocating):
// for consumers that flip the picture themselves, such as the video encoder.
void readFrameRgbBottomUp(int width, int height, std::vector<uint8_t>* rgb);

// Reverses the order of the height rows of width RGB pixels in `rgb`, in place.
void flipRgbRows(int width, int height, std::vector<uint8_t>* rgb);
