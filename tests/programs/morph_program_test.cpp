// The ray-marched morph program on Mesa against a CPU march of the same field.
#include "gpu/gl_entry_points.h"
#include "gpu/program.h"
#include "gpu/shaders.h"
#include "tests/support/test_support.h"

#include <GL/glu.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>

using namespace testing_support;

namespace {

// About 16:9, the aspect the program assumes, and small: every fragment costs
// 134 field evaluations. Odd sizes put a pixel centre on v = (0, 0).
const int kWidth = 63;
const int kHeight = 35;

struct Vec3 {
  float x, y, z;
  Vec3 operator+(Vec3 o) const { return {x + o.x, y + o.y, z + o.z}; }
  Vec3 operator-(Vec3 o) const { return {x - o.x, y - o.y, z - o.z}; }
  Vec3 operator*(float k) const { return {x * k, y * k, z * k}; }
};
float length(Vec3 p) { return std::sqrt(p.x * p.x + p.y * p.y + p.z * p.z); }

struct Uniforms {
  float time, offset, alpha, transition;
};

// The field of the program, for the screen column at vx.
float scene(Vec3 p, float vx, const Uniforms& u) {
  auto rotateX = [](Vec3 q, float a) {
    return Vec3{q.x, q.y * std::cos(a) - q.z * std::sin(a), q.y * std::sin(a) + q.z * std::cos(a)};
  };
  auto rotateY = [](Vec3 q, float a) {
    return Vec3{q.x * std::cos(a) - q.z * std::sin(a), q.y, q.x * std::sin(a) + q.z * std::cos(a)};
  };
  auto box = [](Vec3 q, Vec3 c, Vec3 s) {
    Vec3 d = Vec3{std::fabs(q.x - c.x), std::fabs(q.y - c.y), std::fabs(q.z - c.z)} - s;
    return length({std::fmax(d.x, 0.f), std::fmax(d.y, 0.f), std::fmax(d.z, 0.f)});
  };
  const float t = u.time;
  const Vec3 twist{std::sin(t) * 0.5f + 0.5f, std::cos(t * 1.33f) * 0.5f + 0.5f,
                   std::sin(std::cos(t) * 0.5f + 0.5f) * 0.5f + 0.5f};
  const float rfactor = twist.x * 4 * vx - twist.y * 4 * (1 - vx);
  const Vec3 q = rotateX(p, std::sin(rfactor) * twist.z + rfactor * (1 - twist.z));
  const float bar = box(q, {0, 0, 0}, {200, 7, 7}) +
                    std::cos(q.x * 2) * std::cos(q.y * 2) * std::cos(q.z * 2) * u.offset;
  const float cube = box(rotateX(rotateY(p, t), t * 0.5f), {0, 4, 0}, {5, 5, 5}) +
                     (std::cos(p.x) + std::cos(p.y) + std::cos(p.z)) * 0.5f;
  return bar * (1 - u.transition) + cube * u.transition;
}

struct Fragment {
  bool hit;
  std::array<float, 4> rgba;
};

// The fragment at (vx, vy), the camera being the inverse of the column-major
// modelview matrix `m` (a rigid motion).
Fragment morph(float vx, float vy, const float* m, const Uniforms& u) {
  // Inverse of [R | t]: [R^T | -R^T t].
  auto rt = [&](Vec3 a) {
    return Vec3{m[0] * a.x + m[1] * a.y + m[2] * a.z, m[4] * a.x + m[5] * a.y + m[6] * a.z,
                m[8] * a.x + m[9] * a.y + m[10] * a.z};
  };
  const Vec3 eye = rt({-m[12], -m[13], -m[14]});
  Vec3 dir = rt({vx * 16 / 9, vy, -1});
  dir = dir * (1 / length(dir));
  Vec3 p = eye;
  for (int i = 0; i < 128; ++i) p = p + dir * scene(p, vx, u);
  if (!(length(p - eye) <= 50)) return {false, {0, 0, 0, 0}};
  const float e = 0.01f;
  Vec3 n{scene(p + Vec3{e, 0, 0}, vx, u) - scene(p - Vec3{e, 0, 0}, vx, u),
         scene(p + Vec3{0, e, 0}, vx, u) - scene(p - Vec3{0, e, 0}, vx, u),
         scene(p + Vec3{0, 0, e}, vx, u) - scene(p - Vec3{0, 0, e}, vx, u)};
  n = length(n) == 0 ? Vec3{0, 1, 0} : n * (1 / length(n));
  const float shade = std::fmax(n.x * -0.5f + n.y - n.z * 0.25f, 0.25f);
  return {true,
          {shade * (n.y * 0.5f + 0.5f), shade * (n.x * 0.5f + 0.5f), shade * (n.z * 0.5f + 0.5f),
           u.alpha}};
}

class Morph : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { requireHeadlessGl(kWidth, kHeight); }
};

}  // namespace

// Each pixel must agree with the CPU march: hit or miss, and where both hit,
// colour within ±2/255 (one step for each side's 8-bit rounding; the normal's
// differences of field values 0.02 apart carry float rounding near 1e-4,
// far below a step). A grazing ray's 128 steps can amplify single-precision
// differences between the two marches, so up to 1% of the pixels may
// disagree; on llvmpipe none do.
TEST_F(Morph, MatchesTheMarchOfItsField) {
  const struct {
    const char* name;
    std::function<void()> camera;
    Uniforms u;
  } cases[] = {
      {"plain bar from the schedule's camera",
       [] { gluLookAt(0, 20, 5, 0, 0, 0, 0, 1, 0); },
       {29, 0, 1, 0}},
      {"bumpy bar", [] { gluLookAt(0, 20, 5, 0, 0, 0, 0, 1, 0); }, {48, 0.46f, 1, 0}},
      {"half melted", [] { gluLookAt(0, 20, 5, 0, 0, 0, 0, 1, 0); }, {69, 1, 1, 0.5f}},
      {"spinning box", [] { gluLookAt(0, 20, 5, 0, 0, 0, 0, 1, 0); }, {80, 1, 0.6f, 1}},
      {"invisible", [] { gluLookAt(0, 20, 5, 0, 0, 0, 0, 1, 0); }, {80, 1, 0, 1}},
      {"looking down -z from z = 30", [] { glTranslatef(0, 0, -30); }, {10, 0.3f, 1, 0.3f}},
      {"bar 46 to 50 units away, beyond them cut off",
       [] { glTranslatef(0, 0, -55); },
       {10, 0, 1, 0}},
      // Over x = z = pi the bumps have no slope across, so the box's top faces up.
      {"straight down on the box's top",
       [] { gluLookAt(M_PI, 30, M_PI, M_PI, 0, M_PI, 0, 0, -1); },
       {0, 0, 1, 1}},
  };
  const GLuint program = buildProgram(shaders::vertex, shaders::morph, "morph");
  GlEntryPoints.glUseProgram(program);
  glDisable(GL_BLEND);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    setUniform1f(program, "time", c.u.time);
    setUniform1f(program, "offset", c.u.offset);
    setUniform1f(program, "alpha", c.u.alpha);
    setUniform1f(program, "transition", c.u.transition);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    c.camera();
    float m[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, m);
    glClearColor(0.2f, 0.2f, 0.2f, 0.2f);
    glClear(GL_COLOR_BUFFER_BIT);
    if (c.u.alpha == 0) {
      // An invisible layer: under the presentation's blending it must leave
      // the frame exactly as it was, whatever colour its fragments carry.
      glEnable(GL_BLEND);
      glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
      glRects(-1, 1, 1, -1);
      glDisable(GL_BLEND);
      for (unsigned char byte : readPixels(0, 0, kWidth, kHeight)) ASSERT_EQ(byte, 51);
      continue;
    }
    glRects(-1, 1, 1, -1);
    const std::vector<unsigned char> pixels = readPixels(0, 0, kWidth, kHeight);

    std::vector<Fragment> expected;
    for (int y = 0; y < kHeight; ++y) {
      for (int x = 0; x < kWidth; ++x) {
        expected.push_back(morph(2 * (static_cast<float>(x) + 0.5f) / kWidth - 1,
                                 2 * (static_cast<float>(y) + 0.5f) / kHeight - 1, m, c.u));
      }
    }
    int hits = 0, disagreements = 0;
    for (int i = 0; i < kWidth * kHeight; ++i) {
      const unsigned char* got = &pixels[i * 4];
      const Fragment& want = expected[i];
      // A miss writes transparent black; a hit always has some colour.
      const bool gpuHit = got[0] + got[1] + got[2] > 0;
      hits += gpuHit;
      EXPECT_EQ(got[3], gpuHit ? std::lround(c.u.alpha * 255) : 0) << "alpha of pixel " << i;
      bool agrees = gpuHit == want.hit;
      for (int ch = 0; agrees && gpuHit && ch < 3; ++ch) {
        agrees = std::abs(got[ch] - std::lround(std::clamp(want.rgba[ch], 0.f, 1.f) * 255)) <= 2;
      }
      disagreements += !agrees;
    }
    EXPECT_LE(disagreements, kWidth * kHeight / 100);
    EXPECT_GT(hits, 0) << "the object is in view";
  }
  // A surface facing up is lit at shade 1, (1, 0.5, 0.5): so is the box's top
  // seen straight down, and every fragment inside the plain bar, where the
  // field is 0 all round and the normal has no direction.
  EXPECT_EQ(pixelAt(kWidth / 2, kHeight / 2), (std::array<int, 4>{255, 128, 128, 255}));
  glLoadIdentity();
  setUniform1f(program, "transition", 0);
  setUniform1f(program, "offset", 0);
  setUniform1f(program, "alpha", 0.8f);
  glRects(-1, 1, 1, -1);
  for (auto [x, y] : {std::pair{0, 0}, {kWidth / 2, kHeight / 2}, {kWidth - 1, kHeight - 1}}) {
    EXPECT_EQ(pixelAt(x, y), (std::array<int, 4>{255, 128, 128, 204}));
  }
}
