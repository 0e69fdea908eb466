// The demo clock and its seam.
#include "presentation/clock.h"

#include <SDL.h>

namespace {

// Single-precision 0.001: 120000 ms reads as 120.0000057 s, which the late
// layers' strict tests rely on.
float sdlClock() { return static_cast<float>(SDL_GetTicks()) * 0.001f; }

DemoClock clock = sdlClock;

}  // namespace

float demoTime() { return clock(); }

void setDemoClock(DemoClock newClock) { clock = newClock ? newClock : sdlClock; }
