// Box-filter reduction of frames drawn at a multiple of their size.
#include "tools/capture/supersample.h"

#include "gpu/frame_readback.h"

#include <algorithm>

namespace {

std::vector<uint8_t> large;
std::vector<uint32_t> rowSums;

}  // namespace

void boxReduce(const std::vector<uint8_t>& src, int width, int height, int n,
               std::vector<uint8_t>* out) {
  const size_t outRow = static_cast<size_t>(width) * 3;
  const size_t srcRow = outRow * static_cast<size_t>(n);
  const uint32_t area = static_cast<uint32_t>(n * n);
  out->resize(outRow * static_cast<size_t>(height));
  rowSums.resize(outRow);
  for (int y = 0; y < height; ++y) {
    std::fill(rowSums.begin(), rowSums.end(), 0u);
    // Sum the n source rows of this output row, then n neighbours within each.
    for (int dy = 0; dy < n; ++dy) {
      const uint8_t* row = src.data() + (static_cast<size_t>(y) * n + dy) * srcRow;
      for (size_t x = 0; x < outRow; x += 3) {
        const uint8_t* p = row + x * n;
        for (int dx = 0; dx < n; ++dx, p += 3) {
          rowSums[x] += p[0];
          rowSums[x + 1] += p[1];
          rowSums[x + 2] += p[2];
        }
      }
    }
    uint8_t* dst = out->data() + static_cast<size_t>(y) * outRow;
    for (size_t i = 0; i < outRow; ++i) {
      dst[i] = static_cast<uint8_t>((rowSums[i] + area / 2) / area);
    }
  }
}

void readFrameReduced(int width, int height, int n, RowOrder order, std::vector<uint8_t>* rgb) {
  if (n == 1) {
    readFrameRgbBottomUp(width, height, rgb);
  } else {
    // Every block of n rows maps onto one output row in either order, so the
    // large frame is reduced as read and only the small one is flipped.
    readFrameRgbBottomUp(width * n, height * n, &large);
    boxReduce(large, width, height, n, rgb);
  }
  if (order == RowOrder::topFirst) flipRgbRows(width, height, rgb);
}
