// Headless frames through the player's own start-up and drawLayers.
#include "presentation/headless_render.h"

#include "gpu/program.h"
#include "platform/headless_gl.h"
#include "presentation/clock.h"
#include "presentation/demo.h"
#include "presentation/layers.h"

#include <GL/gl.h>

#include <algorithm>

namespace {

float frameTime = 0;

float frameClock() { return frameTime; }

}  // namespace

bool startHeadlessRendering(int width, int height, const std::string& mediaDir,
                            std::string* error) {
  if (!createHeadlessGl(width, height, error)) return false;
  if (!checkGlSupport()) {
    *error = "the headless context does not offer OpenGL 2.0";
    stopHeadlessRendering();
    return false;
  }
  if (!startInMediaFolder(mediaDir, nullptr, error)) {
    stopHeadlessRendering();
    return false;
  }
  setDemoClock(frameClock);
  return true;
}

void drawFrameAt(double seconds) {
  frameTime = static_cast<float>(seconds);
  drawFrame();
}

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

void stopHeadlessRendering() {
  setDemoClock(nullptr);
  destroyHeadlessGl();
}
