// Draws frames of the presentation without a window: the same start-up
// pieces and the same layer schedule as the player, in a headless GL context,
// with the demo clock set by the caller instead of read from SDL.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Creates a width × height headless context, checks OpenGL 2.0, then builds
// the programs, loads the textures from `mediaDir` and enables blending, as
// the player does. On failure returns false with one line in `error`.
// Paths given later stay relative to the folder the process started in.
bool startHeadlessRendering(int width, int height, const std::string& mediaDir, std::string* error);

// Draws the frame whose every clock reading is `seconds`.
void drawFrameAt(double seconds);

// The drawn frame as tightly packed RGB rows, top row first.
void readFrameRgb(int width, int height, std::vector<uint8_t>* rgb);

// The drawn frame as tightly packed RGB rows in GL's order, bottom row first,
// read straight into `rgb` (reused from frame to frame without reallocating):
// for consumers that flip the picture themselves, such as the video encoder.
void readFrameRgbBottomUp(int width, int height, std::vector<uint8_t>* rgb);

// Reverses the order of the height rows of width RGB pixels in `rgb`, in place.
void flipRgbRows(int width, int height, std::vector<uint8_t>* rgb);

void stopHeadlessRendering();
