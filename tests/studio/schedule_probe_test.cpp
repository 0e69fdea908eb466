// The studio's reading of the layer schedule on Mesa: the rows it traces
// from drawLayers, and that probing draws nothing.
#include "tools/studio/schedule_probe.h"
#include "presentation/clock.h"
#include "presentation/headless_render.h"
#include "presentation/window.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
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
  EXPECT_EQ(probeLayers().size(), 8u) << "the permanent layers";
  EXPECT_EQ(pixelAt(8, 4), (std::array<int, 4>{64, 128, 191, 255})) << "a probe draws nothing";

  const double step = 0.05;
  const std::vector<LayerTrack> tracks =
      traceLayers(static_cast<int>(kEndTime / step) + 1, step, setProbeTime);
  std::vector<std::string> names;
  for (const LayerTrack& t : tracks) names.push_back(t.name);
  EXPECT_EQ(names, (std::vector<std::string>{"plasma: noise", "morph: noise", "image warp: logo",
                                             "starfield", "overlay: oldschool", "overlay: space",
                                             "overlay: love", "scroller", "image warp: guruText",
                                             "image warp: guruRect", "image warp: testhall"}));
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
