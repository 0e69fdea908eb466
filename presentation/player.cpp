// The window player: SDL's window, the shared event pump, the frame loop.
#include "presentation/player.h"

#include "platform/stderr_capture.h"
#include "platform/x_errors.h"
#include "presentation/clock.h"
#include "presentation/layers.h"
#include "presentation/music.h"
#include "presentation/window.h"

#include <cstdio>
#include <cstdlib>
#include <string>

FrameEvents takeFrameEvents() {
  FrameEvents frame;
  // SDL 1.2 queues at most 128 events, so this holds all it can have pending.
  SDL_Event* events = frame.events;
  // Fetch the window system's events once, then take the whole queue in
  // one call. Polling until the queue is empty (every poll fetches again)
  // never ends while events keep arriving faster than they are read; what
  // arrives after this point waits for the next frame.
  SDL_PumpEvents();
  const int count = SDL_PeepEvents(events, 128, SDL_GETEVENT, SDL_ALLEVENTS);
  frame.eventCount = count > 0 ? count : 0;
  for (int i = 0; i < count; ++i) {
    if (events[i].type == SDL_QUIT) frame.quit = true;
    if (events[i].type != SDL_KEYDOWN) continue;
    const SDLKey key = events[i].key.keysym.sym;
    if (key == SDLK_ESCAPE) frame.quit = true;
    // Alt+F4 reaches SDL 1.2's Windows window as a key, not as a close.
    if (key == SDLK_F4 && (events[i].key.keysym.mod & KMOD_ALT)) frame.quit = true;
    frame.keys[frame.keyCount++] = key;
  }
  return frame;
}

bool playFrame() {
  if (!(demoTime() < kEndTime)) return false;
  const bool quit = takeFrameEvents().quit;
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

Startup windowStartup(const std::string& mediaDir, int scale, int extraHeight) {
  Startup startup;
  startup.openContext = [scale, extraHeight](std::string*) {
    if (!initVideo()) return false;
    std::atexit(SDL_Quit);
    return openWindow(scale, extraHeight);
  };
  startup.mediaDir = mediaDir;
  startup.startMusic = startMusic;
  return startup;
}

int presentationMain(int, char**) {
  preferX11Video();
  std::string error;
  if (!startPresentation(windowStartup(), nullptr, &error)) {
    if (!error.empty()) std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  return runFrameLoop();
}
