// The window player: SDL's window, the shared event pump, the frame loop.
#include "presentation/player.h"

#include "gpu/supersample.h"
#include "platform/executable_folder.h"
#include "platform/start_failure.h"
#include "platform/stderr_capture.h"
#include "platform/x_errors.h"
#include "presentation/clock.h"
#include "presentation/layers.h"
#include "presentation/maker_layers.h"
#include "presentation/music.h"
#include "presentation/player_options.h"
#include "presentation/window.h"

#include <GL/gl.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// The desktop's size and colour depth as SDL reports them before the first mode is set.
int desktopWidth = 0, desktopHeight = 0, desktopDepth = 0;
bool fullscreenNow = false;
bool fullscreenKeys = false;
StripPlace strip = {0, 0, kWindowWidth, kWindowHeight};
int supersampling = 1;

constexpr Uint32 kWindowFlags = SDL_OPENGL | SDL_DOUBLEBUF;

bool isSixteenByNine(const SDL_Rect& mode) { return mode.w * 9 == mode.h * 16; }

// The window again after full screen, with the cursor back.
bool showWindow() {
  if (!SDL_SetVideoMode(kWindowWidth, kWindowHeight, kWindowDepth, kWindowFlags)) {
    std::fprintf(stderr, "cannot leave full screen: %s\n", SDL_GetError());
    return false;
  }
  strip = {0, 0, kWindowWidth, kWindowHeight};
  glViewport(0, 0, kWindowWidth, kWindowHeight);
  SDL_ShowCursor(SDL_ENABLE);
  fullscreenNow = false;
  return true;
}

}  // namespace

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
  const FrameEvents frame = takeFrameEvents();
  bool quit = frame.quit;
  if (fullscreenKeys) {
    // F or Alt+Enter toggles full screen (Alt+F4 is a quit, taken above).
    bool toggle = false;
    for (int i = 0; i < frame.eventCount; ++i) {
      const SDL_Event& e = frame.events[i];
      if (e.type != SDL_KEYDOWN) continue;
      const bool alt = (e.key.keysym.mod & KMOD_ALT) != 0;
      const bool bare = (e.key.keysym.mod & (KMOD_CTRL | KMOD_ALT | KMOD_META)) == 0;
      if ((e.key.keysym.sym == SDLK_f && bare) || (e.key.keysym.sym == SDLK_RETURN && alt)) {
        toggle = !toggle;
      }
    }
    if (toggle && !quit) setFullscreen(!fullscreenNow);
  }
  drawShownFrame();
  SDL_GL_SwapBuffers();
  return !quit;
}

int runFrameLoop() {
  while (playFrame()) {
  }
  return 0;
}

bool initVideo(std::string* error) {
  if (SDL_Init(SDL_INIT_VIDEO) == 0) {
    // Before the first mode is set SDL reports the desktop's own size.
    const SDL_VideoInfo* info = SDL_GetVideoInfo();
    if (info && desktopWidth == 0) {
      desktopWidth = info->current_w;
      desktopHeight = info->current_h;
      desktopDepth = info->vfmt ? info->vfmt->BitsPerPixel : 0;
    }
    return true;
  }
  // SDL's reason is a bare "No available video device" when there is no
  // display or no such driver, so what was asked for is named beside it:
  // the driver when it is not x11, otherwise the display.
  const char* driver = std::getenv("SDL_VIDEODRIVER");
  const char* display = std::getenv("DISPLAY");
  const std::string asked = driver && *driver && std::string(driver) != "x11"
                                ? "SDL_VIDEODRIVER is \"" + std::string(driver) + "\""
                            : display && *display ? "DISPLAY is \"" + std::string(display) + "\""
                                                  : "DISPLAY is not set";
  *error = "cannot open the " + std::to_string(kWindowWidth) + "x" + std::to_string(kWindowHeight) +
           " OpenGL window: " + SDL_GetError() + " (" + asked + ")";
  return false;
}

namespace {

// SDL_SetVideoMode for an OpenGL surface; null with the reason in `reason`.
// A GL context the X server refuses (indirect GLX, a driver that does not
// load) reaches Xlib's default error handler, which prints six lines and
// ends the process, and libGL prints its own lines first. Both are caught
// while the mode is set and folded into the reason.
SDL_Surface* setGlVideoMode(int width, int height, Uint32 flags, std::string* reason) {
  SDL_Surface* surface = nullptr;
  std::string xError;
  const std::string driverMessage = lastStderrLineOf([&] {
    xError =
        firstXErrorDuring([&] { surface = SDL_SetVideoMode(width, height, kWindowDepth, flags); });
  });
  if (surface) return surface;
  *reason = SDL_GetError();
  if (!xError.empty()) *reason += "; X error: " + xError;
  if (!driverMessage.empty()) *reason += " (" + driverMessage + ")";
  // A GL driver offers no visual for a palette display, and SDL's reason does not say so.
  if (desktopDepth > 0 && desktopDepth < 15)
    *reason += " (the display has " + std::to_string(desktopDepth) + "-bit colour)";
  return nullptr;
}

}  // namespace

bool openWindow(int scale, int extraHeight, std::string* error) {
  const int width = kWindowWidth * scale, height = kWindowHeight * scale + extraHeight;
  std::string reason;
  if (setGlVideoMode(width, height, kWindowFlags, &reason)) return true;
  *error = "cannot open the " + std::to_string(width) + "x" + std::to_string(height) +
           " OpenGL window: " + reason;
  return false;
}

bool chooseFullscreenMode(int desktopW, int desktopH, SDL_Rect** modes, int* width, int* height) {
  if (!modes) return false;
  const bool anySize = modes == reinterpret_cast<SDL_Rect**>(-1);
  bool desktopListed = anySize;
  for (int i = 0; !anySize && modes[i]; ++i) {
    desktopListed = desktopListed || (modes[i]->w == desktopW && modes[i]->h == desktopH);
  }
  if (desktopListed && desktopW > 0 && desktopH > 0) {
    *width = desktopW;
    *height = desktopH;
    return true;
  }
  if (anySize || !modes[0]) return false;
  const SDL_Rect* best = nullptr;
  for (int i = 0; modes[i]; ++i) {
    const SDL_Rect& m = *modes[i];
    if (isSixteenByNine(m) && (!best || m.w * m.h > best->w * best->h)) best = &m;
  }
  if (!best) best = modes[0];
  *width = best->w;
  *height = best->h;
  return true;
}

StripPlace stripPlaceOn(int screenWidth, int screenHeight) {
  const double aspect = static_cast<double>(kWindowWidth) / kWindowHeight;
  int width = screenWidth;
  int height = 2 * static_cast<int>(std::lround(screenWidth / aspect / 2));
  if (height > screenHeight) {
    height = screenHeight - screenHeight % 2;
    width = static_cast<int>(std::lround(height * aspect));
  }
  if (height < 2) height = 2;
  // The same place as the capture's framed videos: even margins, the odd
  // pixel below and to the right.
  const int left = (screenWidth - width) / 4 * 2;
  const int top = (screenHeight - height) / 4 * 2;
  return {left, screenHeight - top - height, width, height};
}

bool setFullscreen(bool on, std::string* failure) {
  if (!on) return showWindow();
  int width = 0, height = 0;
  const auto refuse = [failure](const std::string& line) {
    if (failure) {
      *failure = line;
    } else {
      std::fprintf(stderr, "%s; playing in the window\n", line.c_str());
    }
    return false;
  };
  if (!chooseFullscreenMode(desktopWidth, desktopHeight,
                            SDL_ListModes(nullptr, SDL_FULLSCREEN | SDL_OPENGL), &width, &height)) {
    return refuse("cannot play full screen: SDL lists no full-screen mode");
  }
  std::string reason;
  SDL_Surface* screen = setGlVideoMode(width, height, kWindowFlags | SDL_FULLSCREEN, &reason);
  if (!screen) {
    if (fullscreenNow) showWindow();
    return refuse("cannot play full screen at " + std::to_string(width) + "x" +
                  std::to_string(height) + ": " + reason);
  }
  strip = stripPlaceOn(screen->w, screen->h);
  // drawFrame clears the whole screen to black; the programs fill the viewport.
  glViewport(strip.x, strip.y, strip.width, strip.height);
  SDL_ShowCursor(SDL_DISABLE);
  fullscreenNow = true;
  return true;
}

StripPlace shownStrip() { return strip; }

void enableFullscreenKeys(bool on) { fullscreenKeys = on; }

void setSupersampling(int n) { supersampling = n; }

void drawShownFrame() {
  std::string error;
  if (supersampling > 1 && !drawSupersampled(supersampling, strip.x, strip.y, strip.width,
                                             strip.height, drawFrame, &error)) {
    std::fprintf(stderr, "cannot draw --ssaa %d: %s; drawing each frame once\n", supersampling,
                 error.c_str());
    supersampling = 1;
  }
  if (supersampling == 1) drawFrame();
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
  startup.openContext = [scale, extraHeight](std::string* error) {
    if (!initVideo(error)) return false;
    std::atexit(SDL_Quit);
    return openWindow(scale, extraHeight, error);
  };
  startup.mediaDir = mediaDir;
  startup.startMusic = startMusic;
  return startup;
}

namespace {

// One line for a full screen and a window that both failed: "cannot play
// full screen at WxH or open the 960x89 OpenGL window: REASON" when SDL gave
// both the same reason, else both lines joined.
std::string neitherOpens(const std::string& fullscreen, const std::string& window) {
  const size_t a = fullscreen.find(": "), b = window.find(": ");
  const std::string cannot = "cannot ";
  if (a != std::string::npos && b != std::string::npos && window.rfind(cannot, 0) == 0 &&
      fullscreen.compare(a, std::string::npos, window, b, std::string::npos) == 0) {
    return fullscreen.substr(0, a) + " or " + window.substr(cannot.size());
  }
  return fullscreen + "; " + window;
}

}  // namespace

int presentationMain(int argc, char** argv) {
  // The desktop player takes --timeline out before it gets here
  // (tools/player); this build (the Windows one) plays the built-in show only.
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--timeline") == 0) {
      std::fprintf(stderr, "--timeline is not offered here: this player plays the built-in show\n");
      return 2;
    }
  }
  PlayerOptions options;
  std::string error;
  if (!parsePlayerOptions(argc, argv, &options, &error)) {
    std::fprintf(stderr, "demo: %s\n", error.c_str());
    return 2;
  }
  if (options.help) {
    std::printf("%s", kPlayerUsage);
    return 0;
  }
  const bool found = options.mediaDir.empty();
  if (found) options.mediaDir = findMediaFolder(executableFolder());
  preferX11Video();
  Startup startup = windowStartup(options.mediaDir);
  startup.startMusic = startMusicInStep;
  setSupersampling(options.ssaa);
  if (options.fullscreen) {
    // Full screen opens SDL first, so that the strip's width (and with it
    // the pictures to load) is known before the start-up; the demo clock
    // starts at SDL_Init either way.
    if (!initVideo(&error)) {
      std::fprintf(stderr, "%s\n", error.c_str());
      showStartFailure(error);
      return 1;
    }
    std::atexit(SDL_Quit);
    // Full screen falls back to the window, which is said only once it is
    // open; when neither opens, one line names both.
    std::string fullscreenFailure;
    const bool shown = setFullscreen(true, &fullscreenFailure);
    startup.largePictures = shown && usesLargePictures(strip.width);
    startup.openContext = [shown, fullscreenFailure](std::string* reason) {
      std::string windowFailure;
      if (shown) return true;
      if (openWindow(1, 0, &windowFailure)) {
        std::fprintf(stderr, "%s; playing in the window\n", fullscreenFailure.c_str());
        return true;
      }
      *reason = neitherOpens(fullscreenFailure, windowFailure);
      return false;
    };
    enableFullscreenKeys(true);
  }
  if (!startPresentation(startup, nullptr, &error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    showStartFailure(error);
    return makerLayersRefused() ? 2 : 1;
  }
  if (found && !options.mediaDir.empty()) {
    std::fprintf(stderr, "playing the media in \"%s\"\n", options.mediaDir.c_str());
  }
  return runFrameLoop();
}
