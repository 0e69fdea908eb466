// The timeline file: the built-in copy against the schedule's numbers, the
// refusals of a bad copy, and writing one back.
#include "presentation/timeline.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <string>

namespace {

// The built-in file's text with `from` replaced by `to` (once).
std::string edited(const std::string& from, const std::string& to) {
  std::string text = kBuiltinTimelineText;
  const size_t at = text.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

// "line N" for the built-in file's line that holds `text`.
std::string lineOf(const std::string& text) {
  const std::string all = kBuiltinTimelineText;
  const size_t at = all.find(text);
  return "line " + std::to_string(1 + std::count(all.begin(), all.begin() + at, '\n'));
}

}  // namespace

TEST(Timeline, BuiltInCopyKeepsTheScheduleNumbers) {
  const Timeline& tl = timeline::builtin();
  const struct {
    const char* name;
    float at, rate;
    bool in;
  } fades[] = {
      {"logoOut", 9, 0.2f, false},
      {"oldschoolIn", 20, 0.5f, true},
      {"morphIn", 25.002f, 0.5f, true},
      {"oldschoolOut", 30, 0.5f, false},
      {"morphOffsetIn", 46.17f, 0.25f, true},
      {"spaceIn", 55, 0.5f, true},
      {"spaceOut", 65, 0.5f, false},
      {"boxIn", 68, 0.5f, true},
      {"loveIn", 75, 0.2f, true},
      {"loveOut", 85, 0.5f, false},
      {"starfieldIn", 91, 0.2f, true},
      {"scrollerIn", 105, 0.2f, true},
  };
  // Found through the reader by name, so a fade added to the file breaks no count.
  for (const auto& f : fades) {
    SCOPED_TRACE(f.name);
    const int i = fadeIndex(f.name);
    ASSERT_GE(i, 0);
    EXPECT_EQ(tl.fade(i).at, f.at);
    EXPECT_EQ(tl.fade(i).rate, f.rate);
    EXPECT_EQ(tl.fade(i).in, f.in);
  }
  // The plasma's lines start at t × 0.0625 - 2.885625, exactly.
  EXPECT_EQ(timeline::plasmaLinesOffset(tl), 2.885625f);
  EXPECT_EQ(timeline::starfieldOpaque(tl), 96.0f);
  EXPECT_EQ(timelineText(tl), kBuiltinTimelineText) << "written back unchanged";
}

TEST(Timeline, BadCopiesAreRefusedNamingTheLineAndTheReason) {
  const struct {
    std::string text;
    std::string error;
  } cases[] = {
      {edited("spaceIn 55", "spaceInn 55"), "no line for the fade spaceIn"},
      {edited("spaceIn 55 0.5 in", "spaceInn 55"),
       "\"copy.txt\" " + lineOf("spaceIn 55") + ": unknown name \"spaceInn\""},
      {edited("spaceIn 55 0.5 in", "spaceIn 55 0.5"), lineOf("spaceIn 55") + ": missing field"},
      {edited("spaceIn 55", "spaceIn 5x5"), lineOf("spaceIn 55") + ": not a number: \"5x5\""},
      {edited("spaceIn 55 0.5", "spaceIn 55 fast"),
       lineOf("spaceIn 55") + ": not a number: \"fast\""},
      {edited("spaceIn 55", "spaceIn 131"), lineOf("spaceIn 55") + ": 131 is outside 0 to 130 s"},
      {edited("spaceIn 55", "spaceIn -1"), lineOf("spaceIn 55") + ": -1 is outside 0 to 130 s"},
      {edited("spaceIn 55 0.5", "spaceIn 55 0"), lineOf("spaceIn 55") + ": the rate 0 is outside"},
      {edited("spaceOut 65", "spaceIn 65"),
       lineOf("spaceOut 65") + ": spaceIn twice (first on " + lineOf("spaceIn 55") + ")"},
      {edited("spaceIn 55 0.5 in", "spaceIn 55 0.5 out"),
       lineOf("spaceIn 55") + ": spaceIn fades in: out where in belongs"},
      {edited("spaceIn 55 0.5 in", "spaceIn 55 0.5 up"),
       lineOf("spaceIn 55") + ": not in or out: \"up\""},
      {edited("spaceIn 55 0.5 in\n", ""), "no line for the fade spaceIn"},
      {edited("section 0 intro: logo", "section 0"), lineOf("section 0 intro") + ": missing field"},
      {edited("section logoOut", "section logoOutt"),
       lineOf("section logoOut") + ": not a number: \"logoOutt\""},
      {edited("storyboard 0 12", "storyboard 0 12\x1b"), "not a number: \"12\\x1b\""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.error);
    Timeline t;
    std::string error;
    EXPECT_FALSE(parseTimeline(c.text, "copy.txt", &t, &error));
    EXPECT_NE(error.find(c.error), std::string::npos) << error;
    EXPECT_EQ(error.find('\n'), std::string::npos) << "one line";
  }
}

TEST(Timeline, AnEditedCopyReadsBackTheSameAndSectionsFollowTheirFade) {
  Timeline t;
  std::string error;
  ASSERT_TRUE(parseTimeline(edited("spaceIn 55 ", "spaceIn 57 "), "copy.txt", &t, &error)) << error;
  EXPECT_EQ(t.spaceIn.at, 57);
  t.oldschoolIn.at = 22.0166664f;  // a frame time, 1321 / 60
  const std::string text = timelineText(t);
  EXPECT_NE(text.find("\noldschoolIn 22.01666"), std::string::npos) << text;
  Timeline again;
  ASSERT_TRUE(parseTimeline(text, "copy.txt", &again, &error)) << error;
  EXPECT_TRUE(again.sameFades(t));
  EXPECT_EQ(timelineText(again), text);
  for (const Section& s : again.sections) {
    if (s.name == "overlays: space") {
      EXPECT_EQ(again.sectionStart(s), 57);
    }
  }
}
