// The presentation's frame loop in a real SDL window (under Xvfb), with the
// demo time set by the test and events pushed into SDL's queue.
#include "gpu/program.h"
#include "presentation/clock.h"
#include "presentation/media.h"
#include "presentation/player.h"
#include "tests/support/test_support.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace testing_support;

namespace {

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
    // The presentation's start-up in a folder without media: every texture
    // is 0 and each missing file is named once.
    Startup startup;
    startup.openContext = [](std::string*) { return openPresentationWindow(); };
    startup.mediaDir = makeTempDir();
    bool started = false;
    std::string error;
    std::string log = captureStderr([&] { started = startPresentation(startup, nullptr, &error); });
    ASSERT_TRUE(started) << error << log;
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

// Each case's events are pushed and taken by the pump, which reports the
// key-downs in order, then pushed again for one frame at 10 s, which drains
// the queue and ends the run only on a quit request.
TEST_F(FrameLoop, EachFrameTakesItsEventsAndEndsOnQuitRequests) {
  struct Case {
    const char* name;
    std::vector<SDL_Event> events;
    bool quits;
    std::vector<SDLKey> keys;
  } cases[] = {
      {"Esc key-down", {keyEvent(SDL_KEYDOWN, SDLK_ESCAPE)}, true, {SDLK_ESCAPE}},
      {"Esc with Shift", {keyEvent(SDL_KEYDOWN, SDLK_ESCAPE, KMOD_LSHIFT)}, true, {SDLK_ESCAPE}},
      {"Esc with Ctrl and Alt",
       {keyEvent(SDL_KEYDOWN, SDLK_ESCAPE, SDLMod(KMOD_LCTRL | KMOD_RALT))},
       true,
       {SDLK_ESCAPE}},
      {"window close", {plainEvent(SDL_QUIT)}, true, {}},
      {"Esc pressed and released in one frame",
       {keyEvent(SDL_KEYDOWN, SDLK_ESCAPE), keyEvent(SDL_KEYUP, SDLK_ESCAPE)},
       true,
       {SDLK_ESCAPE}},
      {"quit among other events",
       {plainEvent(SDL_MOUSEBUTTONDOWN), keyEvent(SDL_KEYDOWN, SDLK_SPACE), plainEvent(SDL_QUIT),
        keyEvent(SDL_KEYUP, SDLK_SPACE), plainEvent(SDL_ACTIVEEVENT)},
       true,
       {SDLK_SPACE}},
      {"Esc key-up alone", {keyEvent(SDL_KEYUP, SDLK_ESCAPE)}, false, {}},
      {"other keys and the mouse",
       {keyEvent(SDL_KEYDOWN, SDLK_q), keyEvent(SDL_KEYDOWN, SDLK_RETURN),
        plainEvent(SDL_MOUSEMOTION), plainEvent(SDL_ACTIVEEVENT)},
       false,
       {SDLK_q, SDLK_RETURN}},
      {"no events", {}, false, {}},
  };
  setDemoTime(10);
  for (Case& c : cases) {
    SCOPED_TRACE(c.name);
    for (SDL_Event& e : c.events) ASSERT_EQ(SDL_PushEvent(&e), 0);
    const FrameEvents taken = takeFrameEvents();
    EXPECT_EQ(taken.quit, c.quits);
    EXPECT_EQ(std::vector<SDLKey>(taken.keys, taken.keys + taken.keyCount), c.keys);
    for (SDL_Event& e : c.events) ASSERT_EQ(SDL_PushEvent(&e), 0);
    EXPECT_EQ(playFrame(), !c.quits);
    EXPECT_EQ(pendingEvents(), 0) << "every event of the frame is drained";
  }
  useSdlClock();
}

// The run ends at the first frame whose time is not below 130 s, before its
// events are read; 129 999 ms still draws, 130 000 ms reads 130.0000062.
TEST_F(FrameLoop, TimeUpEndsTheRunBeforeEventsAreRead) {
  setDemoTime(129999u * 0.001f);
  EXPECT_TRUE(playFrame()) << "the frame at 129.999 s is drawn";
  SDL_Event esc = keyEvent(SDL_KEYDOWN, SDLK_ESCAPE);
  ASSERT_EQ(SDL_PushEvent(&esc), 0);
  setDemoTime(130000u * 0.001f);
  EXPECT_EQ(runFrameLoop(), 0);
  EXPECT_EQ(pendingEvents(), 1);
  useSdlClock();
}
