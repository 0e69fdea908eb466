// Supersampled frames: drawn N times larger, reduced by exact area averaging.
#pragma once

#include <cstdint>
#include <vector>

// Averages every n × n block of an RGB picture of (width·n) × (height·n)
// pixels into one pixel of `out` (width × height), rounding to nearest.
void boxReduce(const std::vector<uint8_t>& large, int width, int height, int n,
               std::vector<uint8_t>* out);

enum class RowOrder { topFirst, bottomFirst };

// The drawn frame, which is n times the size asked for, reduced to
// width × height RGB rows in `order`: top first for pictures, bottom first
// (as GL reads them) for the video encoder, which flips them itself.
void readFrameReduced(int width, int height, int n, RowOrder order, std::vector<uint8_t>* rgb);
