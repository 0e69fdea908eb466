// The plasma program and the four image programs on Mesa, pixel by pixel
// against the CPU versions in oracles.h.
#include "gpu/gl_entry_points.h"
#include "gpu/program.h"
#include "gpu/shaders.h"
#include "tests/programs/oracles.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

using namespace testing_support;
using oracles::Rgba;
using oracles::Texture;

namespace {

// Odd sizes put one pixel centre on v = (0, 0) and mirror columns exactly.
const int kWidth = 33;
const int kHeight = 19;
const float kTwoPi = 6.2831853f;

// Smooth, periodic content: neighbouring texels differ by at most ~0.2, so the
// GPU's fixed-point filter weights stay far below one step of 8-bit output.
const Texture kPicture(16, 8, [](float s, float t) {
  return Rgba{0.5f + 0.5f * std::sin(kTwoPi * s), 0.5f + 0.5f * std::cos(kTwoPi * t),
              0.5f + 0.5f * std::sin(kTwoPi * (s + t)), 0.6f + 0.4f * std::cos(kTwoPi * s)};
});
const Texture kNoise(16, 16, [](float s, float t) {
  return Rgba{0.5f + 0.25f * std::sin(kTwoPi * s) + 0.25f * std::cos(2 * kTwoPi * t), 0, 0, 1};
});
const Texture kWhite(1, 1, [](float, float) { return Rgba{1, 1, 1, 1}; });

class Programs : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { requireHeadlessGl(kWidth, kHeight); }
  void SetUp() override {
    glViewport(0, 0, kWidth, kHeight);
    glDisable(GL_BLEND);
    glEnable(GL_TEXTURE_2D);
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT);
  }
};

GLuint use(const char* fragment) {
  GLuint program = buildProgram(shaders::vertex, fragment, "under test");
  GlEntryPoints.glUseProgram(program);
  return program;
}

std::vector<unsigned char> draw(const Texture& texture) {
  GLuint name = texture.upload();
  glRects(-1, 1, 1, -1);
  glDeleteTextures(1, &name);
  return readPixels(0, 0, kWidth, kHeight);
}

float pixelV(int i, int size) {
  return 2.0f * (static_cast<float>(i) + 0.5f) / static_cast<float>(size) - 1;
}

// Every channel of every pixel within ±2/255 of the oracle, clamped and
// rounded as the colour buffer stores it: one step for the 8-bit rounding of
// each side, sampling and transcendentals on llvmpipe being accurate to well
// under one step.
// Pixels for which `skip` holds are not compared.
void expectMatches(const std::vector<unsigned char>& pixels,
                   const std::function<Rgba(float, float)>& oracle,
                   const std::function<bool(float, float)>& skip = nullptr) {
  int worst = 0, bad = 0;
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      if (skip && skip(pixelV(x, kWidth), pixelV(y, kHeight))) continue;
      const Rgba c = oracle(pixelV(x, kWidth), pixelV(y, kHeight));
      const float expected[4] = {c.r, c.g, c.b, c.a};
      for (int ch = 0; ch < 4; ++ch) {
        const long want = std::lround(std::clamp(expected[ch], 0.f, 1.f) * 255);
        const int diff = static_cast<int>(std::labs(pixels[(y * kWidth + x) * 4 + ch] - want));
        worst = std::max(worst, diff);
        if (diff > 2 && ++bad <= 3)
          ADD_FAILURE() << "pixel " << x << "," << y << " channel " << ch << ": "
                        << int(pixels[(y * kWidth + x) * 4 + ch]) << " instead of " << want;
      }
    }
  }
  EXPECT_EQ(bad, 0) << "worst difference " << worst;
}

}  // namespace

TEST_F(Programs, PlasmaMatchesItsFormula) {
  const struct {
    const char* name;
    oracles::PlasmaUniforms u;
  } cases[] = {
      {"plain field at 0 s", {0, 1, 0, 0}},
      {"noise", {12.3f, 1, 0.4f, 0}},
      {"half bent, half faded", {69, 1, 0.5f, 0.5f}},
      {"bent, faded and drifting", {80, 1, 0.5f, 1}},
      {"size 0", {3, 0, 0.5f, 0}},
  };
  const GLuint program = use(shaders::plasma);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    setUniform1f(program, "time", c.u.time);
    setUniform1f(program, "size", c.u.size);
    setUniform1f(program, "prln", c.u.prln);
    setUniform1i(program, "rt", 0);
    setUniform1f(program, "transition", c.u.transition);
    // Part-way through the transition the fourth root's infinite slope at
    // v.x = 0 turns the ~1e-8 by which the interpolated v.x misses 0 into a
    // visible phase shift, so the centre column is left out there.
    const bool partBent = c.u.transition > 0 && c.u.transition < 1;
    expectMatches(
        draw(kNoise), [&](float vx, float vy) { return oracles::plasma(vx, vy, c.u, kNoise); },
        [&](float vx, float) { return partBent && std::fabs(vx) < 1e-3f; });
  }

  // The palette's anchor at the centre, (sin 1, sin 2.33, sin 2.66), opaque;
  // and without noise the texture's content does not matter.
  setUniform1f(program, "time", 0);
  setUniform1f(program, "size", 1);
  setUniform1f(program, "prln", 0);
  setUniform1f(program, "transition", 0);
  const std::vector<unsigned char> withNoise = draw(kNoise);
  EXPECT_EQ(draw(kWhite), withNoise);
  const int centre = (kHeight / 2 * kWidth + kWidth / 2) * 4;
  const float anchor[4] = {0.841f, 0.725f, 0.463f, 1};
  for (int ch = 0; ch < 4; ++ch) EXPECT_NEAR(withNoise[centre + ch], anchor[ch] * 255, 2);
}

TEST_F(Programs, ImageProgramsMatchTheirFormulas) {
  const Texture starfield(16, 16, [](float s, float t) {
    return Rgba{0.5f + 0.5f * std::sin(kTwoPi * t), 0.8f, 0.5f + 0.5f * std::cos(kTwoPi * s),
                0.5f + 0.5f * std::sin(kTwoPi * (s - t))};
  });
  using Oracle = Rgba (*)(float, float, float, float, const Texture&);
  const struct {
    const char* name;
    const char* fragment;
    Oracle oracle;
    float time, alpha;
    const Texture& texture;
  } cases[] = {
      {"warp, settled", shaders::imageWarp, oracles::overlay, 0, 1, kPicture},
      {"warp, mid-fade", shaders::imageWarp, oracles::imageWarp, 0, 0.35f, kPicture},
      {"warp, gone", shaders::imageWarp, oracles::imageWarp, 0, 0, kPicture},
      {"overlay", shaders::overlay, oracles::overlay, 0, 0.5f, kPicture},
      {"scroller before its start", shaders::scroller, oracles::scroller, 50, 1, kPicture},
      {"scroller at 115 s", shaders::scroller, oracles::scroller, 115, 0.7f, kPicture},
      {"scroller wrapping", shaders::scroller, oracles::scroller, 121, 1, kPicture},
      {"starfield", shaders::starfield, oracles::starfield, 0, 1, starfield},
      {"starfield streaming", shaders::starfield, oracles::starfield, 7.5f, 0.6f, starfield},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const GLuint program = use(c.fragment);
    // Samplers stay unset, as in the presentation: they read unit 0.
    if (c.fragment == shaders::scroller || c.fragment == shaders::starfield) {
      setUniform1f(program, "time", c.time);
    }
    setUniform1f(program, "alpha", c.alpha);
    expectMatches(draw(c.texture),
                  [&](float x, float y) { return c.oracle(x, y, c.time, c.alpha, c.texture); });
  }
}
