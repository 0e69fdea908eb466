// The entry-point table, the program builder and the shared vertex stage, on Mesa.
#include "gpu/gl_entry_points.h"
#include "gpu/program.h"
#include "gpu/shaders.h"
#include "platform/headless_gl.h"
#include "tests/support/test_support.h"

#include <GL/glu.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

using namespace testing_support;

namespace {

const int kSize = 64;

class Gpu : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { requireHeadlessGl(kSize, kSize); }
  void SetUp() override {
    glViewport(0, 0, kSize, kSize);
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT);
    glDisable(GL_BLEND);
  }
};

// Writes v.xy mapped to 0..1 into red and green, so the varying is visible.
const char* const kShowV =
    "varying vec4 v;\n"
    "void main() { gl_FragColor = vec4(v.xy * 0.5 + 0.5, v.z, v.w); }\n";

}  // namespace

// The name table against the one list: slot order, NUL padding to the
// longest name's field.
TEST(EntryPointNames, FixedFieldsInSlotOrder) {
#define GL_TEST_NAME(type, name) #name,
  const char* expected[] = {GL_ENTRY_POINT_LIST(GL_TEST_NAME)};
#undef GL_TEST_NAME
  size_t longest = 0;
  for (int slot = 0; slot < kGlEntryPointCount; ++slot) {
    SCOPED_TRACE(slot);
    EXPECT_STREQ(glEntryPointNames[slot], expected[slot]);
    for (size_t i = std::strlen(expected[slot]); i < kGlEntryPointNameSize; ++i) {
      EXPECT_EQ(glEntryPointNames[slot][i], '\0');
    }
    longest = std::max(longest, std::strlen(expected[slot]));
  }
  EXPECT_EQ(longest + 1, size_t{kGlEntryPointNameSize});
}

TEST_F(Gpu, TableIsFilledAndRefillingChangesNothing) {
  loadGlEntryPoints();
  void* first[kGlEntryPointCount];
  for (int slot = 0; slot < kGlEntryPointCount; ++slot) {
    first[slot] = glEntryPointSlot(slot);
    EXPECT_NE(first[slot], nullptr) << glEntryPointNames[slot];
  }
  loadGlEntryPoints();
  for (int slot = 0; slot < kGlEntryPointCount; ++slot) {
    EXPECT_EQ(glEntryPointSlot(slot), first[slot]) << glEntryPointNames[slot];
  }
  std::string reason;
  EXPECT_TRUE(checkGlSupport(&reason)) << reason;
}

TEST_F(Gpu, SixBuildsGiveSixProgramsAndTwelveShaders) {
  auto getAttached =
      reinterpret_cast<PFNGLGETATTACHEDSHADERSPROC>(lookupGlProc("glGetAttachedShaders"));
  auto getProgramiv = reinterpret_cast<PFNGLGETPROGRAMIVPROC>(lookupGlProc("glGetProgramiv"));
  ASSERT_NE(getAttached, nullptr);
  const char* fragments[] = {shaders::morph,     shaders::imageWarp, shaders::plasma,
                             shaders::starfield, shaders::overlay,   shaders::scroller};
  std::set<GLuint> programs, shaderObjects;
  for (const char* fragment : fragments) {
    std::string log = captureStderr([&] {
      GLuint program = buildProgram(shaders::vertex, fragment, "layer");
      programs.insert(program);
      GLint linked = GL_FALSE;
      getProgramiv(program, GL_LINK_STATUS, &linked);
      EXPECT_EQ(linked, GL_TRUE);
      GLsizei count = 0;
      GLuint attached[4];
      getAttached(program, 4, &count, attached);
      EXPECT_EQ(count, 2);
      for (GLsizei i = 0; i < count; ++i) shaderObjects.insert(attached[i]);
    });
    EXPECT_EQ(log, "") << "a shipped shader should build silently";
  }
  EXPECT_EQ(programs.size(), 6u);
  EXPECT_EQ(programs.count(0), 0u);
  EXPECT_EQ(shaderObjects.size(), 12u);
}

TEST_F(Gpu, BrokenSourcesAreReportedByNameAndStillReturned) {
  struct Case {
    const char* vertex;
    const char* fragment;
    const char* expected;
  } cases[] = {
      {shaders::vertex, "void main() { gl_FragColor = vec4(1.0) }", "fragment shader of broken"},
      {"void main() { gl_Position = ; }", "void main() { gl_FragColor = vec4(1.0); }",
       "vertex shader of broken"},
      {shaders::vertex, "void f();\nvoid main() { f(); gl_FragColor = vec4(1.0); }",
       "program broken failed to link"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.expected);
    GLuint program = 0;
    std::string log =
        captureStderr([&] { program = buildProgram(c.vertex, c.fragment, "broken"); });
    EXPECT_NE(program, 0u);
    EXPECT_NE(log.find(c.expected), std::string::npos) << log;
    // Using the failed program is harmless: GL refuses it with an error only.
    GlEntryPoints.glUseProgram(program);
    while (glGetError() != GL_NO_ERROR) {
    }
  }
}

TEST_F(Gpu, QuadCoversTheViewportWhateverTheMatrices) {
  struct Case {
    const char* name;
    void (*setMatrices)();
  } cases[] = {
      {"identity", [] {}},
      {"look-at and perspective",
       [] {
         glMatrixMode(GL_PROJECTION);
         glFrustum(-1, 1, -1, 1, 1, 100);
         glMatrixMode(GL_MODELVIEW);
         glRotatef(30, 0, 1, 0);
         glTranslatef(3, 2, -5);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    c.setMatrices();
    glClear(GL_COLOR_BUFFER_BIT);
    drawWithFragment(kShowV);
    // Pixel centres sit at v = -1 + (i + 0.5) * 2 / kSize; 8-bit output rounds.
    for (int y : {0, kSize / 2, kSize - 1}) {
      for (int x : {0, kSize / 2, kSize - 1}) {
        std::array<int, 4> p = pixelAt(x, y);
        EXPECT_NEAR(p[0], (x + 0.5) / kSize * 255, 1.0) << x << "," << y;
        EXPECT_NEAR(p[1], (y + 0.5) / kSize * 255, 1.0) << x << "," << y;
        EXPECT_EQ(p[2], 0);
        EXPECT_EQ(p[3], 255);
      }
    }
  }
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
}

TEST_F(Gpu, UniformsAreSetByNameAndUnknownNamesAreIgnored) {
  GLuint program =
      buildProgram(shaders::vertex,
                   "uniform float level;\nuniform int unit;\n"
                   "void main() { gl_FragColor = vec4(level, float(unit) / 4.0, 0.0, 1.0); }\n",
                   "uniforms");
  GlEntryPoints.glUseProgram(program);
  setUniform1f(program, "level", 0.5f);
  setUniform1i(program, "unit", 2);
  setUniform1f(program, "not_declared", 1.0f);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
  EXPECT_EQ(GlEntryPoints.glGetUniformLocation(program, "not_declared"), -1);
  glRects(-1, 1, 1, -1);
  std::array<int, 4> p = pixelAt(kSize / 2, kSize / 2);
  EXPECT_NEAR(p[0], 128, 1);
  EXPECT_NEAR(p[1], 128, 1);
}

TEST_F(Gpu, UnsetSamplerReadsTextureUnitZero) {
  const unsigned char texel[4] = {10, 200, 30, 255};
  GLuint texture = 0;
  glGenTextures(1, &texture);
  glBindTexture(GL_TEXTURE_2D, texture);
  glTexImage2D(GL_TEXTURE_2D, 0, 4, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, texel);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  drawWithFragment(
      "uniform sampler2D text;\nvarying vec4 v;\n"
      "void main() { gl_FragColor = texture2D(text, v.xy * 0.5 + 0.5); }\n");
  std::array<int, 4> p = pixelAt(3, 3);
  EXPECT_EQ(p[0], 10);
  EXPECT_EQ(p[1], 200);
  EXPECT_EQ(p[2], 30);
  glDeleteTextures(1, &texture);
}

namespace {

// A driver that lacks one entry point: everything else comes from EGL.
const char* withheld = nullptr;
void* lookupWithout(const char* name) {
  if (std::strcmp(name, withheld) == 0) return nullptr;
  return headlessGlProcAddress(name);
}

}  // namespace

TEST_F(Gpu, AMissingEntryPointIsNamedBeforeAnythingCallsThroughIt) {
  for (int slot = 0; slot < kGlEntryPointCount; ++slot) {
    const char* name = glEntryPointNames[slot];
    SCOPED_TRACE(name);
    withheld = name;
    setGlProcLookup(lookupWithout);
    bool supported = true;
    std::string reason;
    std::string log = captureStderr([&] { supported = checkGlSupport(&reason); });
    EXPECT_FALSE(supported);
    EXPECT_EQ(reason, "OpenGL entry point " + std::string(name) + " is missing from the driver");
    EXPECT_EQ(log, "") << "the reason is the caller's to print";
    // The builder refuses too when it needs the missing one, instead of calling null.
    GLuint program = 1;
    log = captureStderr(
        [&] { program = buildProgram(shaders::vertex, shaders::overlay, "overlay"); });
    const bool neededByBuilder = slot < kGlBuilderEntryPointCount;
    EXPECT_EQ(program == 0, neededByBuilder);
    if (neededByBuilder) {
      EXPECT_EQ(log,
                "cannot build overlay: OpenGL entry point " + std::string(name) + " is missing\n");
    }
  }
  withheld = "";  // no entry point is named "": the lookup withholds nothing now
  loadGlEntryPoints();
  std::string reason;
  EXPECT_TRUE(checkGlSupport(&reason)) << reason;
}

TEST(GlVersion, DesktopAndEsStringsAreRead) {
  struct Case {
    const char* text;
    bool read;
    int major, minor;
    bool es;
  } cases[] = {
      {"2.1 Mesa 22.3.6", true, 2, 1, false},
      {"4.5 (Compatibility Profile) Mesa 22.3.6", true, 4, 5, false},
      {"OpenGL ES 3.0 (WebGL 2.0 (OpenGL ES 3.0 Chromium))", true, 3, 0, true},
      {"OpenGL ES-CM 1.1", false, 0, 0, false},
      {"", false, 0, 0, false},
      {nullptr, false, 0, 0, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text ? c.text : "null");
    int major = 0, minor = 0;
    bool es = false;
    EXPECT_EQ(parseGlVersion(c.text, &major, &minor, &es), c.read);
    if (c.read) {
      EXPECT_EQ(major, c.major);
      EXPECT_EQ(minor, c.minor);
      EXPECT_EQ(es, c.es);
    }
  }
}

// The browser's prelude stands in for gl_ModelViewMatrixInverse with the
// inverse of the u_modelView uniform; under the morph's camera its ray
// origin and directions agree with the built-in's.
TEST_F(Gpu, WebPreludeInvertsTheModelviewAsTheBuiltInDoes) {
  std::ifstream file(DEMO_SOURCE_DIR "/tools/web/prelude.frag");
  const std::string prelude((std::istreambuf_iterator<char>(file)),
                            std::istreambuf_iterator<char>());
  ASSERT_FALSE(prelude.empty());
  const char* camera =
      "varying vec4 v;\n"
      "void main() {\n"
      "  vec3 o = gl_ModelViewMatrixInverse[3].xyz;\n"
      "  vec4 d = gl_ModelViewMatrixInverse * vec4(v.x * 16.0 / 9.0, v.y, -1.0, 0.0);\n"
      "  gl_FragColor = vec4(normalize(d.xyz) * 0.5 + 0.5, o.y / 32.0 + o.z / 64.0);\n"
      "}\n";
  auto uniformMatrix =
      reinterpret_cast<PFNGLUNIFORMMATRIX4FVPROC>(lookupGlProc("glUniformMatrix4fv"));
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  gluLookAt(0, 20, 5, 0, 0, 0, 0, 1, 0);
  GLfloat modelView[16];
  glGetFloatv(GL_MODELVIEW_MATRIX, modelView);

  std::vector<std::array<int, 4>> pixels[2];
  for (int withPrelude = 0; withPrelude < 2; ++withPrelude) {
    setFragmentPrelude(withPrelude ? prelude.c_str() : nullptr);
    GLuint program = 0;
    const std::string log =
        captureStderr([&] { program = buildProgram(shaders::vertex, camera, "camera"); });
    EXPECT_EQ(log, "");
    GlEntryPoints.glUseProgram(program);
    if (withPrelude) {
      uniformMatrix(GlEntryPoints.glGetUniformLocation(program, "u_modelView"), 1, GL_FALSE,
                    modelView);
    }
    glClear(GL_COLOR_BUFFER_BIT);
    glRects(-1, 1, 1, -1);
    for (int y : {0, kSize / 2, kSize - 1})
      for (int x : {0, kSize / 3, kSize - 1}) pixels[withPrelude].push_back(pixelAt(x, y));
  }
  setFragmentPrelude(nullptr);
  glLoadIdentity();
  for (size_t i = 0; i < pixels[0].size(); ++i) {
    for (int c = 0; c < 4; ++c) EXPECT_NEAR(pixels[1][i][c], pixels[0][i][c], 1) << i << "/" << c;
  }
  EXPECT_NEAR(pixels[0][0][3], (20.0 / 32 + 5.0 / 64) * 255, 1) << "eye at (0, 20, 5)";
}
