// The player full screen on a 1920 x 1080 X server (the test's own Xvfb): the
// mode it picks, the band's place, its frame against the capture tool's, the
// keys, and the pictures that keep the letters sharp at that width.
#include "presentation/clock.h"
#include "presentation/layers.h"
#include "presentation/player.h"
#include "tests/support/demo_process.h"
#include "tests/support/picture.h"
#include "tests/support/test_support.h"

#include <SDL.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

using namespace testing_support;

namespace {

constexpr int kScreenWidth = 1920, kScreenHeight = 1080;
// The strip at the screen's width: 1920 x 178, rows 450 to 627 from the top.
constexpr int kBandTop = 450, kBandHeight = 178;

// A still of the capture tool at `seconds`, drawn `size` ("1920x178") large,
// `ssaa` times wider and higher before it is reduced.
Picture captureStill(double seconds, const std::string& size, int ssaa = 1) {
  const std::string out = makeTempDir() + "/still.png";
  const std::string command = std::string(DEMO_BINARY_DIR "/demo-capture --media ") +
                              kGeneratedMedia + " --size " + size + " --ssaa " +
                              std::to_string(ssaa) + " --still " + std::to_string(seconds) + " " +
                              out + " 2>/dev/null";
  Picture picture;
  if (std::system(command.c_str()) == 0) loadPicture(out, picture);
  return picture;
}

// Which rows of a screen picture hold anything but black.
std::vector<bool> litRows(const WindowPicture& screen) {
  std::vector<bool> lit(static_cast<size_t>(screen.height), false);
  for (int y = 0; y < screen.height; ++y) {
    for (int x = 0; x < screen.width * 3 && !lit[y]; ++x) {
      lit[y] = screen.rgb[static_cast<size_t>(y) * screen.width * 3 + x] != 0;
    }
  }
  return lit;
}

// Pixels whose right neighbour differs in luma by more than 64/255.
long sharpEdges(const Picture& p) {
  long edges = 0;
  for (int y = 0; y < p.h; ++y) {
    for (int x = 0; x + 1 < p.w; ++x) edges += std::abs(p.luma(x, y) - p.luma(x + 1, y)) > 64;
  }
  return edges;
}

// A folder standing in for the repository's root after `make`: its build/
// is a link to the build folder the tests run from.
std::string repositoryRootStandIn() {
  const std::string root = makeTempDir();
  if (symlink(DEMO_BINARY_DIR, (root + "/build").c_str()) != 0) return "";
  return root;
}

}  // namespace

TEST(Fullscreen, ChoosesTheDesktopModeOrTheLargestSixteenByNine) {
  SDL_Rect r1080{0, 0, 1920, 1080}, r1200{0, 0, 1920, 1200}, r720{0, 0, 1280, 720},
      r1024{0, 0, 1280, 1024};
  SDL_Rect* withDesktop[] = {&r1200, &r1080, &r1024, &r720, nullptr};
  SDL_Rect* noSixteenByNine[] = {&r1200, &r1024, nullptr};
  SDL_Rect** any = reinterpret_cast<SDL_Rect**>(-1);
  struct Case {
    const char* name;
    int desktopW, desktopH;
    SDL_Rect** modes;
    bool found;
    int w, h;
  } cases[] = {
      {"desktop listed", 1280, 1024, withDesktop, true, 1280, 1024},
      {"desktop not listed", 1600, 900, withDesktop, true, 1920, 1080},
      {"desktop unknown", 0, 0, withDesktop, true, 1920, 1080},
      {"no 16:9 mode", 1600, 900, noSixteenByNine, true, 1920, 1200},
      {"any size", 2560, 1440, any, true, 2560, 1440},
      {"no mode", 1920, 1080, nullptr, false, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    int w = 0, h = 0;
    EXPECT_EQ(chooseFullscreenMode(c.desktopW, c.desktopH, c.modes, &w, &h), c.found);
    if (!c.found) continue;
    EXPECT_EQ(w, c.w);
    EXPECT_EQ(h, c.h);
  }
}

// In this process, on the demo clock set to 2 s: the frame the player shows
// full screen is the capture's 1920 x 178 still, centred on black, and
// supersampled (--ssaa 2) the capture's supersampled still.
TEST(Fullscreen, TheBandIsTheCapturesFrameCentredOnBlack) {
  if (!generatedMediaPresent()) GTEST_SKIP() << "no media in " << kGeneratedMedia;
  std::string error;
  ASSERT_TRUE(initVideo(&error)) << error;
  ASSERT_TRUE(setFullscreen(true));
  const StripPlace place = shownStrip();
  EXPECT_EQ(place.width, kScreenWidth);
  EXPECT_EQ(place.height, kBandHeight);
  EXPECT_EQ(place.y, kScreenHeight - kBandTop - kBandHeight);
  Startup startup;
  startup.openContext = [](std::string*) { return true; };
  startup.mediaDir = kGeneratedMedia;
  startup.largePictures = true;
  ASSERT_TRUE(startPresentation(startup, nullptr, &error)) << error;
  setDemoTime(2);
  for (int ssaa : {1, 2}) {
    SCOPED_TRACE("--ssaa " + std::to_string(ssaa));
    const Picture still = captureStill(2, "1920x178", ssaa);
    ASSERT_EQ(still.w, kScreenWidth);
    setSupersampling(ssaa);
    drawShownFrame();
    const std::vector<unsigned char> shown = readPixels(0, 0, kScreenWidth, kScreenHeight);
    int worst = 0, litOutside = 0;
    for (int row = 0; row < kScreenHeight; ++row) {  // from the top
      const int glRow = kScreenHeight - 1 - row;
      const bool inBand = row >= kBandTop && row < kBandTop + kBandHeight;
      for (int x = 0; x < kScreenWidth; ++x) {
        const unsigned char* p = &shown[(static_cast<size_t>(glRow) * kScreenWidth + x) * 4];
        for (int c = 0; c < 3; ++c) {
          if (!inBand) {
            litOutside += p[c] != 0;
          } else {
            worst = std::max(worst, std::abs(p[c] - still.at(x, row - kBandTop, c)));
          }
        }
      }
    }
    EXPECT_EQ(litOutside, 0) << "black around the band";
    EXPECT_LE(worst, 2) << "largest difference from demo-capture --size 1920x178 --still 2";
  }
  setSupersampling(1);

  // Back to the window and full screen again: the GL context and what it
  // holds carry over, so the window draws the presentation, not black.
  ASSERT_TRUE(setFullscreen(false));
  EXPECT_EQ(SDL_GetVideoSurface()->w, 960);
  drawFrame();
  const std::vector<unsigned char> window = readPixels(0, 0, 960, 89);
  long lit = 0;
  for (size_t i = 0; i < window.size(); i += 4) lit += window[i] || window[i + 1] || window[i + 2];
  EXPECT_GT(lit, 960 * 89 * 9 / 10);
  EXPECT_TRUE(setFullscreen(true));
  useSdlClock();
  SDL_Quit();
}

// The real player: `demo --fullscreen` shows the 178-row band in the middle
// of the screen with nothing else lit, F gives back the window, Esc ends the
// run at once with status 0. Started as the README says, `build/demo
// --fullscreen` from the repository's root, it finds its media in build/media
// and names that folder; supersampled from the media folder it prints
// nothing; without the folder of large pictures, one line says the
// window-sized ones are drawn.
TEST(Fullscreen, TheRunShowsTheBandAndEndsOnEsc) {
  if (!generatedMediaPresent()) GTEST_SKIP() << "no media in " << kGeneratedMedia;
  const std::string root = repositoryRootStandIn();
  char* media = realpath(DEMO_BINARY_DIR "/media", nullptr);
  ASSERT_NE(media, nullptr);
  const std::string named = "playing the media in \"" + std::string(media) + "\"\n";
  std::free(media);
  const std::string noLarge = makeTempDir();
  for (const auto& entry : std::filesystem::directory_iterator(kGeneratedMedia)) {
    if (entry.is_regular_file())
      std::filesystem::create_symlink(entry.path(),
                                      noLarge + "/" + entry.path().filename().string());
  }
  struct Case {
    const char* name;
    std::string folder, binary;
    std::vector<std::string> args;
    std::string output;
  } cases[] = {
      {"from the root", root, "build/demo", {"--fullscreen"}, named},
      {"supersampled",
       kGeneratedMedia,
       DEMO_BINARY_DIR "/demo",
       {"--fullscreen", "--ssaa", "2"},
       ""},
      {"without the large pictures' folder",
       noLarge,
       DEMO_BINARY_DIR "/demo",
       {"--fullscreen"},
       "the large pictures are missing (no folder \"2x\" beside the media); drawing the "
       "960-wide ones instead\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    DemoOptions o = presentationIn(c.folder);
    o.binary = c.binary;
    o.args = c.args;
    std::vector<bool> fullRows, windowRows;
    o.onWindow = [&](DemoWindow& w) {
      sleepSeconds(2.0);
      fullRows = litRows(screenPicture(w));
      pressKey(w, "f");
      sleepSeconds(1.0);
      windowRows = litRows(screenPicture(w));
      pressKey(w, "Escape");
    };
    const DemoRun run = runDemo(o);
    EXPECT_FALSE(run.timedOut);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.output, c.output);
    ASSERT_EQ(fullRows.size(), static_cast<size_t>(kScreenHeight));
    for (int row = 0; row < kScreenHeight; ++row) {
      EXPECT_EQ(fullRows[row], row >= kBandTop && row < kBandTop + kBandHeight) << "row " << row;
    }
    ASSERT_EQ(windowRows.size(), static_cast<size_t>(kScreenHeight));
    EXPECT_TRUE(windowRows[0] && windowRows[88]) << "the 960 x 89 window at the top";
    EXPECT_FALSE(windowRows[kBandTop + kBandHeight / 2]) << "the band is gone";
  }
}

// The README's other commands that run headless and quickly, as written from
// the repository's root after `make`. Not run here: `make run`, `make studio`
// and the make targets that build (they rebuild the tree under test), `make
// capture`, the segments, `make dist`, `make bench` (minutes each), the Slurm
// farm (needs a cluster; make farm-check) and the browser (tests/web).
TEST(Fullscreen, TheReadmeCaptureCommandRunsFromTheRoot) {
  if (!generatedMediaPresent()) GTEST_SKIP() << "no media in " << kGeneratedMedia;
  const std::string root = repositoryRootStandIn();
  const std::string command =
      "cd " + root + " && build/demo-capture --media build/media --still 56 space.png";
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
  Picture still;
  ASSERT_TRUE(loadPicture(root + "/space.png", still));
  EXPECT_EQ(still.w, 960);
  EXPECT_EQ(still.h, 89);
}
// The pictures drawn at twice the size keep the letters sharp at 1920 x 178:
// the title card (2 s) and the end card (125 s) have at least 80 % of the
// sharp edges that an exact twofold enlargement of the 960 x 89 frame has
// (twice its count: every edge pixel becomes two rows). Stretched from the
// window-sized files they keep about 40 %.
TEST(Fullscreen, LettersStaySharpAtTheFullWidth) {
  if (!generatedMediaPresent()) GTEST_SKIP() << "no media in " << kGeneratedMedia;
  for (double seconds : {2.0, 125.0}) {
    SCOPED_TRACE(seconds);
    const Picture small = captureStill(seconds, "960x89"),
                  large = captureStill(seconds, "1920x178");
    ASSERT_EQ(large.w, 1920);
    ASSERT_EQ(small.w, 960);
    EXPECT_GE(static_cast<double>(sharpEdges(large)),
              0.8 * 2 * static_cast<double>(sharpEdges(small)));
  }
}
