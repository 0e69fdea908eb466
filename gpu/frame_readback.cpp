// Frame read-back through glReadPixels.
#include "gpu/frame_readback.h"

#include <GL/gl.h>

#include <algorithm>

void readFrameRgbBottomUp(int width, int height, std::vector<uint8_t>* rgb) {
  rgb->resize(static_cast<size_t>(width) * 3 * static_cast<size_t>(height));
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, rgb->data());
}

void readFrameRgb(int width, int height, std::vector<uint8_t>* rgb) {
  readFrameRgbBottomUp(width, height, rgb);
  flipRgbRows(width, height, rgb);
}

void flipRgbRows(int width, int height, std::vector<uint8_t>* rgb) {
  // Row by row in place: a frame read for every captured picture allocates nothing.
  const size_t row = static_cast<size_t>(width) * 3;
  for (int top = 0, bottom = height - 1; top < bottom; ++top, --bottom) {
    uint8_t* a = rgb->data() + static_cast<size_t>(top) * row;
    std::swap_ranges(a, a + row, rgb->data() + static_cast<size_t>(bottom) * row);
  }
}
