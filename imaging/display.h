// Developer aids: full screen at the first listed mode, and debug axes.
#pragma once

#include <SDL.h>

// The mode query behind setBestFullscreenMode: SDL_ListModes unless a test
// puts another in its place (nullptr restores it). It answers null (no mode
// fits), (SDL_Rect**)-1 (any size fits) or a null-terminated list, largest
// mode first.
using FullscreenModeQuery = SDL_Rect** (*)(SDL_PixelFormat* format, Uint32 flags);
void setFullscreenModeQuery(FullscreenModeQuery query);

// Switches to full screen with an OpenGL context at the first mode listed for
// SDL_FULLSCREEN | SDL_OPENGL, at the depth of the current video format.
// The mode's size goes into the out-parameters that are not null before the
// switch is tried, so they hold it even when the switch fails. When SDL names
// no particular mode (none, or any size), nothing is written or switched and
// the result is 0, as for a switch that worked. Returns -1 when
// SDL_SetVideoMode fails. Needs SDL video initialised.
int setBestFullscreenMode(int* outWidth, int* outHeight);

// Draws red, green and blue lines two pixels wide, smoothed and blended, from
// the origin to `scale` along the x, y and z axes of the current coordinate
// system. Every GL 1.1 attribute and the current matrix are restored on
// return; the program binding is not touched. Needs a current GL context.
void drawAxes(double scale);
