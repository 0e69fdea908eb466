// Runs mediagen once into a temporary folder and checks each file against
// what the player's layers rely on: sizes, transparency, tiling, loudness
// over the timeline, and byte-identical reruns.
#include <gtest/gtest.h>

#include <SDL_image.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "presentation/media.h"
#include "presentation/timeline.h"
#include "presentation/window.h"
#include "tests/media/media_helpers.h"
#include "tools/common/music/mastering.h"
#include "tools/common/music/music.h"
#include "tools/common/music/score.h"
#include "tools/mediagen/text.h"

using namespace media_test;

namespace fs = std::filesystem;

namespace {

double toDb(double v) { return v > 0.0 ? 20.0 * std::log10(v) : -300.0; }

class Media : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    char tmpl[] = "/tmp/media_test_XXXXXX";
    root_ = mkdtemp(tmpl);
    first_ = run(quoted(MEDIAGEN_EXE) + " " + quoted((root_ / "a").string()));
    if (first_.exitCode == 0) loadSound(out(mediaName(MediaId::music)), sound_);
  }
  static void TearDownTestSuite() {
    std::error_code ec;
    fs::remove_all(root_, ec);
  }
  static fs::path out(const std::string& name) { return root_ / "a" / name; }

  static fs::path root_;
  static RunResult first_;
  static Sound sound_;
};
fs::path Media::root_;
RunResult Media::first_;
Sound Media::sound_;

// ---- generator behaviour --------------------------------------------------------

TEST_F(Media, GeneratorWritesExactlyTheListedFilesQuietly) {
  ASSERT_EQ(first_.exitCode, 0) << first_.output;
  EXPECT_LE(std::count(first_.output.begin(), first_.output.end(), '\n'), 1) << first_.output;
  std::vector<std::string> listed, written;
  for (const MediaFile& file : kMediaFiles) listed.push_back(file.name);
  listed.push_back(DEMO_LARGE_PICTURE_FOLDER);
  for (const auto& entry : fs::directory_iterator(root_ / "a")) {
    written.push_back(entry.path().filename().string());
    if (!entry.is_directory()) {
      EXPECT_GT(entry.file_size(), 0u) << written.back();
    }
  }
  std::sort(listed.begin(), listed.end());
  std::sort(written.begin(), written.end());
  EXPECT_EQ(written, listed);
  // The large folder holds every picture (not the music) at twice the width
  // and height of its window-sized file.
  std::vector<std::string> large;
  for (const auto& entry : fs::directory_iterator(root_ / "a" / DEMO_LARGE_PICTURE_FOLDER)) {
    large.push_back(entry.path().filename().string());
  }
  EXPECT_EQ(large.size(), static_cast<size_t>(kMediaFileCount - 1));
  for (const std::string& name : large) {
    SCOPED_TRACE(name);
    Picture small, big;
    ASSERT_TRUE(loadPicture(out(name), small)) << IMG_GetError();
    ASSERT_TRUE(loadPicture(out(std::string(DEMO_LARGE_PICTURE_FOLDER "/") + name), big));
    EXPECT_EQ(big.w, small.w * kLargePictureScale);
    EXPECT_EQ(big.h, small.h * kLargePictureScale);
    EXPECT_EQ(big.hasAlpha, small.hasAlpha);
  }
}

TEST_F(Media, SecondRunGivesIdenticalBytes) {
  ASSERT_EQ(first_.exitCode, 0) << first_.output;
  const RunResult again = run(quoted(MEDIAGEN_EXE) + " " + quoted((root_ / "b").string()));
  ASSERT_EQ(again.exitCode, 0) << again.output;
  for (const MediaFile& file : kMediaFiles)
    EXPECT_TRUE(readBytes(out(file.name)) == readBytes(root_ / "b" / file.name))
        << file.name << " differs between runs";
  for (const auto& entry : fs::directory_iterator(root_ / "a" / DEMO_LARGE_PICTURE_FOLDER)) {
    const fs::path rerun = root_ / "b" / DEMO_LARGE_PICTURE_FOLDER / entry.path().filename();
    EXPECT_TRUE(readBytes(entry.path()) == readBytes(rerun)) << rerun << " differs between runs";
  }
}

TEST_F(Media, FailuresExitOneWithOneLineNamingTheCulprit) {
  struct Case {
    const char* what;
    std::string command;
    std::string mustMention;
  };
  // A regular file where the output folder should go cannot be replaced.
  const fs::path blocker = root_ / "blocker";
  std::ofstream(blocker) << "x";
  const Case cases[] = {
      {"missing font",
       "MEDIAGEN_FONT_DIR=" + quoted((root_ / "no-fonts").string()) + " " + quoted(MEDIAGEN_EXE) +
           " " + quoted((root_ / "c").string()),
       mediagen::requiredFonts().front().file},
      {"output folder blocked", quoted(MEDIAGEN_EXE) + " " + quoted((blocker / "sub").string()),
       blocker.string()},
      // A bad command line exits 2 with the refusal and then the usage.
      {"no arguments", quoted(MEDIAGEN_EXE), "mediagen: missing OUTDIR\nusage: mediagen OUTDIR"},
  };
  for (const Case& c : cases) {
    const RunResult r = run(c.command);
    const bool refused = c.mustMention.find("usage") != std::string::npos;
    EXPECT_EQ(r.exitCode, refused ? 2 : 1) << c.what << ": " << r.output;
    EXPECT_EQ(std::count(r.output.begin(), r.output.end(), '\n'), refused ? 2 : 1)
        << c.what << ": " << r.output;
    EXPECT_NE(r.output.find(c.mustMention), std::string::npos) << c.what << ": " << r.output;
  }
  EXPECT_FALSE(fs::exists(root_ / "c")) << "nothing is written when a font is missing";
}

// ---- pictures -------------------------------------------------------------------

struct PictureCase {
  const char* name;
  int w, h;
  bool opaque;
  // For transparent layers: share of fully transparent pixels so the layers
  // below show through, and of clearly visible pixels.
  double minClear, minVisible;
  // Visible content must span this share of the width: full-window layers
  // are stretched over a 960x89 strip.
  double minSpan;
  // ... and lie within these columns. The scroller's first 960 columns are
  // blank so the text enters from the right, and its message ends before
  // 3168, the window's right edge when the show cuts away at 120 s.
  int inkFrom = 0, inkTo = 1 << 20;
};

const PictureCase kPictures[] = {
    {mediaName(MediaId::logo), 960, 89, true, 0, 0, 0},
    {mediaName(MediaId::testhall), 960, 89, true, 0, 0, 0},
    {mediaName(MediaId::guruText), 960, 89, true, 0, 0, 0},
    {mediaName(MediaId::noise), 256, 256, true, 0, 0, 0},
    // Opaque: the starfield program weighs colour by alpha squared.
    {mediaName(MediaId::starfield), 512, 512, true, 0, 0, 0},
    {mediaName(MediaId::guruRect), 960, 89, false, 0.6, 0.1, 0.95},
    {mediaName(MediaId::oldschool), 960, 89, false, 0.5, 0.1, 0.8},
    {mediaName(MediaId::space), 960, 89, false, 0.25, 0.1, 0.6},
    {mediaName(MediaId::love), 960, 89, false, 0.5, 0.1, 0.8},
    {mediaName(MediaId::scroller), 3200, 89, false, 0.5, 0.05, 0.6, 960, 3168},
};

TEST_F(Media, PicturesHaveTheSizeAndTransparencyTheirLayerNeeds) {
  ASSERT_EQ(first_.exitCode, 0) << first_.output;
  for (const PictureCase& c : kPictures) {
    SCOPED_TRACE(c.name);
    Picture pic;
    ASSERT_TRUE(loadPicture(out(c.name), pic)) << IMG_GetError();
    EXPECT_EQ(pic.w, c.w);
    EXPECT_EQ(pic.h, c.h);
    size_t clear = 0, visible = 0;
    int minX = pic.w, maxX = -1;
    for (int y = 0; y < pic.h; ++y)
      for (int x = 0; x < pic.w; ++x) {
        const int a = pic.at(x, y, 3);
        clear += a == 0;
        if (a >= 128) {
          ++visible;
          minX = std::min(minX, x);
          maxX = std::max(maxX, x);
        }
      }
    const double total = static_cast<double>(pic.w) * pic.h;
    if (c.opaque) {
      EXPECT_EQ(static_cast<double>(visible), total) << "every pixel must be opaque";
      // Not a flat fill: a picture has contrast.
      double sum = 0, sum2 = 0;
      for (int y = 0; y < pic.h; ++y)
        for (int x = 0; x < pic.w; ++x) {
          sum += pic.luma(x, y);
          sum2 += pic.luma(x, y) * pic.luma(x, y);
        }
      const double mean = sum / total;
      EXPECT_GT(std::sqrt(sum2 / total - mean * mean), 20.0);
    } else {
      ASSERT_TRUE(pic.hasAlpha);
      EXPECT_GE(static_cast<double>(clear) / total, c.minClear);
      EXPECT_GE(static_cast<double>(visible) / total, c.minVisible);
      EXPECT_GE((maxX - minX + 1) / static_cast<double>(pic.w), c.minSpan);
      EXPECT_GE(minX, c.inkFrom);
      EXPECT_LT(maxX, c.inkTo);
    }
  }
}

// Statistics of the wrap seam compared with neighbouring pixels inside the
// picture, along one axis.
struct Seam {
  double across = 0, inside = 0;  // mean absolute difference
  // "Hard cuts": a clearly visible pixel next to a fully transparent one,
  // which is what a star clipped at the edge instead of wrapped leaves.
  int cutsAcross = 0;
  double cutsInsideExpected = 0;  // interior rate scaled to the seam length
};

Seam seam(const Picture& pic, int channel, bool horizontal) {
  const int along = horizontal ? pic.h : pic.w, across = horizontal ? pic.w : pic.h;
  auto v = [&](int a, int i) { return horizontal ? pic.at(i, a, channel) : pic.at(a, i, channel); };
  auto cut = [](int p, int q) { return std::max(p, q) >= 32 && std::min(p, q) == 0; };
  Seam s;
  long cutsInside = 0;
  for (int a = 0; a < along; ++a) {
    s.across += std::abs(v(a, 0) - v(a, across - 1));
    s.cutsAcross += cut(v(a, 0), v(a, across - 1));
    for (int i = 0; i + 1 < across; ++i) {
      s.inside += std::abs(v(a, i) - v(a, i + 1));
      cutsInside += cut(v(a, i), v(a, i + 1));
    }
  }
  const double pairs = static_cast<double>(along) * (across - 1);
  s.across /= along;
  s.inside /= pairs;
  s.cutsInsideExpected = static_cast<double>(cutsInside) / pairs * along;
  return s;
}

TEST_F(Media, RepeatingTexturesTileWithoutSeams) {
  ASSERT_EQ(first_.exitCode, 0) << first_.output;
  struct Case {
    const char* name;
    int channel;  // red carries the noise, blue the nebula and the stars
  };
  for (const Case& c :
       {Case{mediaName(MediaId::noise), 0}, Case{mediaName(MediaId::starfield), 2}}) {
    Picture pic;
    ASSERT_TRUE(loadPicture(out(c.name), pic)) << c.name;
    for (bool horizontal : {true, false}) {
      const Seam s = seam(pic, c.channel, horizontal);
      const std::string where = std::string(c.name) + (horizontal ? " left/right" : " top/bottom");
      EXPECT_LE(s.across, 2.0 * s.inside + 1.0)
          << where << " seam " << s.across << " vs " << s.inside;
      EXPECT_LE(s.cutsAcross, 3.0 * s.cutsInsideExpected + 2.0)
          << where << " seam has " << s.cutsAcross << " hard cuts";
    }
  }
}

TEST_F(Media, NoiseUsesTheFullRange) {
  ASSERT_EQ(first_.exitCode, 0) << first_.output;
  Picture pic;
  ASSERT_TRUE(loadPicture(out(mediaName(MediaId::noise)), pic));
  int lo = 255, hi = 0;
  for (int y = 0; y < pic.h; ++y)
    for (int x = 0; x < pic.w; ++x) {
      lo = std::min(lo, pic.at(x, y, 0));
      hi = std::max(hi, pic.at(x, y, 0));
    }
  EXPECT_LE(lo, 10);
  EXPECT_GE(hi, 245);
}

TEST_F(Media, CrashFrameSurroundsTheCrashText) {
  ASSERT_EQ(first_.exitCode, 0) << first_.output;
  Picture text, frame;
  ASSERT_TRUE(loadPicture(out(mediaName(MediaId::guruText)), text));
  ASSERT_TRUE(loadPicture(out(mediaName(MediaId::guruRect)), frame));
  ASSERT_EQ(text.w, frame.w);
  ASSERT_EQ(text.h, frame.h);
  // Bounding box of the lettering.
  int x0 = text.w, x1 = -1, y0 = text.h, y1 = -1;
  for (int y = 0; y < text.h; ++y)
    for (int x = 0; x < text.w; ++x)
      if (text.luma(x, y) > 40) {
        x0 = std::min(x0, x), x1 = std::max(x1, x);
        y0 = std::min(y0, y), y1 = std::max(y1, y);
        EXPECT_EQ(frame.at(x, y, 3), 0) << "frame covers text at " << x << "," << y;
      }
  ASSERT_GE(x1, 0) << "no text drawn";
  // Solid frame on all four sides of the text, clear in between.
  auto solidBetween = [&](int ax, int ay, int bx, int by) {
    const int steps = std::max(std::abs(bx - ax), std::abs(by - ay));
    for (int i = 0; i <= steps; ++i) {
      const int x = ax + (bx - ax) * i / std::max(steps, 1),
                y = ay + (by - ay) * i / std::max(steps, 1);
      if (frame.at(x, y, 3) == 255) return true;
    }
    return false;
  };
  const int mx = (x0 + x1) / 2, my = (y0 + y1) / 2;
  EXPECT_TRUE(solidBetween(x0, my, 0, my)) << "left";
  EXPECT_TRUE(solidBetween(x1, my, frame.w - 1, my)) << "right";
  EXPECT_TRUE(solidBetween(mx, y0, mx, 0)) << "top";
  EXPECT_TRUE(solidBetween(mx, y1, mx, frame.h - 1)) << "bottom";
  EXPECT_EQ(frame.at(mx, my, 3), 0) << "inside of the frame must be clear";
}

// ---- soundtrack -----------------------------------------------------------------

// A band as ffmpeg's highpass/lowpass filters take it: a two-pole
// Butterworth section (the audio cookbook's biquad), or no filter at all.
struct Band {
  double hz = 0;
  bool high = false;
};

// Level of [from, to) in dBFS, both channels; a band filter runs in from
// 0.2 s before the window so it has settled.
double rmsDb(const Sound& s, double from, double to, Band band = {}) {
  const double rate = static_cast<double>(s.rate);
  const size_t a = static_cast<size_t>(from * rate),
               b = std::min(s.left.size(), static_cast<size_t>(to * rate));
  const double w = 2.0 * 3.14159265358979 * band.hz / rate, alpha = std::sin(w) / std::sqrt(2.0),
               c = std::cos(w), a0 = 1.0 + alpha;
  const double b1 = (band.high ? -(1.0 + c) : 1.0 - c) / a0, b0 = std::fabs(b1) / 2.0;
  const double a1 = -2.0 * c / a0, a2 = (1.0 - alpha) / a0;
  double sum = 0;
  for (const std::vector<float>* ch : {&s.left, &s.right}) {
    double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
    for (size_t i = band.hz > 0 ? a - std::min(a, static_cast<size_t>(0.2 * rate)) : a; i < b;
         ++i) {
      const double x = (*ch)[i];
      const double y = band.hz > 0 ? b0 * x + b1 * x1 + b0 * x2 - a1 * y1 - a2 * y2 : x;
      x2 = x1;
      x1 = x;
      y2 = y1;
      y1 = y;
      if (i >= a) sum += 0.5 * y * y;
    }
  }
  return toDb(std::sqrt(sum / static_cast<double>(std::max<size_t>(1, b - a))));
}

const Band kHighs{2500, true}, kLows{150, false};

// A hit at each time: its highs (the crash) and lows (kick and sub) at least
// 10 dB above the 0.4 s before, and 8 dB above the music a beat earlier
// (1.4 to 1.0 s before), so that it stands out of the groove and not only
// out of the beat of space before it.
void expectHits(const Sound& sound, const std::vector<double>& hits) {
  for (double hit : hits)
    for (const Band& band : {kHighs, kLows}) {
      const double level = rmsDb(sound, hit, hit + 0.4, band);
      const char* name = band.high ? "highs" : "lows";
      EXPECT_GE(level, rmsDb(sound, hit - 0.4, hit, band) + 10.0) << name << " at " << hit << " s";
      EXPECT_GE(level, rmsDb(sound, hit - 1.4, hit - 1.0, band) + 8.0)
          << name << " at " << hit << " s against a beat earlier";
    }
}

// The most beats in a row that each start with a kick.
int longestKickRun(const music::Score& score) {
  std::vector<double> beats;
  for (const music::Hit& k : score.kick) {
    const double beat = std::round(k.t / music::kBeat);
    if (std::fabs(k.t / music::kBeat - beat) < 1e-6) beats.push_back(beat);
  }
  std::sort(beats.begin(), beats.end());
  beats.erase(std::unique(beats.begin(), beats.end()), beats.end());
  int run = 0, longest = 0;
  for (size_t i = 0; i < beats.size(); ++i) {
    run = i > 0 && beats[i] == beats[i - 1] + 1 ? run + 1 : 1;
    longest = std::max(longest, run);
  }
  return longest;
}

TEST_F(Media, MusicIsLongEnoughStereoAndUnclipped) {
  ASSERT_EQ(first_.exitCode, 0) << first_.output;
  ASSERT_FALSE(sound_.left.empty()) << "the music did not decode";
  EXPECT_EQ(sound_.rate, 44100);
  EXPECT_EQ(sound_.channels, 2);
  EXPECT_GE(static_cast<double>(sound_.left.size()) / static_cast<double>(sound_.rate), 130.0);
  float peak = 0;
  for (size_t i = 0; i < sound_.left.size(); ++i)
    peak = std::max({peak, std::fabs(sound_.left[i]), std::fabs(sound_.right[i])});
  EXPECT_LE(toDb(peak), -1.0);
  // Mastered to the streaming loudness norm, as decoded.
  EXPECT_NEAR(music::integratedLoudness(sound_.left, sound_.right, 44100), -14.0, 1.0);
}

TEST_F(Media, MusicFollowsTheTimeline) {
  ASSERT_FALSE(sound_.left.empty()) << "the music did not decode";
  struct Section {
    const char* name;
    double from, to, minDb;
  };
  // The sections between the timeline's fades and cuts.
  const Timeline& tl = timeline::builtin();
  const double oldschool = tl.oldschoolIn.at, morph = tl.morphIn.at, bumps = tl.morphOffsetIn.at,
               melt = tl.boxIn.at, box = fadeEdge(tl.boxIn), stars = tl.starfieldIn.at,
               scroller = tl.scrollerIn.at, closing = tl.closing, closed = tl.endPicture + 2.5;
  const Section sections[] = {
      {"intro pads", 0.5, oldschool, -35},
      {"bass pulse", oldschool, morph, -35},
      {"drums in", morph, bumps, -25},
      {"build", bumps, melt, -25},
      {"melt", melt, box, -30},
      {"full beat", box, stars, -25},
      {"starfield", stars, scroller, -28},
      {"scroller", scroller, closing, -25},
      {"closing break", closing, closed, -40},
  };
  for (const Section& s : sections) EXPECT_GE(rmsDb(sound_, s.from, s.to), s.minDb) << s.name;

  // The arrangement grows where the show does and drops back at the close.
  EXPECT_GT(rmsDb(sound_, morph, bumps), rmsDb(sound_, 0, oldschool) + 3.0) << "drums start";
  EXPECT_GT(rmsDb(sound_, scroller, closing), rmsDb(sound_, closing, closed) + 3.0)
      << "closing break is quieter";
  EXPECT_LT(rmsDb(sound_, 129.6, 131), -60.0) << "clean end by 130 s";

  // The music lands where the picture does: a hit where each fading
  // picture is whole and on both cuts, its highs (the crash) and lows (kick
  // and sub) at least 10 dB above the 0.4 s before; and over each fade a
  // swell, the highs of its last half second 3 dB above its first.
  const Fade fades[] = {tl.spaceIn, tl.loveIn, tl.starfieldIn, tl.scrollerIn};
  std::vector<double> hits;
  for (int i = 0; i < kCutCount; ++i) hits.push_back(tl.cut(i));
  for (const Fade& f : fades) {
    const double start = f.at, whole = fadeEdge(f);
    hits.push_back(whole);
    EXPECT_GE(rmsDb(sound_, whole - 0.5, whole, kHighs),
              rmsDb(sound_, start, start + 0.5, kHighs) + 3.0)
        << "swell from " << start << " s to " << whole << " s";
  }
  expectHits(sound_, hits);
  // The melt resolves with the shrinking picture instead of peaking there.
  const double spaceWhole = fadeEdge(tl.spaceIn);
  EXPECT_LT(rmsDb(sound_, melt, box), rmsDb(sound_, spaceWhole, spaceWhole + 2) - 3.0);

  // No stretch longer than 2 s below -60 dBFS before the fade ends.
  const double win = 0.25;
  double quietRun = 0, longest = 0;
  for (double t = 0; t + win <= 129.0; t += win) {
    quietRun = rmsDb(sound_, t, t + win) < -60.0 ? quietRun + win : 0.0;
    longest = std::max(longest, quietRun);
  }
  EXPECT_LE(longest, 2.0);

  // It breathes: within each half minute of the beat the short-term
  // loudness (3 s windows) swings by 6 LU or more, between the breakdowns
  // and the full beat.
  const std::vector<double> shortTerm =
      music::shortTermLoudness(sound_.left, sound_.right, static_cast<int>(sound_.rate), 0.1);
  for (const auto& [from, to] : {std::pair{20, 50}, {50, 80}, {80, 110}}) {
    const auto a = shortTerm.begin() + from * 10, b = shortTerm.begin() + (to - 3) * 10 + 1;
    EXPECT_GE(*std::max_element(a, b) - *std::min_element(a, b), 6.0)
        << "short-term loudness from " << from << " to " << to << " s";
  }
}

// The music of any timeline, composed in process: a maker's fade-in gets a
// hit where its picture is whole, beside the built-in ones; fades too slow to
// end within the show cost no more than the track holds (their risers were
// once rendered over all of 1/rate seconds, hours of work) and leave the
// cuts of the close their hits.
TEST_F(Media, MusicScoresEveryFadeOfAnyTimeline) {
  Timeline extra = timeline::builtin(), slow = timeline::builtin();
  extra.extraFades.push_back({"mine", Fade{100, 0.5f, true}});
  for (Fade* f : {&slow.spaceIn, &slow.boxIn, &slow.loveIn, &slow.starfieldIn, &slow.scrollerIn})
    f->rate = 1e-7f;
  slow.extraFades.push_back({"mine", Fade{60, 1e-30f, true}});
  const struct Case {
    const char* name;
    const Timeline& tl;
    std::vector<double> hits;
  } cases[] = {
      {"a maker's fade-in at 100 s", extra, {57, 80, 96, 102, 110, 120, 123.5}},
      {"fade-ins at 1e-7 and 1e-30 per second", slow, {120, 123.5}},
  };
  // The kick never runs on for more than a phrase of 8 bars (32 beats), on
  // these timelines or the built-in one.
  for (const Timeline* tl : std::vector<const Timeline*>{&timeline::builtin(), &extra, &slow})
    EXPECT_LE(longestKickRun(music::composeScore(*tl)), 32);
  // The breakdown under LOVE follows its fade: no kick while it fades in,
  // wherever the fade is.
  Timeline later = timeline::builtin();
  later.loveIn.at += 3.0f;
  for (const Timeline* tl : std::vector<const Timeline*>{&timeline::builtin(), &later}) {
    const music::Score score = music::composeScore(*tl);
    EXPECT_TRUE(std::none_of(
        score.kick.begin(), score.kick.end(),
        [&](const music::Hit& k) { return k.t >= tl->loveIn.at && k.t < fadeEdge(tl->loveIn); }))
        << "kick under LOVE's fade from " << tl->loveIn.at << " s";
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    music::Audio audio = music::composeSoundtrack(c.tl);
    Sound sound{audio.rate, 2, std::move(audio.left), std::move(audio.right)};
    ASSERT_EQ(sound.left.size(), 131u * 44100u);
    expectHits(sound, c.hits);
  }
}

// Summed to mono, as many party systems and phones play it, no part of the
// show loses more than 1.6 LU: the stereo width never carries the music.
TEST_F(Media, MusicHoldsUpSummedToMono) {
  ASSERT_FALSE(sound_.left.empty()) << "the music did not decode";
  const size_t rate = static_cast<size_t>(sound_.rate);
  const int hz = static_cast<int>(sound_.rate);
  const Timeline& tl = timeline::builtin();
  const std::vector<Section>& sections = tl.sections;
  for (size_t i = 0; i < sections.size(); ++i) {
    const double from = tl.sectionStart(sections[i]);
    const double to = i + 1 < sections.size() ? tl.sectionStart(sections[i + 1]) : kEndTime;
    const auto a = static_cast<std::ptrdiff_t>(from * static_cast<double>(rate)),
               b = static_cast<std::ptrdiff_t>(to * static_cast<double>(rate));
    const std::vector<float> l(sound_.left.begin() + a, sound_.left.begin() + b),
        r(sound_.right.begin() + a, sound_.right.begin() + b);
    std::vector<float> mid(l.size());
    for (size_t k = 0; k < l.size(); ++k) mid[k] = 0.5f * (l[k] + r[k]);
    const double loss =
        music::integratedLoudness(l, r, hz) - music::integratedLoudness(mid, mid, hz);
    EXPECT_LE(loss, 1.6) << sections[i].name << " from " << from << " s";
  }
}

}  // namespace
