// Headless frames through the player's own start-up and drawLayers.
#include "presentation/headless_render.h"

#include "gpu/gl_entry_points.h"
#include "platform/headless_gl.h"
#include "presentation/clock.h"
#include "presentation/demo.h"
#include "presentation/layers.h"

bool startHeadlessRendering(int width, int height, const std::string& mediaDir, std::string* error,
                            bool largePictures) {
  Startup startup;
  startup.openContext = [width, height](std::string* reason) {
    if (!createHeadlessGl(width, height, reason)) return false;
    setGlProcLookup(headlessGlProcAddress);
    return true;
  };
  startup.mediaDir = mediaDir;
  startup.largePictures = largePictures;
  if (!startPresentation(startup, nullptr, error)) {
    if (error->empty()) *error = "the headless context does not offer OpenGL 2.0";
    stopHeadlessRendering();
    return false;
  }
  return true;
}

void drawFrameAt(double seconds) {
  setDemoTime(static_cast<float>(seconds));
  drawFrame();
}

void stopHeadlessRendering() {
  useSdlClock();
  destroyHeadlessGl();
  setGlProcLookup(nullptr);
}
