// Texture loading and the row flip, with real SDL surfaces and Mesa textures.
#include "imaging/texture.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

using namespace testing_support;

namespace {

SDL_Surface* rgbaSurface(int width, int height) {
  return SDL_CreateRGBSurface(0, width, height, 32, kRgba32Rmask, kRgba32Gmask, kRgba32Bmask,
                              kRgba32Amask);
}

// Fills row r of `s` with the byte r + 1, so row order is easy to read back.
void markRows(SDL_Surface* s) {
  for (int r = 0; r < s->h; ++r) {
    std::memset(static_cast<Uint8*>(s->pixels) + r * s->pitch, r + 1, s->pitch);
  }
}

int rowMark(SDL_Surface* s, int row) { return static_cast<Uint8*>(s->pixels)[row * s->pitch]; }

class Texture : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    requireHeadlessGl(32, 32);
    folder = makeTempDir();
  }
  static std::string folder;
};
std::string Texture::folder;

// File colours: each row has its own red, each column its own green.
std::array<Uint8, 3> rowColumnColour(int x, int y) {
  return {static_cast<Uint8>(40 * y + 20), static_cast<Uint8>(50 * x + 10), 99};
}

}  // namespace

TEST(FlipSurface, ReversesRowsAndLeavesTheSourceAlone) {
  for (int height : {1, 2, 5}) {
    SCOPED_TRACE(height);
    SDL_Surface* source = rgbaSurface(3, height);
    markRows(source);
    SDL_Surface* flipped = flipSurface(source);
    ASSERT_NE(flipped, nullptr);
    EXPECT_EQ(flipped->w, 3);
    EXPECT_EQ(flipped->h, height);
    EXPECT_EQ(flipped->format->BitsPerPixel, 32);
    EXPECT_EQ(flipped->format->Amask, kRgba32Amask);
    for (int r = 0; r < height; ++r) {
      EXPECT_EQ(rowMark(flipped, r), height - r);
      EXPECT_EQ(rowMark(source, r), r + 1) << "source changed";
    }
    SDL_Surface* twice = flipSurface(flipped);
    EXPECT_EQ(std::memcmp(twice->pixels, source->pixels, source->pitch * height), 0);
    SDL_FreeSurface(twice);
    SDL_FreeSurface(flipped);
    SDL_FreeSurface(source);
  }
}

// Undecodable, not a regular file (a FIFO must not block), or past the GL
// texture limit: each is one line naming the file, and no texture.
TEST_F(Texture, UnusableFilesGiveZeroAndTouchNothing) {
  const std::string empty = folder + "/empty.png";
  FILE* f = std::fopen(empty.c_str(), "wb");
  std::fclose(f);
  const std::string garbage = folder + "/garbage.jpg";
  f = std::fopen(garbage.c_str(), "wb");
  std::fputs("this is not a picture at all", f);
  std::fclose(f);
  const std::string fifo = folder + "/fifo.png";
  mkfifo(fifo.c_str(), 0644);
  GLint limit = 0;
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &limit);
  const std::string tall = folder + "/tall.bmp";
  writeBmp(tall, 4, limit + 1, [](int, int) { return std::array<Uint8, 3>{200, 200, 200}; });

  GLuint marker = 0;
  glGenTextures(1, &marker);
  glBindTexture(GL_TEXTURE_2D, marker);
  for (const std::string& path : {folder + "/missing.png", empty, garbage, fifo, folder, tall}) {
    SCOPED_TRACE(path);
    GLuint name = 1234;
    std::string log = captureStderr([&] { name = loadTexture(path.c_str(), false); });
    EXPECT_EQ(name, 0u);
    EXPECT_NE(log.find("cannot load \"" + path + "\""), std::string::npos) << log;
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 1) << log;
    GLint bound = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(static_cast<GLuint>(bound), marker);
    EXPECT_FALSE(glIsTexture(marker + 1)) << "no texture name was made";
  }
  glDeleteTextures(1, &marker);
}

TEST_F(Texture, UploadsAtOwnSizeBottomRowFirstAndStaysBound) {
  const std::string path = folder + "/five_by_three.bmp";
  writeBmp(path, 5, 3, rowColumnColour);
  for (bool mipmapped : {false, true}) {
    SCOPED_TRACE(mipmapped);
    GLuint name = loadTexture(path.c_str(), mipmapped);
    ASSERT_NE(name, 0u);
    GLint bound = 0, width = 0, height = 0, minFilter = 0, magFilter = 0, wrapS = 0, wrapT = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(static_cast<GLuint>(bound), name);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &height);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &minFilter);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &magFilter);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, &wrapS);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, &wrapT);
    if (!mipmapped) {
      EXPECT_EQ(width, 5);
      EXPECT_EQ(height, 3);
    }
    EXPECT_EQ(minFilter, mipmapped ? GL_LINEAR_MIPMAP_LINEAR : GL_LINEAR);
    EXPECT_EQ(magFilter, GL_LINEAR);
    EXPECT_EQ(wrapS, GL_REPEAT);
    EXPECT_EQ(wrapT, GL_REPEAT);
    if (!mipmapped) {
      std::vector<unsigned char> texels(5 * 3 * 4);
      glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
      for (int row = 0; row < 3; ++row) {
        for (int x = 0; x < 5; ++x) {
          // Texture row 0 is the file's bottom row (file row 2).
          std::array<Uint8, 3> c = rowColumnColour(x, 2 - row);
          const unsigned char* t = &texels[(row * 5 + x) * 4];
          EXPECT_EQ(t[0], c[0]);
          EXPECT_EQ(t[1], c[1]);
          EXPECT_EQ(t[2], c[2]);
          EXPECT_EQ(t[3], 255);
        }
      }
    }
    glDeleteTextures(1, &name);
  }
}

TEST_F(Texture, SamplingFindsTheFileTopNearOneAndRepeatsOutside) {
  const std::string path = folder + "/stripes.bmp";
  // Four rows of distinct red, constant across each row.
  writeBmp(path, 4, 4, [](int, int y) {
    return std::array<Uint8, 3>{static_cast<Uint8>(60 * y + 10), 0, 0};
  });
  GLuint name = loadTexture(path.c_str(), false);
  ASSERT_NE(name, 0u);
  glViewport(0, 0, 32, 32);
  glDisable(GL_BLEND);
  struct Case {
    const char* coordinate;
    int fileRow;
  } cases[] = {
      // Texel-row centres, so linear filtering returns one row's colour.
      {"vec2(0.5, 0.875)", 0}, {"vec2(0.5, 0.125)", 3},   {"vec2(0.5, 0.375)", 2},
      {"vec2(2.5, 1.875)", 0}, {"vec2(-0.5, -0.875)", 3}, {"vec2(0.5, 1.125)", 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.coordinate);
    std::string fragment = std::string(
                               "uniform sampler2D tex;\nvoid main() { gl_FragColor = "
                               "texture2D(tex, ") +
                           c.coordinate + "); }\n";
    drawWithFragment(fragment.c_str());
    std::array<int, 4> p = pixelAt(16, 16);
    EXPECT_NEAR(p[0], 60 * c.fileRow + 10, 2);
  }
  glDeleteTextures(1, &name);
}
