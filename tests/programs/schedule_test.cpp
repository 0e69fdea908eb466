// The layer schedule at demo times set by the test, on Mesa: the uniform
// calls of a frame are recorded through the entry-point lookup, each quad's
// program, texture and alpha by the test's own glRects, quads are counted with
// an occlusion query, and each texture is a solid colour of its own.
#include "gpu/gl_entry_points.h"
#include "gpu/program.h"
#include "presentation/clock.h"
#include "presentation/demo.h"
#include "presentation/layer_list.h"
#include "presentation/layers.h"
#include "presentation/timeline.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>
#include "platform/headless_gl.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <set>
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
#define SCHEDULE_PROGRAM_NAME(name, vertex, fragment, texture) {&name##Program, #name},
    DEMO_LAYER_PROGRAM_LIST(SCHEDULE_PROGRAM_NAME)
#undef SCHEDULE_PROGRAM_NAME
};
const std::pair<GLuint*, const char*> kTextures[] = {
#define SCHEDULE_TEXTURE_NAME(id, file, handle, role) {&handle, #id},
    DEMO_TEXTURE_LIST(SCHEDULE_TEXTURE_NAME)
#undef SCHEDULE_TEXTURE_NAME
};

// What one frame did.
struct Frame {
  std::vector<std::string> keys;     // "<program>.<uniform>" of every uniform set, in call order
  std::vector<float> values;         // the value set, in the same order
  std::vector<std::string> misuses;  // uniforms set on a program not current, or inactive
  // "<program> <texture> <alpha>" of every quad drawn, the alpha as its
  // program held it (1 for a program without one).
  std::vector<std::string> drawn;
  int quads = 0;
  std::array<int, 4> centre{};
} frame;

PFNGLGETUNIFORMLOCATIONPROC realGetUniformLocation;
PFNGLUNIFORM1FPROC realUniform1f;
PFNGLUNIFORM1IPROC realUniform1i;
std::string lastKey;

GLint currentProgram() {
  GLint program = 0;
  glGetIntegerv(GL_CURRENT_PROGRAM, &program);
  return program;
}

GLint recordGetUniformLocation(GLuint program, const GLchar* name) {
  const GLint location = realGetUniformLocation(program, name);
  lastKey = nameOf(program, kPrograms) + "." + name;
  if (static_cast<GLint>(program) != currentProgram())
    frame.misuses.push_back(lastKey + " not current");
  if (location < 0) frame.misuses.push_back(lastKey + " inactive");
  return location;
}

void recordUniform1f(GLint location, GLfloat value) {
  frame.keys.push_back(lastKey);
  frame.values.push_back(value);
  realUniform1f(location, value);
}

void recordUniform1i(GLint location, GLint value) {
  frame.keys.push_back(lastKey + " (int)");
  frame.values.push_back(static_cast<float>(value));
  realUniform1i(location, value);
}

std::string quadText(GLuint program, GLuint texture, float alpha) {
  char value[16];
  std::snprintf(value, sizeof value, "%.5f", alpha);
  return nameOf(program, kPrograms) + " " + nameOf(texture, kTextures) + " " + value;
}

template <typename Proc>
void* wrap(void* real, Proc* slot, Proc wrapper) {
  *slot = reinterpret_cast<Proc>(real);
  return reinterpret_cast<void*>(wrapper);
}

void* recordingLookup(const char* name) {
  void* real = headlessGlProcAddress(name);
  const std::string n = name;
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
  setDemoTime(static_cast<float>(ms) * 0.001f);
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
    std::string reason;
    ASSERT_TRUE(checkGlSupport(&reason)) << reason;
    buildPrograms();
    glEnable(GL_TEXTURE_2D);
    for (int i = 0; i < static_cast<int>(std::size(kTextures)); ++i) {
      glGenTextures(1, kTextures[i].first);
      glBindTexture(GL_TEXTURE_2D, *kTextures[i].first);
      const std::array<int, 4> c = colourOf(i);
      const unsigned char texel[4] = {Uint8(c[0]), Uint8(c[1]), Uint8(c[2]), Uint8(c[3])};
      glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, texel);
      glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    }
    enableBlending();
  }
  static void TearDownTestSuite() { useSdlClock(); }
};

}  // namespace

// The layers draw every quad with glRects; this definition in the test binary
// takes those calls, notes what GL draws the quad with, and draws it through
// glRectf, which makes the same quad.
extern "C" void glRects(GLshort x1, GLshort y1, GLshort x2, GLshort y2) {
  static auto getUniformfv =
      reinterpret_cast<PFNGLGETUNIFORMFVPROC>(lookupGlProc("glGetUniformfv"));
  GLint texture = 0;
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &texture);
  const GLuint program = static_cast<GLuint>(currentProgram());
  const GLint location = realGetUniformLocation(program, "alpha");
  float alpha = 1;
  if (location >= 0) getUniformfv(program, location, &alpha);
  frame.drawn.push_back(quadText(program, static_cast<GLuint>(texture), alpha));
  glRectf(x1, y1, x2, y2);
}

// Every uniform of every layer at the schedule's boundary times, through the
// real drawLayers: fade starts and ends, half-way points that show each rate,
// the caps, and the closing text's alpha from 120 s (120 000 ms reads just above 120).
TEST_F(Schedule, UniformValuesAtBoundaryTimes) {
  const std::vector<std::string> keys = {
      "plasma.time",     "plasma.size",       "plasma.prln",
      "plasma.rt (int)", "plasma.transition", "morph.time",
      "morph.offset",    "morph.alpha",       "morph.transition",
      "imageWarp.alpha",  // logo
      "starfield.time",  "starfield.alpha",   "overlay.alpha",
      "overlay.alpha",   "overlay.alpha",                          // oldschool, space, love
      "scroller.time",   "scroller.alpha",    "imageWarp.alpha"};  // closing text, after 120 s only
  std::set<std::string> programs;
  for (const std::string& key : keys) programs.insert(key.substr(0, key.find('.')));
  // clang-format off
  const struct {
    Uint32 ms;
    std::vector<float> values;  // in the order of `keys`
  } rows[] = {
      //        plasma: time size prln rt transition | morph: time offset alpha transition | logo
      //        | starfield: time alpha | oldschool space love | scroller: time alpha | closing
      {0,      {0, 1, 0, 0, 0,               0, 0, 0, 0,            1,    0, 0,       0, 0, 0,       0, 0}},
      {7000,   {7, 1, 0, 0, 0,               7, 0, 0, 0,            0.4f, 7, 0,       0, 0, 0,       7, 0}},
      {9000,   {9, 1, 0, 0, 0,               9, 0, 0, 0,            0,    9, 0,       0, 0, 0,       9, 0}},
      {21000,  {21, 1, 0, 0, 0,              21, 0, 0, 0,           0,    21, 0,      0.5f, 0, 0,    21, 0}},
      {26002,  {26.002f, 1, 0, 0, 0,         26.002f, 0, 0.5f, 0,   0,    26.002f, 0, 1, 0, 0,       26.002f, 0}},
      {29000,  {29, 1, 0, 0, 0,              29, 0, 1, 0,           0,    29, 0,      0.5f, 0, 0,    29, 0}},
      {48170,  {48.17f, 1, 0.125f, 0, 0,     48.17f, 0.5f, 1, 0,    0,    48.17f, 0,  0, 0, 0,       48.17f, 0}},
      {54170,  {54.17f, 1, 0.5f, 0, 0,       54.17f, 1, 1, 0,       0,    54.17f, 0,  0, 0, 0,       54.17f, 0}},
      {56000,  {56, 1, 0.5f, 0, 0,           56, 1, 1, 0,           0,    56, 0,      0, 0.5f, 0,    56, 0}},
      {64000,  {64, 1, 0.5f, 0, 0,           64, 1, 1, 0,           0,    64, 0,      0, 0.5f, 0,    64, 0}},
      {69000,  {69, 1, 0.5f, 0, 0.5f,        69, 1, 1, 0.5f,        0,    69, 0,      0, 0, 0,       69, 0}},
      {78000,  {78, 1, 0.5f, 0, 1,           78, 1, 1, 1,           0,    78, 0,      0, 0, 0.6f,    78, 0}},
      {84000,  {84, 1, 0.5f, 0, 1,           84, 1, 1, 1,           0,    84, 0,      0, 0, 0.5f,    84, 0}},
      {93500,  {93.5f, 1, 0.5f, 0, 1,        93.5f, 1, 1, 1,        0,    93.5f, 0.5f, 0, 0, 0,      93.5f, 0}},
      {107500, {107.5f, 1, 0.5f, 0, 1,       107.5f, 1, 1, 1,       0,    107.5f, 1,  0, 0, 0,       107.5f, 0.5f}},
      {119999, {119.999f, 1, 0.5f, 0, 1,     119.999f, 1, 1, 1,     0,    119.999f, 1, 0, 0, 0,      119.999f, 1}},
      {120000, {120, 1, 0.5f, 0, 1,          120, 1, 1, 1,          0,    120, 1,     0, 0, 0,       120, 1, 1}},
      {129999, {129.999f, 1, 0.5f, 0, 1,     129.999f, 1, 1, 1,     0,    129.999f, 1, 0, 0, 0,      129.999f, 1, 1}},
  };
  // clang-format on
  for (const auto& row : rows) {
    SCOPED_TRACE(std::to_string(row.ms) + " ms");
    const Frame& f = recordFrameAt(row.ms);
    // The uniforms of these programs; a layer added with a program of its
    // own shows in the other tests, not here.
    std::vector<std::string> seen;
    std::vector<float> values;
    for (size_t i = 0; i < f.keys.size(); ++i) {
      if (programs.count(f.keys[i].substr(0, f.keys[i].find('.')))) {
        seen.push_back(f.keys[i]);
        values.push_back(f.values[i]);
      }
    }
    EXPECT_EQ(seen, std::vector<std::string>(keys.begin(), keys.begin() + row.values.size()));
    ASSERT_EQ(values.size(), row.values.size());
    for (size_t i = 0; i < row.values.size(); ++i) {
      EXPECT_NEAR(values[i], row.values[i], 2e-5f) << keys[i];
    }
    EXPECT_EQ(f.misuses, std::vector<std::string>());
  }

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
}

// The closing layers: the closing text from the first millisecond after its
// cut, the rectangle on for the first half of each second, the end picture
// after its cut. Counted as quads beyond the frame just before the closing
// cut, so another layer beneath changes no count; the top opaque one shows.
TEST_F(Schedule, ClosingLayersFollowTheirTimeTests) {
  const int text = 2, rect = 3, end = 4;  // positions in kTextures
  const Timeline& tl = timeline::builtin();
  const Uint32 closing = static_cast<Uint32>(tl.closing * 1000);
  const Uint32 endPicture = static_cast<Uint32>(tl.endPicture * 1000);
  const int before = recordFrameAt(closing - 1).quads;
  const struct {
    Uint32 ms;
    int added, topTexture;
  } cases[] = {
      {closing - 1, 0, -1},       {closing, 2, rect},        {closing + 499, 2, rect},
      {closing + 500, 1, text},   {endPicture - 1, 2, rect}, {endPicture, 2, end},
      {endPicture + 500, 3, end}, {129500, 2, end},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.ms) + " ms");
    const Frame& f = recordFrameAt(c.ms);
    EXPECT_EQ(f.quads - before, c.added);
    if (c.topTexture >= 0) {
      EXPECT_EQ(f.centre, colourOf(c.topTexture));
    }
  }
}

// The vertex stages beneath the starfield state as a literal when it turns
// opaque; the timeline's starfield fade must agree, or the plasma and the
// morph vanish while the starfield is still translucent (or draw for nothing).
TEST(Timeline, VertexStagesBeneathTheStarfieldStopWhenItIsOpaque) {
  const Timeline& tl = timeline::builtin();
  EXPECT_EQ(ramp(timeline::starfieldOpaque(tl) - tl.starfieldIn.at, tl.starfieldIn.rate), 1.0f);
  for (const char* file : {"under_starfield.vert", "faded_under_starfield.vert"}) {
    SCOPED_TRACE(file);
    const std::string text = shaderSource(file);
    const size_t at = text.find("time >= ");
    ASSERT_NE(at, std::string::npos);
    EXPECT_EQ(std::strtof(text.c_str() + at + 8, nullptr), timeline::starfieldOpaque(tl));
  }
}

// The quads a frame draws are the layer list's entries shown at that time,
// in its order, each with the list's program and picture and the alpha its
// fades give: a layer drawn but not listed, listed but not drawn, or fading
// with other fades than the list says, fails. Every 0.25 s and at the fades'
// and closing layers' edges.
TEST_F(Schedule, QuadsDrawnAreTheLayerListsEntries) {
  const Timeline& tl = timeline::builtin();
  std::vector<Uint32> times;
  for (Uint32 ms = 0; ms < 130000; ms += 250) times.push_back(ms);
  for (int i = 0; i < kFadeCount; ++i) {
    for (float t : {tl.fade(i).at, fadeEdge(tl.fade(i))}) {
      times.push_back(static_cast<Uint32>(std::lround(t * 1000)) + 1);
    }
  }
  for (Uint32 ms : {120000u, 120001u, 120499u, 120500u, 123500u, 123501u}) times.push_back(ms);
  for (Uint32 ms : times) {
    const float seconds = static_cast<float>(ms) * 0.001f;
    std::vector<std::string> listed;
    for (const Layer& layer : kLayers) {
      if (!shownAt(afterOf(timeline::builtin(), layer), layer.blinks, seconds)) continue;
      const float alpha =
          fadedAlpha(fadeOf(tl, layer.in), fadeOf(tl, layer.out), [seconds] { return seconds; });
      listed.push_back(quadText(*layer.program, *layer.texture, alpha));
    }
    const std::vector<std::string> drawn = recordFrameAt(ms).drawn;
    EXPECT_EQ(drawn, listed) << "at " << ms << " ms";
    if (drawn != listed) break;
  }
}
