// The presentation's one start-up, shared by every driver, and the seam that
// chooses the GLSL it builds.
#pragma once

#include "gpu/shaders.h"
#include "presentation/handles.h"

#include <functional>
#include <string>

// Where buildPrograms takes the vertex and fragment sources from: the embedded
// shaders::all unless another table of the same file names is set (a build
// of the player with other GLSL); nullptr restores the embedded one.
void setShaderTable(const shaders::Source* all, int count);

// The text buildPrograms compiles for `file` ("faded.vert", "morph.frag"):
// the set table's, else the embedded one; "" for a name of neither.
const char* shaderSource(const char* file);

struct SoundChannel;

// The steps of the start-up; each needs a current GL context with OpenGL 2.0
// (see checkGlSupport()).
void buildPrograms();  // the six programs, each made current as it is built
// GL_TEXTURE_2D on, then the ten images from the working folder; `large`
// takes each from DEMO_LARGE_PICTURE_FOLDER instead, and the window-sized file
// where that one cannot be loaded.
void loadTextures(bool large);
void enableBlending();  // GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA for the whole run

// What a driver asks of the start-up.
struct Startup {
  // Opens the GL context and makes it current: the SDL window (openWindow)
  // or a headless one. False when it cannot, with one line in `error`.
  std::function<bool(std::string* error)> openContext;
  // The folder the media files are read from ("": the working folder); the
  // process returns to its working folder afterwards.
  std::string mediaDir;
  // Whether the strip is drawn kLargePictureWidth wide or wider, so the large
  // pictures are loaded (see media.h).
  bool largePictures = false;
  // Starts the media list's music and returns its channel (startMusic);
  // null for a silent run.
  SoundChannel* (*startMusic)() = nullptr;
  // The programs to build in buildPrograms' place (the benchmark's literal set).
  void (*buildPrograms)() = nullptr;
  // Called after each step with its name ("checkGlSupport", "buildPrograms",
  // "loadTextures", "enableBlending", "startMusic"), for drivers that time them.
  std::function<void(const char* step)> stepDone;
};

// The one start-up: opens the context, checks OpenGL 2.0, then in the media
// folder builds the programs, loads the textures, enables blending and starts
// the music. `music` (optional) receives the music's channel, null when the
// run is silent. False when a step failed, with one line in `error` for the
// driver to print.
bool startPresentation(const Startup& startup, SoundChannel** music, std::string* error);
