// The frame loop under an event storm: another X client floods the window
// with thousands of events per frame; the loop must drain them and keep
// drawing. The frame rates with and without the storm are printed, not
// judged: on a shared machine their ratio says more about the load than
// about the loop.
#include "gpu/program.h"
#include "presentation/clock.h"
#include "presentation/player.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

// Xlib's None and Bool macros clash with GoogleTest's names, so it comes last.
#include <SDL.h>
#include <SDL_syswm.h>
#include <X11/Xlib.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

namespace {

const Uint32 kMeasureMs = 4000;

// Frames a second of the window player's frame step, at 50 s on the bumpy
// bar (so every frame costs the same, and about as much as the heaviest
// frames of the run), counting only the frames that went on.
double framesPerSecond() {
  setDemoTime(50.0f);
  long frames = 0;
  const Uint32 start = SDL_GetTicks();
  while (SDL_GetTicks() - start < kMeasureMs) {
    if (playFrame()) ++frames;
  }
  useSdlClock();
  return static_cast<double>(frames) / (kMeasureMs / 1000.0);
}

}  // namespace

TEST(EventStorm, DrainingThousandsOfEventsKeepsDrawing) {
  // The textures come from the media folder, as the player opens them
  // (`make soak` names the release build's media: this build makes none).
  const char* media = std::getenv("DEMO_MEDIA_DIR");
  Startup startup;
  startup.openContext = [](std::string*) { return testing_support::openPresentationWindow(); };
  startup.mediaDir = media ? media : testing_support::kGeneratedMedia;
  std::string error;
  ASSERT_TRUE(startPresentation(startup, nullptr, &error)) << error;
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  ASSERT_EQ(SDL_GetWMInfo(&info), 1);
  const Window window = info.info.x11.window;

  const double quiet = framesPerSecond();

  // Two sources at once: another X client sending pointer motion to the
  // window at a steady 100 000 events a second, as a flooding input device
  // would, and a thread refilling SDL's queue every millisecond. Both leave
  // the CPU mostly to the frame loop, whose rate is what is measured.
  std::atomic<bool> stop{false};
  std::atomic<long> sent{0};
  std::thread xStorm([&] {
    Display* d = XOpenDisplay(nullptr);
    if (!d) return;
    XEvent e{};
    e.xmotion.type = MotionNotify;
    e.xmotion.window = window;
    e.xmotion.same_screen = True;
    while (!stop) {
      for (int i = 0; i < 1000; ++i) {
        e.xmotion.x = i % 960;
        e.xmotion.y = i % 89;
        XSendEvent(d, window, False, PointerMotionMask, &e);
      }
      XFlush(d);
      sent += 1000;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    XCloseDisplay(d);
  });
  std::thread pushStorm([&] {
    SDL_Event e{};
    e.type = SDL_USEREVENT;
    while (!stop) {
      // SDL's queue holds 128; refill it every millisecond.
      for (int i = 0; i < 128; ++i) {
        if (SDL_PushEvent(&e) == 0) ++sent;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  });
  const double stormy = framesPerSecond();
  stop = true;
  xStorm.join();
  pushStorm.join();
  SDL_Quit();

  const double frames = stormy * (kMeasureMs / 1000.0);
  const double perFrame = frames > 0 ? static_cast<double>(sent.load()) / frames : 0.0;
  std::printf(
      "frame rate: %.2f fps quiet, %.2f fps under %ld events (%.0f per frame); ratio %.2f\n", quiet,
      stormy, sent.load(), perFrame, stormy / quiet);
  EXPECT_GT(perFrame, 1000.0) << "the storm should bring thousands per frame";
  EXPECT_GT(stormy, 0.0) << "the loop should keep drawing under the storm";
}
