// The tools' command lines: what the capture takes, and one table of what
// the capture, the studio and the benchmark refuse, and how they say so.
#include "bench/options.h"
#include "presentation/timeline.h"
#include "tests/support/demo_process.h"
#include "tools/capture/options.h"
#include "tools/capture/presets.h"
#include "tools/studio/options.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

using namespace testing_support;

namespace {

bool parse(std::vector<const char*> args, CaptureOptions* o, std::string* error) {
  args.insert(args.begin(), "demo-capture");
  return parseCaptureOptions(static_cast<int>(args.size()), args.data(), o, error);
}

enum class Tool { capture, studio, bench };
const char* const kToolNames[] = {"demo-capture", "demo-studio", "demo-bench"};

bool parseWith(Tool tool, std::vector<const char*> args, std::string* error) {
  args.insert(args.begin(), kToolNames[static_cast<int>(tool)]);
  const int argc = static_cast<int>(args.size());
  if (tool == Tool::capture) {
    CaptureOptions o;
    return parseCaptureOptions(argc, args.data(), &o, error);
  }
  if (tool == Tool::studio) {
    StudioOptions o;
    return parseStudioOptions(argc, args.data(), &o, error);
  }
  BenchOptions o;
  return parseCommandLine(benchOptionTable(&o), argc, args.data(), error) == Parsed::ok;
}

}  // namespace

TEST(ToolOptions, BadCommandLinesAreRefusedInOneLineNamingTheOptionAndTheReason) {
  const Tool capture = Tool::capture, studio = Tool::studio, bench = Tool::bench;
  const struct Case {
    Tool tool;
    std::vector<const char*> args;
    const char* reason;
  } cases[] = {
      {capture, {}, "no output"},
      {capture, {"--bogus"}, "unknown option \"--bogus\""},
      {capture, {"--video"}, "--video: missing"},
      {capture, {"--video", "out.avi"}, ".mp4, .webm or .mkv"},
      {capture, {"--still", "5"}, "--still: missing"},
      {capture,
       {"--still", "abc", "x.png"},
       "--still: \"abc\" (not a number: \"abc\", nor a fade or cut of this file)"},
      {capture, {"--still", "56", "o.jpg"}, ".png"},
      {capture, {"--still", "spaceIn+x", "s.png"}, "or FADE, FADE+S, FADE-S of the timeline"},
      {capture,
       {"--gif", "p.gif", "--clips", "spaceIn+3:spaceIn+1"},
       "--clips: \"spaceIn+3:spaceIn+1\" (its end is not after its start)"},
      {capture, {"--still", "scrollerIn+30", "s.png"}, "scrollerIn+30 is 135 s, outside 0 to 130"},
      {capture, {"--still", "1e300", "s.png"}, "86400"},
      {capture,
       {"--fps", "0", "--frames", "d"},
       "--fps: \"0\" (frames per second from 0.1 to 1000)"},
      {capture, {"--fps", "1e-9", "--video", "x.mp4"}, "--fps: \"1e-9\""},
      {capture, {"--fps", "nan", "--frames", "d"}, "--fps: \"nan\""},
      {capture, {"--fps", "30fps", "--frames", "d"}, "--fps: \"30fps\""},
      {capture, {"--size", "960", "--frames", "d"}, "--size: \"960\" (WxH, each 1 to 8192)"},
      {capture, {"--size", "0x89", "--frames", "d"}, "--size: \"0x89\""},
      {capture, {"--size", "960x89x2", "--frames", "d"}, "--size: \"960x89x2\""},
      {capture, {"--from", "20", "--to", "10", "--frames", "d"}, "later than --from"},
      {capture, {"--from", "-1", "--frames", "d"}, "--from: \"-1\" (seconds from 0 to 86400)"},
      {capture, {"--to", "1e300", "--frames", "d"}, "--to: \"1e300\""},
      {capture, {"--to", "1e999", "--frames", "d"}, "--to: \"1e999\""},
      {capture, {"--frames", "d", "--video", "v.mp4"}, "--video: \"v.mp4\" (one output only"},
      {capture, {"--sheet", "s.jpg"}, ".png"},
      {capture, {"--sheet", "s.png", "--times", "1,,2"}, "--times: \"1,,2\""},
      {capture, {"--sheet", "s.png", "--times", "1,1e300"}, "86400"},
      {capture,
       {"--sheet", "s.png", "--count", "2.5"},
       "--count: \"2.5\" (a whole number from 1 to 1000)"},
      {capture, {"--sheet", "s.png", "--columns", "0"}, "--columns: \"0\""},
      {capture,
       {"--sheet", "s.png", "--size", "8192x8192", "--count", "1000", "--columns", "1"},
       "65535"},
      {capture,
       {"--sheet", "s.png", "--size", "8192x8192", "--count", "6", "--columns", "3"},
       "256 megapixels"},
      {capture, {"--count", "3", "--video", "v.mp4"}, "--count applies only to --sheet"},
      {capture, {"--columns", "3", "--still", "5", "s.png"}, "only to --sheet"},
      {capture, {"--segment", "5/4", "--parts", "p"}, "--segment: \"5/4\" (K/N"},
      {capture, {"--segment", "1/4"}, "--parts DIR"},
      {capture, {"--parts", "p", "--video", "v.mp4"}, "only to --segment"},
      {capture, {"--segments", "4", "--gif", "a.gif"}, "--segments applies only to --video"},
      {capture, {"--segments", "4", "--join", "p", "--video", "v.mp4"}, "choose one"},
      {capture, {"--to", "1", "--segments", "61", "--video", "v.mp4"}, "fewer than 61 parts"},
      {capture, {"--preset", "720p", "--video", "v.mp4"}, "1080p or 4k"},
      {capture, {"--preset", "1080p", "--video", "v.webm"}, ".mp4"},
      {capture, {"--preset", "1080p", "--still", "5", "s.png"}, ".mp4"},
      {capture, {"--preset", "1080p", "--frame", "1920x1080", "--video", "v.mp4"}, "not both"},
      {capture, {"--frame", "1280x720", "--preset", "1080p", "--video", "v.mp4"}, "not both"},
      {capture, {"--frame", "1281x720", "--video", "v.mp4"}, "--frame: \"1281x720\" (WxH, even"},
      {capture, {"--frame", "1280x720", "--frames", "d"}, "only to --video"},
      {capture, {"--frame", "640x360", "--size", "960x89", "--video", "v.mp4"}, "does not fit"},
      {capture, {"--size", "8192x100", "--ssaa", "3", "--still", "1", "s.png"}, "16384"},
      {capture,
       {"--ssaa", "0", "--still", "1", "s.png"},
       "--ssaa: \"0\" (a whole number from 1 to 8)"},
      {capture, {"--gif", "p.png"}, ".gif or .webp"},
      {studio, {"--bogus"}, "unknown option \"--bogus\""},
      {studio, {"--media"}, "--media: missing"},
      {studio, {"--at", "131"}, "--at: \"131\" (seconds from 0 to 130)"},
      {studio, {"--loop", "5:3"}, "--loop: \"5:3\" (A:B, each 0 to 130, A before B)"},
      {studio, {"--loop", "5"}, "--loop: \"5\""},
      {studio, {"--speed", "9"}, "--speed: \"9\" (a factor from 0.25 to 4)"},
      {studio, {"--scale", "2.5"}, "--scale: \"2.5\" (a whole number from 1 to 8)"},
      {bench, {"--bogus"}, "unknown option \"--bogus\""},
      {bench,
       {"--reps", "2147483647", "--times", "56"},
       "--reps: \"2147483647\" (a whole number from 1 to 1000)"},
      {bench, {"--reps", "99999999999"}, "--reps: \"99999999999\""},
      {bench, {"--reps", "5abc"}, "--reps: \"5abc\""},
      {bench, {"--reps", "0"}, "--reps: \"0\""},
      {bench, {"--reps"}, "--reps: missing"},
      {bench,
       {"--times", "56,x"},
       "--times: \"56,x\" (up to 1000 comma-separated times, each 0 to 86400 s)"},
  };
  for (const Case& c : cases) {
    std::string joined = kToolNames[static_cast<int>(c.tool)];
    for (const char* a : c.args) joined += std::string(" ") + a;
    SCOPED_TRACE(joined);
    std::string error;
    EXPECT_FALSE(parseWith(c.tool, c.args, &error));
    EXPECT_NE(error.find(c.reason), std::string::npos) << error;
    EXPECT_EQ(error.find('\n'), std::string::npos) << "one line";
  }
}

// As run: a refusal exits 2 with its line and the usage on stderr, --help
// prints the usage and the options' bounds on stdout and exits 0.
TEST(ToolOptions, ToolsExitTwoOnARefusalAndZeroWithTheHelpOnStdout) {
  for (const char* tool : kToolNames) {
    SCOPED_TRACE(tool);
    const std::string binary = std::string(DEMO_BINARY_DIR) + "/" + tool;
    auto run = [&](const std::string& args) {
      DemoOptions o;
      o.binary = "/bin/sh";
      o.workingDir = "/tmp";
      o.args = {"-c", "exec \"$0\" " + args, binary};
      return runDemo(o);
    };
    const DemoRun bad = run("--bogus 2>&1 >/dev/null");
    EXPECT_EQ(bad.status, 2) << bad.output;
    EXPECT_EQ(bad.output.find(std::string(tool) + ": unknown option \"--bogus\"\nusage: " + tool),
              0u)
        << bad.output;
    const DemoRun help = run("--help 2>/dev/null");
    EXPECT_EQ(help.status, 0) << help.output;
    EXPECT_EQ(help.output.find(std::string("usage: ") + tool), 0u) << help.output;
    EXPECT_NE(help.output.find("a whole number from 1 to"), std::string::npos) << help.output;
  }
}

// The help's figures are the ones the tool uses: the preview's default size
// is what --gif draws, and odd sizes are said to be padded as they are.
TEST(CaptureOptions, HelpStatesThePreviewSizeItDraws) {
  CaptureOptions o;
  std::string error;
  ASSERT_TRUE(parse({"--gif", "p.gif"}, &o, &error)) << error;
  const std::string help = captureHelp();
  EXPECT_NE(help.find(std::to_string(o.width) + "x" + std::to_string(o.height) + ", "),
            std::string::npos)
      << help;
  EXPECT_NE(help.find("becomes 960x90"), std::string::npos);
}

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

  // Times written from the built-in timeline's fades and cuts.
  const Timeline& tl = timeline::builtin();
  CaptureOptions r;
  ASSERT_TRUE(parse({"--sheet", "s.png", "--times", "storyboard"}, &r, &error)) << error;
  EXPECT_EQ(r.sheetTimes.size(), tl.storyboard.size());
  CaptureOptions c;
  ASSERT_TRUE(parse({"--gif", "p.gif", "--clips", "1:2,loveIn+5:endPicture-1"}, &c, &error))
      << error;
  ASSERT_EQ(c.clips.size(), 2u);
  EXPECT_EQ(c.clips[1].from, fadeEdge(tl.loveIn));
  EXPECT_EQ(c.clips[1].to, tl.endPicture - 1);
  CaptureOptions still;
  ASSERT_TRUE(parse({"--still", "spaceIn+2.5", "s.png"}, &still, &error)) << error;
  EXPECT_EQ(still.stillTime, tl.spaceIn.at + 2.5f);
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
}

// The small tools take the same table: --help is help, not a name to write
// to; a refusal exits 2. The capture's --check only parses. The studio
// without a display still says who speaks.
TEST(ToolOptions, EveryToolTakesHelpAndRefusalsFromItsTableAndNamesItself) {
  const std::string folder = testing::TempDir();
  const struct Case {
    const char* tool;
    std::string args;  // through sh, stdout then stderr kept as asked
    int status;
    std::string starts;
  } cases[] = {
      {"mediagen", "--help 2>/dev/null", 0, "usage: mediagen OUTDIR"},
      {"mediagen-icon", "--help 2>/dev/null", 0, "usage: mediagen-icon SIZE OUT.png"},
      {"xpm-export", "--help 2>/dev/null", 0, "usage: xpm-export IMAGE OUT.c"},
      {"mediagen", "--bogus 2>&1 >/dev/null", 2, "mediagen: unknown option \"--bogus\"\nusage:"},
      {"mediagen-icon", "8 x.png 2>&1 >/dev/null", 2, "mediagen-icon: bad SIZE: \"8\""},
      {"demo-capture", "--check --video c.mp4 --from 3", 0, ""},
      {"demo-capture", "--check --video c.mp4 --form 3 2>&1", 2,
       "demo-capture: unknown option \"--form\""},
      {"demo-studio", "2>&1 >/dev/null", 1, "demo-studio: cannot open the"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.tool) + " " + c.args);
    const std::string work = folder + "/tool-" + c.tool + "-" + std::to_string(c.status);
    mkdir(work.c_str(), 0777);
    DemoOptions o;
    o.binary = "/bin/sh";
    o.workingDir = work;
    o.env = {{"DISPLAY", ""}, {"SDL_VIDEODRIVER", ""}};
    o.args = {"-c", "exec \"$0\" " + c.args, std::string(DEMO_BINARY_DIR) + "/" + c.tool};
    const DemoRun run = runDemo(o);
    EXPECT_EQ(run.status, c.status) << run.output;
    EXPECT_EQ(run.output.find(c.starts), 0u) << run.output;
    EXPECT_EQ(rmdir(work.c_str()), 0) << "nothing was written where it ran";
  }
}
