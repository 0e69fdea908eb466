// Start-up and frame loop of the presentation.
#include "presentation/demo.h"

#include "gpu/gl_entry_points.h"
#include "gpu/program.h"
#include "gpu/shaders.h"
#include "imaging/texture.h"
#include "platform/sound.h"
#include "platform/stderr_capture.h"
#include "platform/x_errors.h"
#include "presentation/clock.h"
#include "presentation/layers.h"
#include "presentation/window.h"

#include <SDL.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

GLuint buildAndUse(const char* vertexSource, const char* fragmentSource, const char* name) {
  GLuint program = buildProgram(vertexSource, fragmentSource, name);
  GlEntryPoints.glUseProgram(program);
  return program;
}

const shaders::Source* shaderTable = nullptr;
int shaderTableCount = 0;

const char* findSource(const shaders::Source* all, int count, const char* file) {
  for (int i = 0; i < count; ++i) {
    if (std::strcmp(all[i].file, file) == 0) return all[i].text;
  }
  return nullptr;
}

}  // namespace

void setShaderTable(const shaders::Source* all, int count) {
  shaderTable = all;
  shaderTableCount = all ? count : 0;
}

const char* shaderSource(const char* file) {
  if (const char* text = findSource(shaderTable, shaderTableCount, file)) return text;
  const char* embedded = findSource(shaders::all, shaders::count, file);
  return embedded ? embedded : "";
}

void buildPrograms() {
  // morphProgram from faded.vert and morph.frag as "morph", imageWarpProgram
  // from faded.vert and image_warp.frag as "image warp", ... in the shader
  // list's order.
#define DEMO_BUILD_PROGRAM(ident, label, file, vertexIdent, vertexFile) \
  ident##Program = buildAndUse(shaderSource(vertexFile), shaderSource(file), label);
  SHADERS_FRAGMENT_LIST(DEMO_BUILD_PROGRAM)
#undef DEMO_BUILD_PROGRAM
}

void loadTextures() {
  glEnable(GL_TEXTURE_2D);
  // A file that cannot be loaded leaves its handle at 0, and its layer binds
  // texture 0. Untouched, that texture samples as opaque black and would hide
  // every layer beneath; one transparent texel makes such a layer invisible.
  // OpenGL ES and WebGL have no texture object 0 to hold the texel, so there
  // the pictures that failed share a real 1 x 1 texture instead.
  const char* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
  int major = 0, minor = 0;
  bool es = false;
  GLuint fallback = 0;
  if (parseGlVersion(version, &major, &minor, &es) && es) glGenTextures(1, &fallback);
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

SoundChannel* startMusic() {
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
  return channel;
}

bool startInMediaFolder(const std::string& mediaDir, SoundChannel** music, std::string* error) {
  char previous[PATH_MAX];
  if (!getcwd(previous, sizeof previous)) {
    *error = std::string("cannot read the working folder: ") + std::strerror(errno);
    return false;
  }
  if (chdir(mediaDir.c_str()) != 0) {
    *error = "cannot open the media folder \"" + mediaDir + "\": " + std::strerror(errno);
    return false;
  }
  buildPrograms();
  loadTextures();
  enableBlending();
  // The stream keeps an absolute path, so it may be opened again from anywhere.
  if (music) *music = startMusic();
  if (chdir(previous) != 0) {
    *error = std::string("cannot return to the working folder: ") + std::strerror(errno);
    return false;
  }
  return true;
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
  // display or no such driver, so what was asked for is named beside it:
  // the driver when it is not x11, otherwise the display.
  const char* driver = std::getenv("SDL_VIDEODRIVER");
  const char* display = std::getenv("DISPLAY");
  const std::string asked = driver && *driver && std::string(driver) != "x11"
                                ? "SDL_VIDEODRIVER is \"" + std::string(driver) + "\""
                            : display && *display ? "DISPLAY is \"" + std::string(display) + "\""
                                                  : "DISPLAY is not set";
  std::fprintf(stderr, "cannot open the %dx%d OpenGL window: %s (%s)\n", kWindowWidth,
               kWindowHeight, SDL_GetError(), asked.c_str());
  return false;
}

bool openWindow(int scale, int extraHeight) {
  const int width = kWindowWidth * scale, height = kWindowHeight * scale + extraHeight;
  // A GL context the X server refuses (indirect GLX, a driver that does not
  // load) reaches Xlib's default error handler, which prints six lines and
  // ends the process, and libGL prints its own lines first. Both are caught
  // while the window opens and folded into one line.
  SDL_Surface* window = nullptr;
  std::string xError;
  const std::string driverMessage = lastStderrLineOf([&] {
    xError = firstXErrorDuring([&] {
      window = SDL_SetVideoMode(width, height, kWindowDepth, SDL_OPENGL | SDL_DOUBLEBUF);
    });
  });
  if (window) return true;
  std::string reason = SDL_GetError();
  if (!xError.empty()) reason += "; X error: " + xError;
  if (!driverMessage.empty()) reason += " (" + driverMessage + ")";
  std::fprintf(stderr, "cannot open the %dx%d OpenGL window: %s\n", width, height, reason.c_str());
  return false;
}

void preferX11Video() {
#if defined(__unix__) && !defined(__APPLE__) && !defined(__EMSCRIPTEN__)
  // The window needs OpenGL, which of SDL's video drivers here only x11
  // gives. Left to choose, SDL falls through to its text-mode drivers when
  // there is no X display: they take over the terminal, fail the OpenGL
  // window anyway, and with an unknown terminal end the process from inside
  // SDL_Init. A driver the user names still wins.
  setenv("SDL_VIDEODRIVER", "x11", 0);
#endif
}

int presentationMain(int, char**) {
  preferX11Video();
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
