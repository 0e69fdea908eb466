// The presentation's frame loop in a real SDL window (under Xvfb), with the
// clock driven by the test and events pushed into SDL's queue.
#include "gpu/program.h"
#include "presentation/clock.h"
#include "presentation/demo.h"
#include "presentation/media.h"
#include "tests/support/test_support.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <unistd.h>

#include <string>
#include <vector>

using namespace testing_support;

namespace {

// A clock that reads 10 s for its first `budget` readings and 130 s after:
// a run that ends by time has used the whole budget, one that ends by a
// quit request has not.
int readings = 0;
int budget = 0;
float lastReading = 0;

float scriptedClock() {
  lastReading = ++readings <= budget ? 10.0f : 130.0f;
  return lastReading;
}

void runScripted(int readingBudget) {
  readings = 0;
  budget = readingBudget;
  setDemoClock(scriptedClock);
  EXPECT_EQ(runFrameLoop(), 0);
  setDemoClock(nullptr);
}

SDL_Event keyEvent(Uint8 type, SDLKey key, SDLMod mod = KMOD_NONE) {
  SDL_Event e{};
  e.type = type;
  e.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
  e.key.keysym.sym = key;
  e.key.keysym.mod = mod;
  return e;
}

SDL_Event plainEvent(Uint8 type) {
  SDL_Event e{};
  e.type = type;
  return e;
}

int pendingEvents() {
  SDL_PumpEvents();
  return SDL_PeepEvents(nullptr, 64, SDL_PEEKEVENT, SDL_ALLEVENTS);
}

class FrameLoop : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    ASSERT_TRUE(openPresentationWindow());
    ASSERT_TRUE(checkGlSupport());
    // Start-up as the presentation does it, in a folder without media: every
    // texture is 0 and each missing file is named once.
    std::string folder = makeTempDir();
    char previous[4096];
    ASSERT_NE(getcwd(previous, sizeof previous), nullptr);
    ASSERT_EQ(chdir(folder.c_str()), 0);
    std::string log = captureStderr([] {
      buildPrograms();
      loadTextures();
      enableBlending();
    });
    ASSERT_EQ(chdir(previous), 0);
    EXPECT_NE(log.find("cannot load \"" + std::string(mediaName(MediaId::logo)) + "\""),
              std::string::npos)
        << log;
    EXPECT_EQ(logoTexture, 0u);
    // A layer whose file is missing binds texture 0, which samples as one
    // transparent texel, so the layers beneath it still show.
    GLubyte texel[4] = {1, 1, 1, 1};
    glBindTexture(GL_TEXTURE_2D, 0);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, texel);
    EXPECT_EQ(texel[0] + texel[1] + texel[2] + texel[3], 0);
  }
  static void TearDownTestSuite() { SDL_Quit(); }
  void SetUp() override {
    SDL_Event e;
    while (SDL_PollEvent(&e)) {
    }
  }
};

}  // namespace

TEST_F(FrameLoop, QuitRequestsEndTheRunAfterTheirFrame) {
  const int kBudget = 200;
  struct Case {
    const char* name;
    std::vector<SDL_Event> events;
    bool endsByQuit;
  } cases[] = {
      {"Esc key-down", {keyEvent(SDL_KEYDOWN, SDLK_ESCAPE)}, true},
      {"Esc with Shift", {keyEvent(SDL_KEYDOWN, SDLK_ESCAPE, KMOD_LSHIFT)}, true},
      {"Esc with Ctrl and Alt",
       {keyEvent(SDL_KEYDOWN, SDLK_ESCAPE, SDLMod(KMOD_LCTRL | KMOD_RALT))},
       true},
      {"window close", {plainEvent(SDL_QUIT)}, true},
      {"Esc pressed and released in one frame",
       {keyEvent(SDL_KEYDOWN, SDLK_ESCAPE), keyEvent(SDL_KEYUP, SDLK_ESCAPE)},
       true},
      {"quit among other events",
       {plainEvent(SDL_MOUSEBUTTONDOWN), keyEvent(SDL_KEYDOWN, SDLK_SPACE), plainEvent(SDL_QUIT),
        keyEvent(SDL_KEYUP, SDLK_SPACE), plainEvent(SDL_ACTIVEEVENT)},
       true},
      {"Esc key-up alone", {keyEvent(SDL_KEYUP, SDLK_ESCAPE)}, false},
      {"other keys and the mouse",
       {keyEvent(SDL_KEYDOWN, SDLK_q), keyEvent(SDL_KEYDOWN, SDLK_RETURN),
        plainEvent(SDL_MOUSEMOTION), plainEvent(SDL_ACTIVEEVENT)},
       false},
      {"no events", {}, false},
  };
  for (Case& c : cases) {
    SCOPED_TRACE(c.name);
    for (SDL_Event& e : c.events) ASSERT_EQ(SDL_PushEvent(&e), 0);
    runScripted(kBudget);
    if (c.endsByQuit) {
      EXPECT_LT(lastReading, 130.0f) << "should end after the frame that saw the request";
      EXPECT_LT(readings, kBudget / 2) << "more than one frame was drawn";
    } else {
      EXPECT_EQ(lastReading, 130.0f) << "should run on until the time is up";
      EXPECT_GT(readings, kBudget);
    }
    EXPECT_EQ(pendingEvents(), 0) << "every event of the frame is drained";
  }
}

TEST_F(FrameLoop, TimeUpEndsTheRunBeforeEventsAreRead) {
  SDL_Event esc = keyEvent(SDL_KEYDOWN, SDLK_ESCAPE);
  ASSERT_EQ(SDL_PushEvent(&esc), 0);
  runScripted(0);
  EXPECT_EQ(readings, 1);
  EXPECT_EQ(pendingEvents(), 1);
}

TEST_F(FrameLoop, TheLastMillisecondIsStillDrawn) {
  // 129 999 ms reads below 130; 130 000 ms reads 130.0000062, which ends the run.
  EXPECT_LT(129999u * 0.001f, 130.0f);
  EXPECT_FALSE(130000u * 0.001f < 130.0f);
  struct Tick {
    static float clock() {
      ++readings;
      return (readings == 1 ? 129999u : 130000u) * 0.001f;
    }
  };
  readings = 0;
  setDemoClock(Tick::clock);
  EXPECT_EQ(runFrameLoop(), 0);
  setDemoClock(nullptr);
  EXPECT_GT(readings, 1) << "the frame at 129.999 s was drawn";
}
