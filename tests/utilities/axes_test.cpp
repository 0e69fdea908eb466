// drawAxes on Mesa's headless GL: the lines it draws and the state it restores.
#include "imaging/display.h"
#include "tests/support/test_support.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

using namespace testing_support;

namespace {

constexpr int kSize = 64;

// Every value that drawAxes changes or could disturb, as floats: the four
// switches, line width, blend factors, colour, both matrices, the matrix
// mode and the depths of the stacks it pushes.
std::vector<GLfloat> glState() {
  std::vector<GLfloat> state;
  for (GLenum cap : {GL_LIGHTING, GL_TEXTURE_2D, GL_BLEND, GL_LINE_SMOOTH}) {
    state.push_back(glIsEnabled(cap));
  }
  const std::pair<GLenum, int> values[] = {{GL_LINE_WIDTH, 1},
                                           {GL_BLEND_SRC, 1},
                                           {GL_BLEND_DST, 1},
                                           {GL_CURRENT_COLOR, 4},
                                           {GL_MODELVIEW_MATRIX, 16},
                                           {GL_PROJECTION_MATRIX, 16},
                                           {GL_MATRIX_MODE, 1},
                                           {GL_ATTRIB_STACK_DEPTH, 1},
                                           {GL_MODELVIEW_STACK_DEPTH, 1},
                                           {GL_PROJECTION_STACK_DEPTH, 1}};
  for (const auto& [name, count] : values) {
    GLfloat value[16];
    glGetFloatv(name, value);
    state.insert(state.end(), value, value + count);
  }
  return state;
}

class Axes : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { requireHeadlessGl(kSize, kSize); }
  void SetUp() override {
    glViewport(0, 0, kSize, kSize);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDisable(GL_LIGHTING);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_BLEND);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
  }
};

// Window pixel under the normalised device point (nx, ny).
std::array<int, 4> pixelAtNdc(double nx, double ny) {
  return pixelAt(static_cast<int>((nx + 1) * kSize / 2), static_cast<int>((ny + 1) * kSize / 2));
}

// 'r', 'g', 'b' for a pixel that is clearly that line's colour, '0' for
// black, '?' for anything else.
char classify(const std::array<int, 4>& p) {
  const auto only = [&](int i) {
    for (int c = 0; c < 3; ++c) {
      if (c == i ? p[c] < 180 : p[c] > 60) return false;
    }
    return true;
  };
  if (only(0)) return 'r';
  if (only(1)) return 'g';
  if (only(2)) return 'b';
  if (p[0] < 30 && p[1] < 30 && p[2] < 30) return '0';
  return '?';
}

}  // namespace

TEST_F(Axes, RestoresEveryStateItChanges) {
  struct Case {
    const char* name;
    bool featuresOn;
    GLenum matrixMode;
  };
  const Case cases[] = {
      {"features off, modelview current", false, GL_MODELVIEW},
      {"features on, projection current", true, GL_PROJECTION},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const auto set = [&](GLenum cap, bool on) { on ? glEnable(cap) : glDisable(cap); };
    set(GL_LIGHTING, c.featuresOn);
    set(GL_TEXTURE_2D, c.featuresOn);
    set(GL_BLEND, !c.featuresOn);
    set(GL_LINE_SMOOTH, !c.featuresOn);
    glLineWidth(c.featuresOn ? 3.0f : 1.0f);
    glBlendFunc(GL_DST_COLOR, GL_ONE);
    glColor4f(0.25f, 0.5f, 0.75f, 0.125f);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslatef(0.1f, 0.2f, 0.3f);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glScalef(0.5f, 0.25f, 1.0f);
    glMatrixMode(c.matrixMode);

    const std::vector<GLfloat> before = glState();
    drawAxes(2.0);
    EXPECT_EQ(glState(), before);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));

    glDisable(GL_LIGHTING);
    glDisable(GL_TEXTURE_2D);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
  }
}

TEST_F(Axes, DrawsColouredLinesScaledAlongTheAxes) {
  struct Probe {
    double nx, ny;
    char expected;
  };
  struct Case {
    const char* name;
    double scale;
    double turnAboutY;  // degrees; 90 turns the z axis onto the screen's x
    std::vector<Probe> probes;
  };
  const Case cases[] = {
      {"unit axes", 1.0, 0, {{0.75, 0, 'r'}, {0, 0.75, 'g'}, {-0.5, 0, '0'}, {0, -0.5, '0'}}},
      {"half length", 0.5, 0, {{0.25, 0, 'r'}, {0.75, 0, '0'}, {0, 0.25, 'g'}, {0, 0.75, '0'}}},
      {"negative scale", -1.0, 0, {{-0.75, 0, 'r'}, {0.5, 0, '0'}, {0, -0.75, 'g'}, {0, 0.5, '0'}}},
      {"z axis turned onto x", 1.0, 90, {{0.75, 0, 'b'}, {-0.5, 0, '0'}, {0, 0.75, 'g'}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    glClear(GL_COLOR_BUFFER_BIT);
    glLoadIdentity();
    glRotated(c.turnAboutY, 0, 1, 0);
    drawAxes(c.scale);
    for (const Probe& p : c.probes) {
      EXPECT_EQ(classify(pixelAtNdc(p.nx, p.ny)), p.expected) << "at " << p.nx << ", " << p.ny;
    }
  }
}

TEST_F(Axes, LinesAreTwoPixelsWide) {
  drawAxes(1.0);
  // The x axis lies on the border between window rows 31 and 32.
  std::string column;
  for (int y = 28; y < 36; ++y) column += classify(pixelAt(48, y));
  EXPECT_EQ(column, "000rr000");
}
