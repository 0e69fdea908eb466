// Start-up and frame loop of the presentation.
#include "presentation/demo.h"

#include "gpu/program.h"
#include "gpu/shaders.h"
#include "gpu/gl_entry_points.h"
#include "imaging/texture.h"
#include "platform/sound.h"
#include "presentation/clock.h"
#include "presentation/layers.h"
#include "presentation/window.h"

#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

struct ProgramSlot {
  GLuint* handle;
  const char* fragmentSource;
  const char* name;
};

GLuint buildAndUse(const char* fragmentSource, const char* name) {
  GLuint program = buildProgram(shaders::vertex, fragmentSource, name);
  GlEntryPoints.glUseProgram(program);
  return program;
}

}  // namespace

void buildPrograms() {
  const ProgramSlot programs[] = {
      {&morphProgram, shaders::morph, "morph"},
      {&imageWarpProgram, shaders::imageWarp, "image warp"},
      {&plasmaProgram, shaders::plasma, "plasma"},
      {&starfieldProgram, shaders::starfield, "starfield"},
      {&overlayProgram, shaders::overlay, "overlay"},
      {&scrollerProgram, shaders::scroller, "scroller"},
  };
  for (const ProgramSlot& p : programs) *p.handle = buildAndUse(p.fragmentSource, p.name);
}

void loadTextures() {
  glEnable(GL_TEXTURE_2D);
  // A file that cannot be loaded leaves its handle at 0, and its layer binds
  // texture 0. Untouched, that texture samples as opaque black and would hide
  // every layer beneath; one transparent texel makes such a layer invisible.
  // OpenGL ES and WebGL have no texture object 0 to hold the texel, so there
  // the pictures that failed share a real 1 x 1 texture instead.
  const char* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
  GLuint fallback = 0;
  if (version && std::strncmp(version, "OpenGL ES", 9) == 0) glGenTextures(1, &fallback);
  const GLubyte transparent[4] = {0, 0, 0, 0};
  glBindTexture(GL_TEXTURE_2D, fallback);
  glTexImage2D(GL_TEXTURE_2D, 0, 4, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, transparent);
  if (fallback) glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
#define DEMO_LOAD_TEXTURE(id, file, handle, role) \
  handle = loadTexture(file, false);              \
  if (!handle) handle = fallback;
  DEMO_TEXTURE_LIST(DEMO_LOAD_TEXTURE)
#undef DEMO_LOAD_TEXTURE
}

void enableBlending() {
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
}

void startMusic() {
  // The handles live as long as the process; the music plays out by itself
  // and the timeline never asks where it is.
  static SoundSystem* system = nullptr;
  static Sound* music = nullptr;
  static SoundChannel* channel = nullptr;
  soundSystemCreate(&system);
  soundSystemSetOutput(system, kSoundOutputDefault);
  soundSystemInit(system, 10, 0, nullptr);
  soundSystemCreateStream(system, mediaName(MediaId::music),
                          kSoundLoopOff | kSound2d | kSoundSoftware | kSoundCreateSample |
                              kSoundAccurateTime | kSoundUnique,
                          nullptr, &music);
  soundSystemPlaySound(system, kSoundChannelFree, music, false, &channel);
}

bool playFrame() {
  if (!(demoTime() < kEndTime)) return false;
  // SDL 1.2 queues at most 128 events, so this holds all it can have pending.
  SDL_Event events[128];
  bool quit = false;
  // Fetch the window system's events once, then take the whole queue in
  // one call. Polling until the queue is empty (every poll fetches again)
  // never ends while events keep arriving faster than they are read; what
  // arrives after this point waits for the next frame.
  SDL_PumpEvents();
  const int count = SDL_PeepEvents(events, 128, SDL_GETEVENT, SDL_ALLEVENTS);
  for (int i = 0; i < count; ++i) {
    if ((events[i].type == SDL_KEYDOWN && events[i].key.keysym.sym == SDLK_ESCAPE) ||
        events[i].type == SDL_QUIT) {
      quit = true;
    }
  }
  drawFrame();
  SDL_GL_SwapBuffers();
  return !quit;
}

int runFrameLoop() {
  while (playFrame()) {
  }
  return 0;
}

bool initVideo() {
  if (SDL_Init(SDL_INIT_VIDEO) == 0) return true;
  // SDL's reason is a bare "No available video device" when there is no
  // display, so the display asked for is named beside it.
  const char* display = std::getenv("DISPLAY");
  const std::string asked =
      display && *display ? "DISPLAY is \"" + std::string(display) + "\"" : "DISPLAY is not set";
  std::fprintf(stderr, "cannot open the %dx%d OpenGL window: %s (%s)\n", kWindowWidth,
               kWindowHeight, SDL_GetError(), asked.c_str());
  return false;
}

bool openWindow() {
  if (SDL_SetVideoMode(kWindowWidth, kWindowHeight, kWindowDepth, SDL_OPENGL | SDL_DOUBLEBUF)) {
    return true;
  }
  std::fprintf(stderr, "cannot open the %dx%d OpenGL window: %s\n", kWindowWidth, kWindowHeight,
               SDL_GetError());
  return false;
}

int presentationMain(int, char**) {
  if (!initVideo()) return 1;
  std::atexit(SDL_Quit);
  if (!openWindow()) return 1;
  // Building a program on a context older than 2.0 crashes some drivers, and
  // a missing entry point would be called through null.
  if (!checkGlSupport()) return 1;
  buildPrograms();
  loadTextures();
  enableBlending();
  startMusic();
  return runFrameLoop();
}
