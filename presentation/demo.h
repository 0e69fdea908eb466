// The presentation's start-up pieces, its frame loop and its main function.
#pragma once

#include <GL/gl.h>

// Program handles, set once at start-up in this order.
extern GLuint morphProgram;
extern GLuint imageWarpProgram;
extern GLuint plasmaProgram;
extern GLuint starfieldProgram;
extern GLuint overlayProgram;
extern GLuint scrollerProgram;

// Texture handles, loaded once at start-up in this order (0 when a file is missing).
extern GLuint logoTexture;
extern GLuint noiseTexture;
extern GLuint guruTextTexture;
extern GLuint guruRectTexture;
extern GLuint testhallTexture;
extern GLuint starfieldTexture;
extern GLuint oldschoolTexture;
extern GLuint spaceTexture;
extern GLuint loveTexture;
extern GLuint scrollerTexture;

// Start-up steps shared by the window player and the headless drivers; each
// needs a current GL context with OpenGL 2.0 (see checkGlSupport()).
void buildPrograms();      // the six programs, each made current as it is built
void loadTextures();       // GL_TEXTURE_2D on, then the ten images from the working folder
void enableBlending();     // GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA for the whole run
void startMusic();         // "music.ogg" from the working folder, played once

// Polls, clears, draws and swaps until the demo time reaches 130 s (returns
// 0 without drawing) or a frame saw Esc or a window close (returns 0 after
// that frame is shown). Needs SDL's window.
int runFrameLoop();

// The whole presentation: window, start-up, music, frame loop. Returns the
// exit status: 0, or 1 when there is no window or no OpenGL 2.0.
int presentationMain(int argc, char** argv);
