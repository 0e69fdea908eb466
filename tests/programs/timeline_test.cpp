// The timeline file: the built-in copy against the schedule's numbers, the
// refusals of a bad copy, and writing one back.
#include "presentation/timeline.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
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

// "line N" for the line of `all` (the built-in file's text) that holds `text`.
std::string lineOf(const std::string& text, const std::string& all = kBuiltinTimelineText) {
  const size_t at = all.find(text);
  EXPECT_NE(at, std::string::npos) << text;
  return "line " + std::to_string(1 + std::count(all.begin(), all.begin() + at, '\n'));
}

// The built-in file with maker's lines after it, and "line N" of its k-th one.
std::string appended(const std::string& lines) { return kBuiltinTimelineText + lines; }
std::string appendedLine(int k) {
  const std::string all = kBuiltinTimelineText;
  return "line " + std::to_string(std::count(all.begin(), all.end(), '\n') + k);
}

Timeline parsed(const std::string& text) {
  Timeline t;
  std::string error;
  EXPECT_TRUE(parseTimeline(text, "copy.txt", &t, &error)) << error;
  return t;
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
  EXPECT_EQ(tl.closing, 120.0f);
  EXPECT_EQ(tl.endPicture, 123.5f);
  EXPECT_EQ(timelineText(tl), kBuiltinTimelineText) << "written back unchanged";
}

TEST(Timeline, BadCopiesAreRefusedNamingTheLineAndTheReason) {
  const struct {
    std::string text;
    std::string error;
  } cases[] = {
      {edited("spaceIn 55", "spaceInn 55"),
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
      {edited("storyboard 0 logoOut+3", "storyboard 0 12\x1b"), "not a number: \"12\\x1b\""},
      {edited("logoOut 9 0.2 out", std::string("logoOut 9 0.2\0junk out", 22)),
       lineOf("logoOut 9") + ": a NUL byte"},
      {edited("spaceIn 55", "spaceIn\xff\xfe 55"), "unknown name \"spaceIn\\xff\\xfe\""},
      {edited("spaceIn 55", "spaceIn " + std::string(5000, '7')),
       "77... (5000 bytes) is too large"},
      {edited("spaceIn 55 0.5", "spaceIn 55 1e-40"), lineOf("spaceIn 55") + ": 1e-40 is too small"},
      {edited("oldschoolIn 20", "oldschoolIn 40"),
       lineOf("oldschoolIn 20") + ": oldschoolIn at 40 s (" + lineOf("oldschoolIn 20") +
           ") comes after oldschoolOut at 30 s (" + lineOf("oldschoolOut 30") + ")"},
      {edited("storyboard 0 logoOut+3", "storyboard 0 spaceIn+2 spaceOutt-1"),
       lineOf("storyboard 0") + ": not a number: \"spaceOutt-1\", nor a fade or cut"},
      {edited("storyboard 0 logoOut+3", "storyboard 0 scrollerIn+30"),
       "scrollerIn+30 is 135 s, outside 0 to 130 s"},
      {edited("section endPicture", "section endPicture+7"), "endPicture+7 is 130.5 s, outside"},
      {edited("cut closing 120", "cut closing 131"), lineOf("cut closing") + ": 131 is outside"},
      {edited("cut closing 120", "cut closed 120"), lineOf("cut closing") + ": unknown cut"},
      {edited("cut closing 120", "cut closing"), lineOf("cut closing") + ": missing field"},
      {edited("cut endPicture 123.5", "cut closing 123.5"),
       lineOf("cut endPicture") + ": the cut closing twice (first on " + lineOf("cut closing") +
           ")"},
      {edited("cut endPicture 123.5\n", ""), "no line for the cut endPicture"},
      {appended("glowIn 40 0.5 in\n"),
       appendedLine(1) + ": unknown name \"glowIn\": not a built-in fade, and no layer uses it"},
      {appended("layer glow glow.frag - glowIn glowOut\nglowIn 40 0.5 in\n"),
       appendedLine(1) + ": the layer glow's OUT \"glowOut\" is no fade of this file"},
      {appended("layer glow glow.frag - spaceOut\n"),
       appendedLine(1) + ": the layer glow's IN spaceOut fades out"},
      {appended("layer glow a.frag - spaceIn\nlayer glow b.frag - spaceIn\n"),
       appendedLine(2) + ": the layer glow twice (first on " + appendedLine(1) + ")"},
      {appended("layer gl.ow a.frag - spaceIn\n"), "a layer's name is letters, digits, _ and -"},
      {appended("layer glow a.frag -\n"), appendedLine(1) + ": missing field"},
      {appended("layer glow a.frag - spaceIn spaceOut x\n"), appendedLine(1) + ": too many fields"},
      {appended("glowOut 30 0.5 out\nlayer glow a.frag - glowIn glowOut\nglowIn 40 0.5 in\n"),
       appendedLine(2) + ": the layer glow would never show: glowIn at 40 s (" + appendedLine(3) +
           ") comes after glowOut at 30 s (" + appendedLine(1) + ")"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.error);
    Timeline t;
    std::string error;
    EXPECT_FALSE(parseTimeline(c.text, "copy.txt", &t, &error));
    EXPECT_NE(error.find(c.error), std::string::npos) << error;
    EXPECT_EQ(error.find('\n'), std::string::npos) << "one line";
    EXPECT_EQ(error.find('\0'), std::string::npos) << "printed whole";
    EXPECT_LT(error.size(), 300u) << "fields cut short";
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

// Numbers the studio may save read back as the same floats, and a file keeps
// its byte-order mark and CRLF line endings through a save.
TEST(Timeline, SavedCopiesLoadAgainWithTheSameFadesAndBytes) {
  Timeline t = timeline::builtin();
  t.logoOut.rate = 1e-12f;
  t.oldschoolIn.rate = 1.23456e-6f;
  t.morphIn.at = 1e-5f;
  t.spaceIn.at = 22.0166664f;
  t.loveIn.rate = 999.99994f;
  // The latest start that keeps the storyboard's scrollerIn+12 within the run.
  t.scrollerIn.at = fadeLimit(t, fadeIndex("scrollerIn"), false);
  t.boxIn.at = std::nextafter(68.0f, 0.0f);
  const Timeline again = parsed(timelineText(t));
  for (int i = 0; i < kFadeCount; ++i) {
    SCOPED_TRACE(kFadeNames[i]);
    EXPECT_EQ(again.fade(i).at, t.fade(i).at);
    EXPECT_EQ(again.fade(i).rate, t.fade(i).rate);
  }

  std::string crlf;
  for (const char c : std::string(kBuiltinTimelineText))
    crlf += c == '\n' ? "\r\n" : std::string(1, c);
  const std::string marked = "\xEF\xBB\xBF" + crlf;
  const Timeline read = parsed(marked);
  EXPECT_TRUE(read.sameFades(timeline::builtin()));
  EXPECT_EQ(timelineText(read), marked);
}

// Maker's layers and their fades, times written from fades, the limits of a
// drag, and what a part record's checksum covers.
TEST(Timeline, MakersLayersFadesAndRelativeTimes) {
  const std::string text = appended(
      "layer glow fx/glow.frag glow.png glowIn glowOut\n"
      "glowIn 40 0.5 in\n"
      "glowOut 50.5 0.25 out\n"
      "layer dots dots.frag - spaceIn\n");
  std::string copy = text;
  copy.replace(copy.find("storyboard 0 logoOut+3"), 22,
               "storyboard 0 spaceIn+2 scrollerIn+10 endPicture+0.5");
  copy.replace(copy.find("section spaceIn "), 16, "section spaceIn-1 ");
  Timeline t = parsed(copy);
  ASSERT_EQ(t.layers.size(), 2u);
  EXPECT_EQ(t.layers[0].fragment + " " + t.layers[0].picture + " " + t.layers[0].in + " " +
                t.layers[0].out,
            "fx/glow.frag glow.png glowIn glowOut");
  EXPECT_EQ(t.layers[1].picture + " " + t.layers[1].out, " ") << "no picture, no fade-out";
  ASSERT_EQ(t.fadeCount(), kFadeCount + 2);
  const int glowIn = t.indexOf("glowIn"), glowOut = t.indexOf("glowOut");
  EXPECT_EQ(glowOut, kFadeCount + 1);
  EXPECT_EQ(t.fade(glowOut).rate, 0.25f);

  // Times written from a fade follow it; those written from a cut are its
  // time and offset.
  t.spaceIn.at = 60;
  EXPECT_EQ(t.storyboardTimes()[1], 62);
  EXPECT_EQ(t.storyboardTimes()[3], 124);
  for (const Section& s : t.sections) {
    if (s.name == "overlays: space") {
      EXPECT_EQ(t.sectionStart(s), 59);
    } else if (s.name == "closing: end picture") {
      EXPECT_EQ(t.sectionStart(s), 123.5f);
    }
  }

  const struct {
    int fade;
    bool lower;
    float limit;
  } limits[] = {
      {glowIn, false, 50.5f},
      {glowOut, true, 40},
      {fadeIndex("oldschoolIn"), false, 30},
      {glowIn, true, 0},
      {fadeIndex("loveOut"), true, 75},
      {fadeIndex("scrollerIn"), false, 118},
      {fadeIndex("spaceIn"), false, 65},
      {fadeIndex("spaceIn"), true, 1},
  };
  for (const auto& l : limits) {
    SCOPED_TRACE(l.fade);
    EXPECT_EQ(fadeLimit(t, l.fade, l.lower), l.limit);
  }

  // Extra fades are written from their values; every other line as it was.
  t.fade(glowIn).at = 41;
  const std::string saved = timelineText(t);
  EXPECT_NE(saved.find("\nglowIn 41 0.5 in\n"), std::string::npos) << saved;
  EXPECT_NE(saved.find("\nlayer glow fx/glow.frag glow.png glowIn glowOut\n"), std::string::npos);
  EXPECT_TRUE(parsed(saved).sameFades(t));

  // The drawn text ignores comments, spacing and the storyboard.
  std::string respaced = text;
  respaced.replace(respaced.find("layer dots dots.frag"), 20, "# dots\nlayer  dots\tdots.frag");
  respaced.replace(respaced.find("storyboard 0 logoOut+3"), 22, "storyboard 0 logoOut+4");
  EXPECT_EQ(drawnText(parsed(respaced)), drawnText(parsed(text)));
  t = parsed(text);
  t.fade(glowIn).at = 41;
  EXPECT_NE(drawnText(t), drawnText(parsed(text)));
  t = parsed(text);
  t.closing = 121;
  EXPECT_NE(drawnText(t), drawnText(parsed(text)));
  EXPECT_FALSE(t.sameFades(parsed(text))) << "a moved cut moves the music's hit";
}

// A file is read only up to a sane size, refused in one short line past it.
TEST(Timeline, AHugeFileIsRefusedUnread) {
  char path[] = "/tmp/timeline_test_XXXXXX";
  const int fd = mkstemp(path);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(ftruncate(fd, 100 << 20), 0);  // 100 MB of zeros, sparse
  close(fd);
  Timeline t;
  std::string error;
  EXPECT_FALSE(loadTimeline(path, &t, &error));
  EXPECT_NE(error.find("too large: 104857600 bytes"), std::string::npos) << error.substr(0, 200);
  EXPECT_LT(error.size(), 200u);

  const std::string text = appended("layer dots dots.frag - spaceIn\n");
  ASSERT_EQ(truncate(path, 0), 0);
  FILE* f = std::fopen(path, "w");
  std::fwrite(text.data(), 1, text.size(), f);
  std::fclose(f);
  ASSERT_TRUE(loadTimeline(path, &t, &error)) << error;
  EXPECT_EQ(t.folder, "/tmp");
  unlink(path);
}
