// The presentation's programs against the literal ones they replace: whole
// frames of the layer stack through the same drawLayers, at times that cover
// every regime of the schedule, must agree pixel for pixel within ±2/255.
#include "bench/program_sets.h"
#include "bench/reference_shaders.h"
#include "gpu/shaders.h"
#include "presentation/headless_render.h"
#include "presentation/layer_programs.h"
#include "presentation/window.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

const int kWidth = kWindowWidth;
const int kHeight = kWindowHeight;
const std::string& kMedia = testing_support::kGeneratedMedia;

std::vector<uint8_t> frameAt(const ProgramSet& set, double seconds) {
  useProgramSet(set);
  drawFrameAt(seconds);
  std::vector<uint8_t> rgb;
  readFrameRgb(kWidth, kHeight, &rgb);
  return rgb;
}

// One headless context for the whole process: Mesa keeps a little memory
// per context, which the sanitizer run would report.
class ProgramSets : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!testing_support::generatedMediaPresent()) return;
    std::string error;
    started = startHeadlessRendering(kWidth, kHeight, kMedia, &error);
    ASSERT_TRUE(started) << error;
    fast = currentProgramSet();
    literal = buildReferencePrograms();
  }
  static void TearDownTestSuite() {
    if (!started) return;
    useProgramSet(fast);
    stopHeadlessRendering();
    started = false;
  }
  void SetUp() override {
    if (!testing_support::generatedMediaPresent()) GTEST_SKIP() << "no media in " << kMedia;
    ASSERT_TRUE(started);
  }

  static bool started;
  static ProgramSet fast;
  static ProgramSet literal;
};

bool ProgramSets::started = false;
ProgramSet ProgramSets::fast;
ProgramSet ProgramSets::literal;

}  // namespace

// The march on the bumpy bar is chaotic: one changed bit in a step moves the
// end point, so a transformation that is not exact shows here as scattered
// pixels far apart. The times cover each way the programs cut work short,
// including the first frames in which a layer's quad is culled.
TEST_F(ProgramSets, AgreeWithTheLiteralProgramsOverTheWholeSchedule) {
  const struct {
    double time;
    const char* regime;
  } cases[] = {
      {9, "logo's alpha just 0: its quad culled"},
      {10, "morph at alpha 0, logo gone, plasma without noise"},
      {25.5, "morph fading in over the plain bar"},
      {30, "plain bar at alpha 1: rays settle or escape early"},
      {48, "bumps growing, plasma noise rising"},
      {58, "bumpy bar at full height: every hit takes all 128 steps"},
      {68, "transition exactly 0 at its start"},
      {68.5, "bar and box blended"},
      {69.5, "blend near its end"},
      {70, "transition exactly 1: the box alone"},
      {78, "spinning box under the love picture"},
      {93, "starfield fading in"},
      {95.9, "starfield nearly opaque: plasma and morph still drawn beneath"},
      {96, "starfield opaque: plasma and morph culled beneath it"},
      {108, "scroller fading in"},
      {121, "closing text and blinking rectangle"},
      {124.2, "end picture over everything"},
  };
  ASSERT_NE(fast.morph, literal.morph);
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.time) + " s: " + c.regime);
    const FrameAgreement a = compareFrames(frameAt(fast, c.time), frameAt(literal, c.time), 2);
    EXPECT_GE(a.shareWithin, 0.999) << "largest difference " << a.maxDifference << "/255";
  }
}

// Both sets are embedded from their own folders: a set that silently came
// from the other folder would make the comparison above vacuous.
TEST(ReferenceShaders, AreTheLiteralSetUnderTheSameNames) {
  // One literal program for each program of the layer list.
#define DEMO_COUNT_PROGRAM(name, vertex, fragment, texture) +1
  ASSERT_EQ(reference_shaders::count, 0 DEMO_LAYER_PROGRAM_LIST(DEMO_COUNT_PROGRAM));
#undef DEMO_COUNT_PROGRAM
  for (int i = 0; i < reference_shaders::count; ++i) {
    const char* file = reference_shaders::all[i].file;
    SCOPED_TRACE(file);
    const shaders::Source* same = nullptr;
    for (int j = 0; j < shaders::count; ++j) {
      if (std::strcmp(shaders::all[j].file, file) == 0) same = &shaders::all[j];
    }
    ASSERT_NE(same, nullptr) << "no program of that name in the presentation";
  }
  EXPECT_STRNE(reference_shaders::morph, shaders::morph);
  // The literal march takes every step, with no way out of its loop.
  EXPECT_EQ(std::strstr(reference_shaders::morph, "break"), nullptr);
}

TEST(CompareFrames, CountsPixelsWithinTheTolerance) {
  const struct {
    const char* name;
    std::vector<uint8_t> a, b;
    double share;
    int maxDifference;
  } cases[] = {
      {"equal", {1, 2, 3, 4, 5, 6}, {1, 2, 3, 4, 5, 6}, 1.0, 0},
      {"two steps off is within", {10, 10, 10, 0, 0, 0}, {12, 8, 10, 0, 0, 0}, 1.0, 2},
      {"three steps off in one channel", {10, 10, 10, 0, 0, 0}, {10, 10, 13, 0, 0, 0}, 0.5, 3},
      {"whole range, either sign", {0, 0, 0, 255, 255, 255}, {255, 0, 0, 255, 255, 255}, 0.5, 255},
      {"every pixel off", {0, 0, 0, 0, 0, 0}, {0, 9, 0, 0, 0, 9}, 0.0, 9},
      {"sizes differ", {0, 0, 0}, {0, 0, 0, 0, 0, 0}, 0.0, 255},
      {"empty", {}, {}, 0.0, 255},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const FrameAgreement a = compareFrames(c.a, c.b, 2);
    EXPECT_DOUBLE_EQ(a.shareWithin, c.share);
    EXPECT_EQ(a.maxDifference, c.maxDifference);
  }
}
