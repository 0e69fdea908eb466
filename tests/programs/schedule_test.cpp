// The layer schedule, driven by a test clock on Mesa: the GL 2.0 calls of a
// frame are recorded through the entry-point lookup, quads are counted with
// an occlusion query, and each texture is a solid colour of its own.
#include "gpu/gl_entry_points.h"
#include "gpu/program.h"
#include "presentation/clock.h"
#include "presentation/demo.h"
#include "presentation/layers.h"
#include "tests/support/test_support.h"

#include <EGL/egl.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

using namespace testing_support;

namespace {

const int kWidth = 16;
const int kHeight = 9;

template <typename Table>
std::string nameOf(GLuint handle, const Table& table) {
  for (const auto& [variable, name] : table) {
    if (*variable == handle) return name;
  }
  return "?" + std::to_string(handle);
}
const std::pair<GLuint*, const char*> kPrograms[] = {
    {&morphProgram, "morph"},     {&imageWarpProgram, "imageWarp"},
    {&plasmaProgram, "plasma"},   {&starfieldProgram, "starfield"},
    {&overlayProgram, "overlay"}, {&scrollerProgram, "scroller"}};
const std::pair<GLuint*, const char*> kTextures[] = {
    {&logoTexture, "logo"},           {&noiseTexture, "noise"},
    {&guruTextTexture, "guruText"},   {&guruRectTexture, "guruRect"},
    {&testhallTexture, "testhall"},   {&starfieldTexture, "starfield"},
    {&oldschoolTexture, "oldschool"}, {&spaceTexture, "space"},
    {&loveTexture, "love"},           {&scrollerTexture, "scroller"}};

// What one frame did.
struct Frame {
  std::vector<std::string> calls;  // "use <program> on <texture>", "<uniform> = <value>"
  std::map<std::string, std::vector<float>> values;  // "<program>.<uniform>" -> values in order
  int readings = 0, lookups = 0, quads = 0;
  std::array<int, 4> centre{};
} frame;

Uint32 nowMs = 0;
float testClock() {
  ++frame.readings;
  return static_cast<float>(nowMs) * 0.001f;
}

PFNGLUSEPROGRAMPROC realUseProgram;
PFNGLGETUNIFORMLOCATIONPROC realGetUniformLocation;
PFNGLUNIFORM1FPROC realUniform1f;
PFNGLUNIFORM1IPROC realUniform1i;
std::string lastUniform, lastKey;

GLint currentProgram() {
  GLint program = 0;
  glGetIntegerv(GL_CURRENT_PROGRAM, &program);
  return program;
}

void recordUseProgram(GLuint program) {
  GLint texture = 0;
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &texture);
  // The look-at matrix takes its eye, (0, 20, 5), to the origin.
  float m[16];
  glGetFloatv(GL_MODELVIEW_MATRIX, m);
  const bool lookAt = std::fabs(m[4] * 20 + m[8] * 5 + m[12]) +
                          std::fabs(m[5] * 20 + m[9] * 5 + m[13]) +
                          std::fabs(m[6] * 20 + m[10] * 5 + m[14]) <
                      1e-4f;
  frame.calls.push_back("use " + nameOf(program, kPrograms) + " on " +
                        nameOf(static_cast<GLuint>(texture), kTextures) +
                        (lookAt ? " after look-at" : ""));
  realUseProgram(program);
}

GLint recordGetUniformLocation(GLuint program, const GLchar* name) {
  ++frame.lookups;
  const GLint location = realGetUniformLocation(program, name);
  lastUniform = name;
  if (static_cast<GLint>(program) != currentProgram()) lastUniform += " (on a program not current)";
  if (location < 0) lastUniform += " (inactive)";
  lastKey = nameOf(program, kPrograms) + "." + name;
  return location;
}

void recordUniform1f(GLint location, GLfloat value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.4g", static_cast<double>(value));
  frame.calls.push_back(lastUniform + " = " + text);
  frame.values[lastKey].push_back(value);
  realUniform1f(location, value);
}

void recordUniform1i(GLint location, GLint value) {
  frame.calls.push_back(lastUniform + " = int " + std::to_string(value));
  realUniform1i(location, value);
}

template <typename Proc>
void* wrap(void* real, Proc* slot, Proc wrapper) {
  *slot = reinterpret_cast<Proc>(real);
  return reinterpret_cast<void*>(wrapper);
}

void* recordingLookup(const char* name) {
  void* real = reinterpret_cast<void*>(eglGetProcAddress(name));
  const std::string n = name;
  if (n == "glUseProgram")
    return wrap(real, &realUseProgram, PFNGLUSEPROGRAMPROC(recordUseProgram));
  if (n == "glGetUniformLocation") {
    return wrap(real, &realGetUniformLocation,
                PFNGLGETUNIFORMLOCATIONPROC(recordGetUniformLocation));
  }
  if (n == "glUniform1f") return wrap(real, &realUniform1f, PFNGLUNIFORM1FPROC(recordUniform1f));
  if (n == "glUniform1i") return wrap(real, &realUniform1i, PFNGLUNIFORM1IPROC(recordUniform1i));
  return real;
}

// One frame as the frame loop draws it, every reading at `ms` milliseconds.
const Frame& recordFrameAt(Uint32 ms) {
  static auto genQueries = reinterpret_cast<PFNGLGENQUERIESPROC>(lookupGlProc("glGenQueries"));
  static auto beginQuery = reinterpret_cast<PFNGLBEGINQUERYPROC>(lookupGlProc("glBeginQuery"));
  static auto endQuery = reinterpret_cast<PFNGLENDQUERYPROC>(lookupGlProc("glEndQuery"));
  static auto getQueryResult =
      reinterpret_cast<PFNGLGETQUERYOBJECTUIVPROC>(lookupGlProc("glGetQueryObjectuiv"));
  static GLuint query = [] {
    GLuint q = 0;
    genQueries(1, &q);
    return q;
  }();
  frame = Frame{};
  nowMs = ms;
  beginQuery(GL_SAMPLES_PASSED, query);
  drawFrame();
  endQuery(GL_SAMPLES_PASSED);
  GLuint samples = 0;
  getQueryResult(query, GL_QUERY_RESULT, &samples);
  frame.quads = static_cast<int>(samples) / (kWidth * kHeight);
  frame.centre = pixelAt(kWidth / 2, kHeight / 2);
  return frame;
}

std::array<int, 4> colourOf(int textureIndex) {
  return {40 + 20 * textureIndex, 250 - 20 * textureIndex, 7 * textureIndex, 255};
}

class Schedule : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    requireHeadlessGl(kWidth, kHeight);
    setGlProcLookup(recordingLookup);
    ASSERT_TRUE(checkGlSupport());
    buildPrograms();
    glEnable(GL_TEXTURE_2D);
    for (int i = 0; i < 10; ++i) {
      glGenTextures(1, kTextures[i].first);
      glBindTexture(GL_TEXTURE_2D, *kTextures[i].first);
      const std::array<int, 4> c = colourOf(i);
      const unsigned char texel[4] = {Uint8(c[0]), Uint8(c[1]), Uint8(c[2]), Uint8(c[3])};
      glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, texel);
      glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    }
    enableBlending();
    setDemoClock(testClock);
  }
  static void TearDownTestSuite() { setDemoClock(nullptr); }
};

}  // namespace

TEST_F(Schedule, OneFrameBindsUsesAndSetsInTableOrder) {
  // One line per layer: texture bound and program made current, then its uniforms.
  // clang-format off
  const std::vector<std::string> permanentLayers = {
      "use plasma on noise", "time = 29", "size = 1", "prln = 0", "rt = int 0", "transition = 0",
      "use morph on noise", "time = 29", "offset = 0", "alpha = 1", "transition = 0",
      "use imageWarp on logo after look-at", "alpha = 0",
      "use starfield on starfield after look-at", "time = 29", "alpha = 0",
      "use overlay on oldschool after look-at", "alpha = 0.5",
      "use overlay on space after look-at", "alpha = 0",
      "use overlay on love after look-at", "alpha = 0",
      "use scroller on scroller after look-at", "time = 29", "alpha = 0"};
  // clang-format on
  const Frame& early = recordFrameAt(29000);
  EXPECT_EQ(early.calls, permanentLayers);
  EXPECT_EQ(early.readings, 20);
  EXPECT_EQ(early.lookups, 17);

  // The morph quad is drawn after the look-at: with the identity camera the
  // eye would sit inside the bar, and at 40 s, with every layer above it
  // transparent, the whole frame would show its inside, lit as facing up.
  recordFrameAt(40000);
  const std::vector<unsigned char> pixels = readPixels(0, 0, kWidth, kHeight);
  int insideColour = 0;
  for (size_t i = 0; i < pixels.size(); i += 4) {
    insideColour += pixels[i] == 255 && pixels[i + 1] == 128 && pixels[i + 2] == 128;
  }
  EXPECT_LT(insideColour, kWidth * kHeight / 2);

  const Frame& late = recordFrameAt(124000);
  ASSERT_EQ(late.calls.size(), permanentLayers.size() + 2);
  EXPECT_EQ(late.calls[permanentLayers.size()], "use imageWarp on guruText after look-at");
  EXPECT_EQ(late.calls.back(), "alpha = 1");
  EXPECT_EQ(late.readings, 21);
  EXPECT_EQ(late.lookups, 18);
}

TEST_F(Schedule, FadesSaturateAndOverlapAsTimed) {
  const struct {
    Uint32 ms;
    const char* uniform;
    size_t index;  // which setting of that uniform in the frame
    float expected, tolerance;
  } cases[] = {
      {0, "imageWarp.alpha", 0, 1, 0},          {4000, "imageWarp.alpha", 0, 1, 0},
      {9000, "imageWarp.alpha", 0, 0, 0},       {25000, "morph.alpha", 0, 0, 0},
      {27002, "morph.alpha", 0, 1, 0},          {29000, "overlay.alpha", 0, 0.5f, 1e-5f},
      {29000, "overlay.alpha", 1, 0, 0},        {29000, "overlay.alpha", 2, 0, 0},
      {56000, "overlay.alpha", 1, 0.5f, 1e-5f}, {46000, "plasma.prln", 0, 0, 0},
      {54170, "plasma.prln", 0, 0.5f, 1e-5f},   {129999, "plasma.prln", 0, 0.5f, 0},
      {67999, "morph.transition", 0, 0, 0},     {70000, "morph.transition", 0, 1, 0},
      {70000, "plasma.transition", 0, 1, 0},    {90999, "starfield.alpha", 0, 0, 0},
      {96000, "starfield.alpha", 0, 1, 0},      {104999, "scroller.alpha", 0, 0, 0},
      {110000, "scroller.alpha", 0, 1, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.ms) + " ms, " + c.uniform);
    const Frame& f = recordFrameAt(c.ms);
    const std::vector<float>& set = f.values.at(c.uniform);
    ASSERT_GT(set.size(), c.index);
    if (c.tolerance == 0) {
      EXPECT_EQ(set[c.index], c.expected);
    } else {
      EXPECT_NEAR(set[c.index], c.expected, c.tolerance);
    }
    EXPECT_LE(f.values.at("plasma.prln")[0], 0.5f);
  }
}

// The closing layers: layer 9 from the first millisecond after 120 s, the
// rectangle on for the first half of each second, the end picture after
// 123.5 s. Every layer drawn is a full quad; the top opaque one shows.
TEST_F(Schedule, ClosingLayersFollowTheirTimeTests) {
  const int text = 2, rect = 3, end = 4;  // positions in kTextures
  const struct {
    Uint32 ms;
    int quads, readings, topTexture;
  } cases[] = {
      {119999, 8, 20, -1},    {120000, 10, 21, rect}, {120499, 10, 21, rect}, {120500, 9, 21, text},
      {123499, 10, 21, rect}, {123500, 10, 21, end},  {124000, 11, 21, end},  {129500, 10, 21, end},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.ms) + " ms");
    const Frame& f = recordFrameAt(c.ms);
    EXPECT_EQ(f.quads, c.quads);
    EXPECT_EQ(f.readings, c.readings);
    if (c.topTexture >= 0) {
      EXPECT_EQ(f.centre, colourOf(c.topTexture));
    }
  }
}
