// The window player: SDL's OpenGL window, the event pump that the player and
// the studio share, the frame loop and the player's main function.
#pragma once

#include "presentation/demo.h"

#include <SDL.h>

#include <string>

// Makes SDL choose its x11 video driver unless SDL_VIDEODRIVER names another
// (a no-op where there is no X). Call before initVideo().
void preferX11Video();

// SDL_Init for video; false with one line on stderr naming the display.
bool initVideo();

// The kWindowWidth × kWindowHeight OpenGL window, or `scale` times as large
// (the programs fill any viewport); false with SDL's reason on stderr.
// Needs initVideo().
bool openWindow(int scale = 1);

// The start-up of a windowed driver: initVideo(), SDL_Quit at exit and
// openWindow(scale) as the context, the music started, the media read from
// `mediaDir` ("" for the working folder).
Startup windowStartup(const std::string& mediaDir = "", int scale = 1);

// What one frame's events asked for.
struct FrameEvents {
  bool quit = false;  // Esc pressed or the window closed
  int keyCount = 0;
  SDLKey keys[128];  // the frame's key-downs in order, Esc included
};

// Takes SDL's whole event queue once (see player.cpp) and reports it.
FrameEvents takeFrameEvents();

// One frame of the window player, with its end conditions: once the demo
// time reaches 130 s it returns false without drawing; otherwise it takes
// the pending events, draws the frame with drawFrame(), shows it, and
// returns false when that frame saw Esc or a window close. Needs SDL's window.
bool playFrame();

// playFrame() until it returns false; returns 0.
int runFrameLoop();

// The whole presentation: window, start-up, music, frame loop. Returns the
// exit status: 0, or 1 when there is no window or no OpenGL 2.0. SDL's x11
// video driver is chosen unless SDL_VIDEODRIVER names another (preferX11Video).
int presentationMain(int argc, char** argv);
