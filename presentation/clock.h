// The demo clock: seconds since SDL was initialised, read anew at every use.
#pragma once

// t = SDL_GetTicks() * 0.001f unless a driver has installed its own clock.
float demoTime();

// Tests and the capture tool drive the timeline through this seam;
// nullptr restores SDL's clock.
using DemoClock = float (*)();
void setDemoClock(DemoClock clock);
