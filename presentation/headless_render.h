// Draws frames of the presentation without a window: the one start-up and
// the same layer schedule as the player, in a headless GL context, with the
// demo time set by the caller instead of read from SDL.
#pragma once

#include "gpu/frame_readback.h"

#include <string>

// Creates a width × height headless context and runs the start-up in it
// with `mediaDir` as the media folder, without music; `largePictures` loads
// the pictures drawn at twice the window's size (for a strip drawn
// kLargePictureWidth wide or wider). On failure returns
// false with one line in `error`. Paths given later stay relative to the
// folder the process started in.
bool startHeadlessRendering(int width, int height, const std::string& mediaDir, std::string* error,
                            bool largePictures = false);

// Draws the frame whose every clock reading is `seconds`.
void drawFrameAt(double seconds);

void stopHeadlessRendering();
