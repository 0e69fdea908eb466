// The demo clock: SDL's ticks or a time set by the driver.
#include "presentation/clock.h"

#include <SDL.h>

namespace {

bool fixed = false;
float fixedSeconds = 0;

}  // namespace

float demoTime() {
  if (fixed) return fixedSeconds;
  // Single-precision 0.001: 120000 ms reads as 120.0000057 s, which the late
  // layers' strict tests rely on.
  return static_cast<float>(SDL_GetTicks()) * 0.001f;
}

void setDemoTime(float seconds) {
  fixed = true;
  fixedSeconds = seconds;
}

void useSdlClock() { fixed = false; }
