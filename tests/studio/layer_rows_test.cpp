// The studio's rows from the layer list, the fade a drag on a row picks, and
// the uniforms of a frame drawn on Mesa as the inspector lists them.
#include "tools/studio/layer_rows.h"
#include "presentation/clock.h"
#include "presentation/headless_render.h"
#include "presentation/layer_list.h"
#include "presentation/layers.h"
#include "presentation/window.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

using namespace testing_support;

namespace {

constexpr double kStep = 0.05;

size_t rowNamed(const std::vector<LayerRow>& rows, const std::string& name) {
  return static_cast<size_t>(
      std::find_if(rows.begin(), rows.end(), [&](const LayerRow& r) { return r.name == name; }) -
      rows.begin());
}

}  // namespace

// One row per layer, bottom to top, named by program and picture; each
// row's alpha at sample times (a fade's ramp, a layer under an edited fade,
// the blinking rectangle, the end picture), and which of the row's fades a
// press at a time picks.
TEST(LayerRows, FollowTheListAndTheTimelinesFades) {
  Timeline edited = timeline::builtin();
  edited.spaceIn.at = 57;
  const int samples = static_cast<int>(kEndTime / kStep) + 1;
  const std::vector<LayerRow> rows = layerRows(timeline::builtin(), samples, kStep);
  const std::vector<LayerRow> editedRows = layerRows(edited, samples, kStep);
  // One row per entry of the list; these in this order among them, so a
  // layer added anywhere changes no expectation.
  ASSERT_EQ(rows.size(), static_cast<size_t>(kLayerCount));
  const std::vector<std::string> known = {
      "plasma: noise",        "morph: noise",         "image warp: logo",    "starfield",
      "overlay: oldschool",   "overlay: space",       "overlay: love",       "scroller",
      "image warp: guruText", "image warp: guruRect", "image warp: testhall"};
  size_t found = 0;
  for (const LayerRow& row : rows) found += found < known.size() && row.name == known[found];
  EXPECT_EQ(found, known.size()) << "the built-in layers in their order";
  const struct {
    const char* row;
    double seconds;
    float alpha;
    bool edited;
  } samplesAt[] = {
      {"plasma: noise", 3, 1, false},
      {"image warp: logo", 0, 1, false},
      {"image warp: logo", 7, 0.4f, false},
      {"image warp: logo", 9.5, 0, false},
      {"overlay: space", 56, 0.5f, false},
      {"overlay: space", 56, 0, true},
      {"overlay: space", 58, 0.5f, true},
      {"morph: noise", 26.05, 0.524f, false},
      {"image warp: guruText", 120, 0, false},
      {"image warp: guruText", 120.05, 1, false},
      {"image warp: guruRect", 121.25, 1, false},
      {"image warp: guruRect", 121.75, 0, false},
      {"image warp: testhall", 123.45, 0, false},
      {"image warp: testhall", 124, 1, false},
  };
  for (const auto& s : samplesAt) {
    SCOPED_TRACE(std::string(s.row) + " at " + std::to_string(s.seconds));
    const std::vector<LayerRow>& in = s.edited ? editedRows : rows;
    const size_t row = rowNamed(in, s.row);
    ASSERT_LT(row, in.size());
    EXPECT_NEAR(in[row].alpha[static_cast<size_t>(std::lround(s.seconds / kStep))], s.alpha, 1e-3);
  }

  // The morph row reads the offset and the box transition beside its alpha;
  // the space row only its own fades, whatever else ramps at that time.
  const struct {
    const char* row;
    double seconds;
    const char* fade;  // nullptr: none
  } presses[] = {
      {"morph: noise", 26, "morphIn"},   {"morph: noise", 48, "morphOffsetIn"},
      {"morph: noise", 69, "boxIn"},     {"plasma: noise", 69, "boxIn"},
      {"overlay: space", 56, "spaceIn"}, {"overlay: space", 64, "spaceOut"},
      {"overlay: space", 69, nullptr},   {"image warp: guruText", 121, nullptr},
  };
  for (const auto& p : presses) {
    SCOPED_TRACE(std::string(p.row) + " at " + std::to_string(p.seconds));
    const int fade = rowFadeAt(rows[rowNamed(rows, p.row)], timeline::builtin(), p.seconds);
    EXPECT_EQ(fade < 0 ? "none" : kFadeNames[fade], std::string(p.fade ? p.fade : "none"));
  }
}

// The inspector's reading of a real frame: every layer drawn with the
// uniforms set for it, grey where its alpha is 0; the rectangle and the end
// picture set none of their own.
TEST(LayerRows, InspectorListsTheUniformsOfTheFrameDrawn) {
  if (!generatedMediaPresent()) GTEST_SKIP() << "no media in " << kGeneratedMedia;
  std::string error;
  ASSERT_TRUE(startHeadlessRendering(16, 9, kGeneratedMedia, &error)) << error;
  startInspecting();
  setDemoTime(56);
  drawFrame();
  std::vector<InspectedLayer> layers = takeInspectedLayers();
  const auto permanent = static_cast<size_t>(std::count_if(
      kLayers, kLayers + kLayerCount, [](const Layer& l) { return l.cut == kNoCut; }));
  ASSERT_EQ(layers.size(), permanent);
  EXPECT_EQ(layers[1].name, "morph: noise");
  std::vector<std::string> morph;
  for (const InspectedUniform& u : layers[1].uniforms) {
    morph.push_back(u.name + "=" + std::to_string(u.value));
  }
  EXPECT_EQ(morph, (std::vector<std::string>{"time=56.000000", "offset=1.000000", "alpha=1.000000",
                                             "transition=0.000000"}));
  EXPECT_EQ(layers[5].name, "overlay: space");
  EXPECT_TRUE(layers[5].visible);
  EXPECT_FALSE(layers[4].visible) << "the oldschool overlay is gone at 56 s";

  setDemoTime(124);
  drawFrame();
  layers = takeInspectedLayers();
  ASSERT_EQ(layers.size(), static_cast<size_t>(kLayerCount));
  EXPECT_EQ(layers.back().name, "image warp: testhall");
  EXPECT_TRUE(layers.back().uniforms.empty());
  EXPECT_TRUE(layers.back().visible) << "the closing text left the warp program at alpha 1";

  stopInspecting();
  drawFrame();
  EXPECT_TRUE(takeInspectedLayers().empty()) << "nothing is watched once stopped";
  stopHeadlessRendering();
}
