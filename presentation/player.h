// The window player: SDL's OpenGL window, the event pump that the player and
// the studio share, the frame loop and the player's main function.
#pragma once

#include "presentation/demo.h"

#include <SDL.h>

#include <string>

// Makes SDL choose its x11 video driver unless SDL_VIDEODRIVER names another
// (a no-op where there is no X). Call before initVideo().
void preferX11Video();

// SDL_Init for video; false with one line in `error` naming the display.
bool initVideo(std::string* error);

// The kWindowWidth × kWindowHeight OpenGL window, or `scale` times as large
// (the programs fill any viewport), with `extraHeight` more rows below for a
// driver's own controls; false with one line in `error` naming the size and
// SDL's reason. Needs initVideo().
bool openWindow(int scale, int extraHeight, std::string* error);

// The start-up of a windowed driver: initVideo(), SDL_Quit at exit and
// openWindow(scale, extraHeight) as the context, the music started, the media
// read from `mediaDir` ("" for the working folder).
Startup windowStartup(const std::string& mediaDir = "", int scale = 1, int extraHeight = 0);

// What one frame's events asked for.
struct FrameEvents {
  bool quit = false;  // Esc pressed or the window closed
  int keyCount = 0;
  SDLKey keys[128];  // the frame's key-downs in order, Esc included
  // Every event of the frame in order, for drivers that read more than key
  // presses (the studio's panel reads the mouse and the shift key).
  int eventCount = 0;
  SDL_Event events[128];
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

// Full screen. The mode to show the strip on: the desktop's size when SDL
// lists it (or takes any size), else the largest 16:9 mode it lists, else its
// largest; false when it lists none. `modes` is SDL_ListModes' answer
// (null, (SDL_Rect**)-1 or a null-terminated list, largest first).
bool chooseFullscreenMode(int desktopWidth, int desktopHeight, SDL_Rect** modes, int* width,
                          int* height);

// Where the strip goes on a screen: its full width, the window's shape, with
// an even height (1920 x 178 on 1920 x 1080), centred with an even margin
// above it. The rectangle is in GL's viewport terms (y from the bottom).
struct StripPlace {
  int x, y, width, height;
};
StripPlace stripPlaceOn(int screenWidth, int screenHeight);

// Switches the player between full screen (the mode chooseFullscreenMode
// picks for the desktop, the cursor hidden, the strip drawn at the screen's
// width centred on black) and the kWindowWidth x kWindowHeight window. The GL
// context, with its programs and textures, carries over. False with one line
// on stderr when SDL refuses the mode, or in `failure` (without the "playing
// in the window" that stderr gets) when that is given; the window is then
// kept or reopened. Needs initVideo(); the desktop's size is read at the first call.
bool setFullscreen(bool on, std::string* failure = nullptr);
// Where the strip is drawn now: the whole window, or its place on the screen.
StripPlace shownStrip();

// Makes F and Alt+Enter toggle full screen and Alt+F4 end the run in
// playFrame() (the full-screen run; off by default).
void enableFullscreenKeys(bool on);

// Makes playFrame() draw each frame n times wider and higher into an
// offscreen framebuffer and reduce it into the strip (drawSupersampled);
// 1, the default, draws it once straight into the strip.
void setSupersampling(int n);
// The frame as playFrame() shows it: drawFrame(), supersampled as set. A
// context that cannot supersample is named once on stderr and the run goes
// on drawing each frame once.
void drawShownFrame();

// The whole presentation: window, start-up, music, frame loop. Returns the
// exit status: 0; 1 when there is no window or no OpenGL 2.0; 2 for a bad
// option (parsePlayerOptions), named in one line, and for a maker's layer
// that the start-up refuses. SDL's x11 video driver is chosen unless
// SDL_VIDEODRIVER names another (preferX11Video).
// --fullscreen plays full screen (setFullscreen) with the full-screen keys,
// the large pictures when the strip is kLargePictureWidth wide or wider;
// --ssaa N sets the supersampling; the media come from --media or from
// findMediaFolder(), which is named on stderr when it is not the working
// folder. "--timeline" is refused with 2 here (the desktop's tools/player
// takes it out first).
int presentationMain(int argc, char** argv);
