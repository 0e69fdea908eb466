// The presentation's start-up pieces, its frame loop and its main function.
#pragma once

#include "gpu/shaders.h"
#include "presentation/handles.h"

#include <string>

// Where buildPrograms takes the vertex and fragment sources from: the embedded
// shaders::all unless another table of the same file names is set (a build
// of the player with other GLSL); nullptr restores the embedded one.
void setShaderTable(const shaders::Source* all, int count);

// The text buildPrograms compiles for `file` ("faded.vert", "morph.frag"):
// the set table's, else the embedded one; "" for a name of neither.
const char* shaderSource(const char* file);

struct SoundChannel;

// Start-up steps shared by the window player and the headless drivers; each
// needs a current GL context with OpenGL 2.0 (see checkGlSupport()).
void buildPrograms();   // the six programs, each made current as it is built
void loadTextures();    // GL_TEXTURE_2D on, then the ten images from the working folder
void enableBlending();  // GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA for the whole run
// The media list's music file from the working folder, played once. Returns
// its channel for drivers that move the music (null when the run is silent);
// the player ignores it.
SoundChannel* startMusic();

// buildPrograms(), loadTextures() and enableBlending(), and startMusic() too
// when `music` is given, with `mediaDir` as the working folder, since the
// media files are named relative to it; then back to the folder the process
// was in. False with one line in `error`.
bool startInMediaFolder(const std::string& mediaDir, SoundChannel** music, std::string* error);

// Makes SDL choose its x11 video driver unless SDL_VIDEODRIVER names another
// (a no-op where there is no X). Call before initVideo().
void preferX11Video();

// SDL_Init for video; false with one line on stderr naming the display.
bool initVideo();

// The kWindowWidth × kWindowHeight OpenGL window, or `scale` times as large
// (the programs fill any viewport), with `extraHeight` more rows below for a
// driver's own controls; false with SDL's reason on stderr. Needs initVideo().
bool openWindow(int scale = 1, int extraHeight = 0);

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
