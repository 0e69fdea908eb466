// The studio's reading of the layer schedule on Mesa: the rows it traces
// from drawLayers, and that probing draws nothing.
#include "tools/studio/schedule_probe.h"
#include "gpu/shaders.h"
#include "presentation/clock.h"
#include "presentation/headless_render.h"
#include "presentation/layer_programs.h"
#include "presentation/window.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <iterator>
#include <string>
#include <vector>

using namespace testing_support;

namespace {

void setProbeTime(double seconds) { setDemoTime(static_cast<float>(seconds)); }

}  // namespace

TEST(ScheduleProbe, TracesEveryLayerFromTheScheduleWithoutDrawing) {
  if (!generatedMediaPresent()) GTEST_SKIP() << "no media in " << kGeneratedMedia;
  std::string error;
  ASSERT_TRUE(startHeadlessRendering(16, 9, kGeneratedMedia, &error)) << error;

  glClearColor(0.25f, 0.5f, 0.75f, 1);
  glClear(GL_COLOR_BUFFER_BIT);
  setProbeTime(100);
  EXPECT_GE(probeLayers().size(), 8u) << "the permanent layers, and any added since";
  EXPECT_EQ(pixelAt(8, 4), (std::array<int, 4>{64, 128, 191, 255})) << "a probe draws nothing";

  const double step = 0.05;
  const std::vector<LayerTrack> tracks =
      traceLayers(static_cast<int>(kEndTime / step) + 1, step, setProbeTime);
  std::vector<std::string> names;
  for (const LayerTrack& t : tracks) names.push_back(t.name);
  // Every program of the list has a row named by it and the picture its
  // first layer binds; the closing layers follow the permanent ones.
  const char* const labels[] = {
#define PROBE_TEST_LABEL(ident, label, file, vertexIdent, vertexFile) label,
      SHADERS_FRAGMENT_LIST(PROBE_TEST_LABEL)
#undef PROBE_TEST_LABEL
  };
  const char* const pictures[] = {
#define PROBE_TEST_PICTURE(name, vertex, fragment, texture) #texture,
      DEMO_LAYER_PROGRAM_LIST(PROBE_TEST_PICTURE)
#undef PROBE_TEST_PICTURE
  };
  for (size_t i = 0; i < std::size(labels); ++i) {
    const std::string label = labels[i];
    const std::string name = label == pictures[i] ? label : label + ": " + pictures[i];
    EXPECT_NE(std::find(names.begin(), names.end(), name), names.end()) << name;
  }
  const std::vector<std::string> closing = {"image warp: guruText", "image warp: guruRect",
                                            "image warp: testhall"};
  ASSERT_GE(names.size(), closing.size());
  EXPECT_EQ(std::vector<std::string>(names.end() - 3, names.end()), closing);
  // A fade's ramp, the blinking rectangle (drawn in the first half of each
  // second only) and the end picture, at sample times.
  const struct {
    const char* row;
    double seconds;
    float alpha;
  } samples[] = {
      {"plasma: noise", 3, 1},
      {"image warp: logo", 0, 1},
      {"image warp: logo", 7, 0.4f},
      {"image warp: logo", 9.5, 0},
      {"overlay: space", 56, 0.5f},
      {"morph: noise", 26.05, 0.524f},
      {"image warp: guruRect", 121.25, 1},
      {"image warp: guruRect", 121.75, 0},
      {"image warp: testhall", 123.45, 0},
      {"image warp: testhall", 124, 1},
  };
  for (const auto& s : samples) {
    SCOPED_TRACE(std::string(s.row) + " at " + std::to_string(s.seconds));
    const size_t row =
        static_cast<size_t>(std::find(names.begin(), names.end(), s.row) - names.begin());
    ASSERT_LT(row, tracks.size());
    EXPECT_NEAR(tracks[row].alpha[static_cast<size_t>(std::lround(s.seconds / step))], s.alpha,
                1e-3);
  }
  stopHeadlessRendering();
}
