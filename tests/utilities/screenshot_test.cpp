// saveScreenshot against Mesa's headless GL: what lands in the BMP, and the
// ways writing it can fail.
#include "imaging/screenshot.h"
#include "tests/support/test_support.h"
#include "tests/utilities/image_files.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>

using namespace testing_support;
using namespace utilities_testing;

namespace {

constexpr int kWidth = 40;
constexpr int kHeight = 30;

// A different colour for every window pixel; `row` counts from the top.
std::array<Uint8, 3> windowColour(int x, int row, Uint8 blue) {
  return {static_cast<Uint8>(6 * x + 3), static_cast<Uint8>(8 * row + 5), blue};
}

// Paints the whole window pixel by pixel with windowColour.
void paintWindow(Uint8 blue) {
  glViewport(0, 0, kWidth, kHeight);
  glEnable(GL_SCISSOR_TEST);
  for (int row = 0; row < kHeight; ++row) {
    for (int x = 0; x < kWidth; ++x) {
      const auto c = windowColour(x, row, blue);
      glScissor(x, kHeight - 1 - row, 1, 1);
      glClearColor(c[0] / 255.0f, c[1] / 255.0f, c[2] / 255.0f, 1.0f);
      glClear(GL_COLOR_BUFFER_BIT);
    }
  }
  glDisable(GL_SCISSOR_TEST);
}

std::array<Uint8, 3> surfaceColour(SDL_Surface* s, int x, int y) {
  const int bytes = s->format->BytesPerPixel;
  Uint32 value = 0;
  std::memcpy(&value, static_cast<Uint8*>(s->pixels) + y * s->pitch + x * bytes, bytes);
  std::array<Uint8, 3> c{};
  SDL_GetRGB(value, s->format, &c[0], &c[1], &c[2]);
  return c;
}

// Size of the 24-bit BMP that SDL writes: 54 header bytes, rows padded to 4.
uintmax_t bmpFileSize(int width, int height) {
  return 54 + static_cast<uintmax_t>((3 * width + 3) / 4 * 4) * height;
}

class Screenshot : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    requireHeadlessGl(kWidth, kHeight);
    folder = makeTempDir();
  }
  static void TearDownTestSuite() { std::filesystem::remove_all(folder); }
  void TearDown() override { glViewport(0, 0, kWidth, kHeight); }
  static std::string folder;
};
std::string Screenshot::folder;

}  // namespace

TEST_F(Screenshot, WritesTheViewportUprightAtItsOwnSize) {
  struct Case {
    const char* name;
    int x, y, width, height;
  };
  const Case cases[] = {
      {"whole window", 0, 0, kWidth, kHeight},
      {"offset rectangle", 5, 4, 20, 10},
      {"top row only", 0, kHeight - 1, kWidth, 1},
      {"right column only", kWidth - 1, 0, 1, kHeight},
  };
  paintWindow(77);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = folder + "/shot.bmp";
    glViewport(c.x, c.y, c.width, c.height);
    ASSERT_EQ(saveScreenshot(path.c_str()), 0);

    SDL_Surface* loaded = SDL_LoadBMP(path.c_str());
    ASSERT_NE(loaded, nullptr) << SDL_GetError();
    EXPECT_EQ(loaded->w, c.width);
    EXPECT_EQ(loaded->h, c.height);
    // The file's first row is the viewport's top row, in window rows from the top.
    const int topRow = kHeight - (c.y + c.height);
    int wrong = 0;
    for (int y = 0; y < loaded->h; ++y) {
      for (int x = 0; x < loaded->w; ++x) {
        if (surfaceColour(loaded, x, y) != windowColour(c.x + x, topRow + y, 77)) ++wrong;
      }
    }
    EXPECT_EQ(wrong, 0) << "pixels that differ from the window";
    SDL_FreeSurface(loaded);
  }
}

TEST_F(Screenshot, SecondCallReplacesTheFile) {
  const std::string path = folder + "/again.bmp";
  paintWindow(10);
  ASSERT_EQ(saveScreenshot(path.c_str()), 0);
  EXPECT_EQ(std::filesystem::file_size(path), bmpFileSize(kWidth, kHeight));

  // A smaller picture: a file that were only overwritten would keep the old tail.
  paintWindow(200);
  glViewport(2, 3, 7, 5);
  ASSERT_EQ(saveScreenshot(path.c_str()), 0);
  EXPECT_EQ(std::filesystem::file_size(path), bmpFileSize(7, 5));
  SDL_Surface* loaded = SDL_LoadBMP(path.c_str());
  ASSERT_NE(loaded, nullptr);
  EXPECT_EQ(surfaceColour(loaded, 0, 0), windowColour(2, kHeight - 8, 200));
  SDL_FreeSurface(loaded);
}

TEST_F(Screenshot, UnwritablePathsGiveMinusOneAndLeaveNoPartialFile) {
  struct Case {
    const char* name;
    std::string path;
    long sizeLimit;  // 0: none
    const char* leftBehind;
  };
  const Case cases[] = {
      {"directory that does not exist", folder + "/missing/shot.bmp", 0, "none"},
      {"a directory as the path", folder, 0, "directory"},
      {"full disk (/dev/full)", "/dev/full", 0, "device"},
      // A regular file that fails part-way, as on a disk that fills up.
      {"file cut off after 1000 bytes", folder + "/cut.bmp", 1000, "none"},
      {"file cut off, existing file untouched", folder + "/kept.bmp", 1000, "file"},
  };
  paintWindow(50);
  const std::string kept = folder + "/kept.bmp";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    writeFile(kept, "keep me");
    int result = 0;
    const std::string printed = captureStderr([&] {
      if (c.sizeLimit > 0) {
        withFileSizeLimit(c.sizeLimit, [&] { result = saveScreenshot(c.path.c_str()); });
      } else {
        result = saveScreenshot(c.path.c_str());
      }
    });
    EXPECT_EQ(result, -1);
    EXPECT_EQ(pathKind(c.path), c.leftBehind);
    EXPECT_EQ(readFile(kept), "keep me");
    EXPECT_EQ(printed, "");
  }
}
