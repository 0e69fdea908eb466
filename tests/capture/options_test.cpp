// The capture tool's command line: what it accepts, and what it refuses.
#include "tools/capture/options.h"
#include "tools/capture/presets.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

bool parse(std::vector<const char*> args, CaptureOptions* o, std::string* error) {
  args.insert(args.begin(), "demo-capture");
  return parseCaptureOptions(static_cast<int>(args.size()), args.data(), o, error);
}

}  // namespace

TEST(CaptureOptions, DefaultsAndValues) {
  CaptureOptions o;
  std::string error;
  ASSERT_TRUE(parse({"--video", "out.mp4"}, &o, &error)) << error;
  EXPECT_EQ(o.from, 0);
  EXPECT_EQ(o.to, 130);
  EXPECT_EQ(o.fps, 60);
  EXPECT_EQ(o.width, 960);
  EXPECT_EQ(o.height, 89);
  EXPECT_EQ(o.mediaDir, ".");
  EXPECT_EQ(frameCount(o), 7800);

  CaptureOptions p;
  ASSERT_TRUE(parse({"--from", "10.5", "--to", "12", "--fps", "25", "--size", "320x40", "--media",
                     "m", "--still", "11.25", "s.png"},
                    &p, &error))
      << error;
  EXPECT_EQ(p.output, Output::Still);
  EXPECT_EQ(p.stillTime, 11.25);
  EXPECT_EQ(p.target, "s.png");
  EXPECT_EQ(p.width, 320);
  EXPECT_EQ(p.height, 40);
  EXPECT_EQ(frameCount(p), 38) << "1.5 s at 25 fps: 37.5 frames, the last one partly shown";
  EXPECT_DOUBLE_EQ(frameTime(p, 25), 11.5);

  CaptureOptions q;
  ASSERT_TRUE(parse({"--sheet", "s.png", "--times", "0,6,120.2", "--columns", "3"}, &q, &error));
  EXPECT_EQ(q.sheetTimes, (std::vector<double>{0, 6, 120.2}));
  EXPECT_EQ(q.sheetColumns, 3);
}

TEST(CaptureOptions, BadCommandLinesAreRefusedWithAReason) {
  // Bounds: each refusal names its limit.
  const std::vector<std::pair<std::vector<const char*>, const char*>> bounds = {
      {{"--to", "1e300", "--frames", "d"}, "86400"},
      {{"--from", "1e14", "--to", "2e14", "--frames", "d"}, "86400"},
      {{"--still", "1e300", "s.png"}, "86400"},
      {{"--sheet", "s.png", "--times", "1,1e300"}, "86400"},
      {{"--sheet", "s.png", "--size", "8192x8192", "--count", "1000", "--columns", "1"}, "65535"},
      {{"--sheet", "s.png", "--size", "8192x8192", "--count", "6", "--columns", "3"},
       "256 megapixels"},
      {{"--count", "3", "--video", "v.mp4"}, "only to --sheet"},
      {{"--columns", "3", "--still", "5", "s.png"}, "only to --sheet"},
      {{"--still", "56", "o.jpg"}, ".png"},
      {{"--sheet", "s.jpg"}, ".png"},
      {{"--segment", "5/4", "--parts", "p"}, "1 <= K <= N <= 10000"},
      {{"--segment", "1/4"}, "--parts DIR"},
      {{"--parts", "p", "--video", "v.mp4"}, "only to --segment"},
      {{"--segments", "4", "--gif", "a.gif"}, "only to --video"},
      {{"--segments", "4", "--join", "p", "--video", "v.mp4"}, "choose one"},
      {{"--to", "1", "--segments", "61", "--video", "v.mp4"}, "60 frames, fewer than 61 parts"},
  };
  for (const auto& [args, limit] : bounds) {
    CaptureOptions o;
    std::string error;
    SCOPED_TRACE(limit);
    EXPECT_FALSE(parse(args, &o, &error));
    EXPECT_NE(error.find(limit), std::string::npos) << error;
  }
  CaptureOptions edge;
  std::string edgeError;
  EXPECT_TRUE(parse({"--sheet", "S.PNG", "--size", "8192x8192", "--count", "2"}, &edge, &edgeError))
      << edgeError;

  const std::vector<std::vector<const char*>> cases = {
      {},
      {"--bogus"},
      {"--video"},
      {"--video", "out.avi"},
      {"--still", "5"},
      {"--still", "abc", "x.png"},
      {"--fps", "0", "--frames", "d"},
      {"--fps", "-3", "--frames", "d"},
      {"--fps", "nan", "--frames", "d"},
      {"--size", "960", "--frames", "d"},
      {"--size", "0x89", "--frames", "d"},
      {"--size", "960x89x2", "--frames", "d"},
      {"--from", "20", "--to", "10", "--frames", "d"},
      {"--from", "-1", "--frames", "d"},
      {"--to", "1e999", "--frames", "d"},
      {"--frames", "d", "--video", "v.mp4"},
      {"--sheet", "s.png", "--times", "1,,2"},
      {"--sheet", "s.png", "--count", "2.5"},
      {"--sheet", "s.png", "--columns", "0"},
  };
  for (const auto& args : cases) {
    CaptureOptions o;
    std::string error;
    std::string joined;
    for (const char* a : args) joined += std::string(a) + " ";
    SCOPED_TRACE(joined);
    EXPECT_FALSE(parse(args, &o, &error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(error.find('\n'), std::string::npos) << "one line";
  }
}

TEST(CaptureOptions, PresetsFramesAndPreviewsFillInTheirDefaults) {
  struct Case {
    std::vector<const char*> args;
    int width, height, frameWidth, frameHeight, ssaa;
    double from, to, fps;
  } cases[] = {
      {{"--preset", "1080p", "--video", "v.mp4"}, 1920, 178, 1920, 1080, 2, 0, 130, 60},
      {{"--preset", "4k", "--ssaa", "1", "--video", "v.MP4"}, 3840, 356, 3840, 2160, 1, 0, 130, 60},
      {{"--frame", "1280x720", "--video", "v.mkv"}, 1280, 118, 1280, 720, 1, 0, 130, 60},
      {{"--frame", "400x20", "--video", "v.mkv"}, 216, 20, 400, 20, 1, 0, 130, 60},
      {{"--frame", "1280x720", "--size", "640x60", "--video", "v.webm"},
       640,
       60,
       1280,
       720,
       1,
       0,
       130,
       60},
      {{"--gif", "p.gif"}, 480, 44, 0, 0, 2, 20, 30, 15},
      {{"--gif", "p.webp", "--from", "100", "--fps", "10", "--size", "240x22"},
       240,
       22,
       0,
       0,
       2,
       100,
       110,
       10},
      {{"--gif", "p.gif", "--to", "5"}, 480, 44, 0, 0, 2, 0, 5, 15},
      {{"--ssaa", "4", "--still", "56", "s.png"}, 960, 89, 0, 0, 4, 0, 130, 60},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args[1]);
    CaptureOptions o;
    std::string error;
    ASSERT_TRUE(parse(c.args, &o, &error)) << error;
    EXPECT_EQ(o.width, c.width);
    EXPECT_EQ(o.height, c.height);
    EXPECT_EQ(o.frameWidth, c.frameWidth);
    EXPECT_EQ(o.frameHeight, c.frameHeight);
    EXPECT_EQ(o.ssaa, c.ssaa);
    EXPECT_EQ(o.from, c.from);
    EXPECT_EQ(o.to, c.to);
    EXPECT_EQ(o.fps, c.fps);
  }
  // The strip is centred on even offsets: 4:2:0 chroma pairs rows and columns.
  EXPECT_EQ(centredOffset(1080, 178), 450);
  EXPECT_EQ(centredOffset(2160, 356), 902);
  EXPECT_EQ(centredOffset(720, 118), 300);

  const std::vector<std::pair<std::vector<const char*>, const char*>> refused = {
      {{"--preset", "720p", "--video", "v.mp4"}, "1080p or 4k"},
      {{"--preset", "1080p", "--video", "v.webm"}, ".mp4"},
      {{"--preset", "1080p", "--still", "5", "s.png"}, ".mp4"},
      {{"--preset", "1080p", "--frame", "1920x1080", "--video", "v.mp4"}, "not both"},
      {{"--frame", "1280x720", "--preset", "1080p", "--video", "v.mp4"}, "not both"},
      {{"--frame", "1281x720", "--video", "v.mp4"}, "even"},
      {{"--frame", "1280x720", "--frames", "d"}, "only to --video"},
      {{"--frame", "640x360", "--size", "960x89", "--video", "v.mp4"}, "does not fit"},
      {{"--size", "8192x100", "--ssaa", "3", "--still", "1", "s.png"}, "16384"},
      {{"--ssaa", "0", "--still", "1", "s.png"}, "1 to 8"},
      {{"--gif", "p.png"}, ".gif or .webp"},
  };
  for (const auto& [args, reason] : refused) {
    SCOPED_TRACE(reason);
    CaptureOptions o;
    std::string error;
    EXPECT_FALSE(parse(args, &o, &error));
    EXPECT_NE(error.find(reason), std::string::npos) << error;
  }
}
