// setBestFullscreenMode with SDL's X11 driver under Xvfb and its dummy driver.
#include "imaging/display.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

SDL_Rect** answerNone(SDL_PixelFormat*, Uint32) { return nullptr; }
SDL_Rect** answerAny(SDL_PixelFormat*, Uint32) { return reinterpret_cast<SDL_Rect**>(-1); }

SDL_Rect kLarge = {0, 0, 1024, 768};
SDL_Rect kSmall = {0, 0, 640, 480};
SDL_Rect* kTwoModes[] = {&kLarge, &kSmall, nullptr};
SDL_Rect** answerTwo(SDL_PixelFormat*, Uint32) { return kTwoModes; }

constexpr Uint32 kFullscreenGl = SDL_FULLSCREEN | SDL_OPENGL;

class FullscreenMode : public ::testing::Test {
 protected:
  void TearDown() override {
    setFullscreenModeQuery(nullptr);
    SDL_Quit();
  }
  // Starts SDL video afresh with `driver`. Connecting to Xvfb fails now and
  // then on a loaded machine (XOpenDisplay gives null, SDL says "Couldn't
  // open X11 display"), so a few tries are allowed.
  static bool startVideo(const char* driver) {
    SDL_Quit();
    setenv("SDL_VIDEODRIVER", driver, 1);
    for (int attempt = 0; attempt < 20; ++attempt) {
      if (SDL_Init(SDL_INIT_VIDEO) == 0) return true;
      SDL_Delay(50);
    }
    ADD_FAILURE() << "SDL video with " << driver << ": " << SDL_GetError();
    return false;
  }
};

}  // namespace

TEST_F(FullscreenMode, NoParticularModeChangesNothing) {
  struct Case {
    const char* name;
    const char* driver;
    SDL_Rect** (*query)(SDL_PixelFormat*, Uint32);
  };
  const Case cases[] = {
      {"dummy driver: any size fits", "dummy", SDL_ListModes},
      {"X11, no mode fits", "x11", answerNone},
      {"X11, any size fits", "x11", answerAny},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(startVideo(c.driver));
    setFullscreenModeQuery(c.query);
    if (c.query == SDL_ListModes) {
      ASSERT_EQ(SDL_ListModes(nullptr, kFullscreenGl), reinterpret_cast<SDL_Rect**>(-1));
    }
    int width = 1234;
    int height = 5678;
    EXPECT_EQ(setBestFullscreenMode(&width, &height), 0);
    EXPECT_EQ(width, 1234);
    EXPECT_EQ(height, 5678);
    EXPECT_EQ(SDL_GetVideoSurface(), nullptr) << "a mode was set";
    EXPECT_EQ(setBestFullscreenMode(nullptr, nullptr), 0);
    setFullscreenModeQuery(nullptr);
  }
}

TEST_F(FullscreenMode, SwitchesToTheFirstListedMode) {
  struct Case {
    const char* name;
    SDL_Rect** (*query)(SDL_PixelFormat*, Uint32);
    bool giveWidth, giveHeight;
  };
  const Case cases[] = {
      {"Xvfb's own list", SDL_ListModes, true, true},  {"first of two", answerTwo, true, true},
      {"no width wanted", SDL_ListModes, false, true}, {"no height wanted", answerTwo, true, false},
      {"neither wanted", SDL_ListModes, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(startVideo("x11"));
    SDL_Rect** modes = c.query(nullptr, kFullscreenGl);
    ASSERT_TRUE(modes != nullptr && modes != reinterpret_cast<SDL_Rect**>(-1));
    const int firstW = modes[0]->w;
    const int firstH = modes[0]->h;
    setFullscreenModeQuery(c.query);

    int width = -1;
    int height = -1;
    ASSERT_EQ(
        setBestFullscreenMode(c.giveWidth ? &width : nullptr, c.giveHeight ? &height : nullptr), 0)
        << SDL_GetError();
    EXPECT_EQ(width, c.giveWidth ? firstW : -1);
    EXPECT_EQ(height, c.giveHeight ? firstH : -1);
    SDL_Surface* screen = SDL_GetVideoSurface();
    ASSERT_NE(screen, nullptr);
    EXPECT_EQ(screen->w, firstW);
    EXPECT_EQ(screen->h, firstH);
    EXPECT_EQ(screen->flags & kFullscreenGl, kFullscreenGl);
    setFullscreenModeQuery(nullptr);
  }
}

TEST_F(FullscreenMode, FailedSwitchKeepsTheSizeItStored) {
  ASSERT_TRUE(startVideo("x11"));
  SDL_Rect** modes = SDL_ListModes(nullptr, kFullscreenGl);
  ASSERT_TRUE(modes != nullptr && modes != reinterpret_cast<SDL_Rect**>(-1));
  // No GLX visual offers 64 samples, so SDL_SetVideoMode has to refuse.
  SDL_GL_SetAttribute(SDL_GL_MULTISAMPLEBUFFERS, 1);
  SDL_GL_SetAttribute(SDL_GL_MULTISAMPLESAMPLES, 64);
  int width = 0;
  int height = 0;
  EXPECT_EQ(setBestFullscreenMode(&width, &height), -1);
  EXPECT_EQ(width, modes[0]->w);
  EXPECT_EQ(height, modes[0]->h);
  EXPECT_EQ(SDL_GetVideoSurface(), nullptr);
}
