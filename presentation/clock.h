// The demo clock: seconds since SDL was initialised, read anew at every use,
// unless a driver has set the time.
#pragma once

// t = SDL_GetTicks() * 0.001f at every reading, or the time last set by
// setDemoTime() until useSdlClock() is called.
float demoTime();

// Fixed-time mode, for drivers that choose each frame's time (the capture,
// the studio, the browser page, the tests): every reading gives `seconds`
// until the next call.
void setDemoTime(float seconds);

// Back to SDL's ticks, as the window player reads them.
void useSdlClock();
