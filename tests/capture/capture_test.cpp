// demo-capture as a user runs it: outputs, determinism, and every way it refuses.
#include "tests/support/demo_process.h"
#include "tests/support/test_support.h"

#include <SDL_image.h>
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

using namespace testing_support;

namespace {

const std::string kCapture = DEMO_BINARY_DIR "/demo-capture";
const std::string& kMedia = kGeneratedMedia;

DemoRun capture(std::vector<std::string> args,
                std::vector<std::pair<std::string, std::string>> env = {}) {
  DemoOptions o;
  o.binary = kCapture;
  o.workingDir = "/tmp";
  o.args = std::move(args);
  o.env = std::move(env);
  o.timeLimit = 120;
  return runDemo(o);
}

std::string fileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

int lines(const std::string& text) {
  return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
}

std::string shell(const std::string& command) {
  std::string out;
  FILE* p = popen(command.c_str(), "r");
  char buffer[512];
  while (p && fgets(buffer, sizeof buffer, p)) out += buffer;
  if (p) pclose(p);
  return out;
}

// Pixels of a PNG as RGBA bytes, through SDL_image.
struct Picture {
  int w = 0, h = 0;
  std::vector<Uint8> rgba;
};

Picture load(const std::string& path) {
  Picture p;
  SDL_Surface* s = IMG_Load(path.c_str());
  if (!s) return p;
  SDL_Surface* c = SDL_CreateRGBSurface(0, s->w, s->h, 32, 0xFF, 0xFF00, 0xFF0000, 0xFF000000);
  SDL_SetAlpha(s, 0, 255);
  SDL_BlitSurface(s, nullptr, c, nullptr);
  p.w = c->w;
  p.h = c->h;
  p.rgba.assign(static_cast<Uint8*>(c->pixels), static_cast<Uint8*>(c->pixels) + c->h * c->pitch);
  SDL_FreeSurface(c);
  SDL_FreeSurface(s);
  return p;
}

}  // namespace

TEST(Capture, BadCommandLinesExitTwoWithUsage) {
  for (std::vector<std::string> args : std::vector<std::vector<std::string>>{
           {}, {"--nope"}, {"--fps", "0", "--frames", "/tmp/x"}, {"--video", "/tmp/x.avi"}}) {
    DemoRun run = capture(args);
    EXPECT_EQ(run.status, 2) << run.output;
    EXPECT_NE(run.output.find("usage: demo-capture"), std::string::npos) << run.output;
  }
  DemoRun help = capture({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.output.find("960x90"), std::string::npos) << "help says how odd sizes are padded";
}

TEST(Capture, FailuresExitOneWithOneLineNamingTheCause) {
  const std::string folder = makeTempDir();
  const std::string noFfmpeg = folder + "/bin";
  mkdir(noFfmpeg.c_str(), 0777);
  struct Case {
    const char* name;
    std::vector<std::string> args;
    std::vector<std::pair<std::string, std::string>> env;
    std::string expected;
  } cases[] = {
      {"no ffmpeg", {"--video", folder + "/v.mp4"}, {{"PATH", noFfmpeg}}, "Debian package: ffmpeg"},
      {"unwritable still", {"--still", "1", "/no/such/folder/s.png"}, {}, "/no/such/folder/s.png"},
      {"output is a folder", {"--sheet", folder}, {}, "it is a folder"},
      {"no media folder", {"--media", folder + "/none", "--still", "1", folder + "/s.png"}, {},
       "media folder"},
      {"no EGL driver", {"--still", "1", folder + "/s.png"},
       {{"__EGL_VENDOR_LIBRARY_FILENAMES", "/nonexistent.json"}}, "EGL"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    DemoRun run = capture(c.args, c.env);
    EXPECT_EQ(run.status, 1) << run.output;
    EXPECT_EQ(lines(run.output), 1) << run.output;
    EXPECT_NE(run.output.find(c.expected), std::string::npos) << run.output;
  }
}

TEST(Capture, StillsAreDeterministicAndTheSpacePictureShowsWhereItIsOpaque) {
  if (!generatedMediaPresent()) GTEST_SKIP() << "no media in " << kMedia;
  const std::string folder = makeTempDir();
  // The same media with space.png made fully transparent: the two stills at
  // 56 s (space at alpha 0.5) may differ only where the real picture has alpha.
  const std::string clear = folder + "/clear";
  mkdir(clear.c_str(), 0777);
  for (const char* f : {"logo.jpg", "noise.png", "guru_text.png", "guru_rect.png", "testhall1.jpg",
                        "layer_starfield.png", "oldschool.png", "love.png", "scroller.png"}) {
    symlink((kMedia + "/" + f).c_str(), (clear + "/" + f).c_str());
  }
  shell("ffmpeg -loglevel error -f lavfi -i color=c=black@0.0:s=64x64,format=rgba -frames:v 1 " +
        clear + "/space.png");

  const std::string a = folder + "/a.png", b = folder + "/b.png", c = folder + "/c.png";
  ASSERT_EQ(capture({"--media", kMedia, "--still", "56", a}).status, 0);
  ASSERT_EQ(capture({"--media", kMedia, "--still", "56", b}).status, 0);
  ASSERT_EQ(capture({"--media", clear, "--still", "56", c}).status, 0);
  EXPECT_EQ(fileBytes(a), fileBytes(b)) << "two stills of one time must be identical";

  Picture with = load(a), without = load(c), space = load(kMedia + "/space.png");
  ASSERT_EQ(with.w, 960);
  ASSERT_EQ(with.h, 89);
  ASSERT_GT(space.w, 0);
  int differing = 0, outside = 0;
  for (int y = 0; y < 89; ++y) {
    for (int x = 0; x < 960; ++x) {
      const size_t i = (static_cast<size_t>(y) * 960 + x) * 4;
      const bool differs = std::abs(with.rgba[i] - without.rgba[i]) > 1 ||
                           std::abs(with.rgba[i + 1] - without.rgba[i + 1]) > 1 ||
                           std::abs(with.rgba[i + 2] - without.rgba[i + 2]) > 1;
      if (!differs) continue;
      ++differing;
      // The picture is stretched over the frame; allow a texel of filtering around.
      bool opaqueNear = false;
      const int sx = x * space.w / 960, sy = y * space.h / 89;
      for (int dy = -2; dy <= 2 && !opaqueNear; ++dy) {
        for (int dx = -2; dx <= 2 && !opaqueNear; ++dx) {
          const int px = std::clamp(sx + dx, 0, space.w - 1), py = std::clamp(sy + dy, 0, space.h - 1);
          opaqueNear = space.rgba[(static_cast<size_t>(py) * space.w + px) * 4 + 3] > 0;
        }
      }
      if (!opaqueNear) ++outside;
    }
  }
  EXPECT_GT(differing, 500) << "the space picture is visible at 56 s";
  EXPECT_EQ(outside, 0) << "pixels changed where the picture is transparent";
}

TEST(Capture, FramesAndSheetHaveThePromisedShape) {
  if (!generatedMediaPresent()) GTEST_SKIP() << "no media in " << kMedia;
  const std::string folder = makeTempDir();
  DemoRun frames = capture({"--media", kMedia, "--from", "10", "--to", "10.1", "--fps", "30",
                            "--size", "320x40", "--frames", folder + "/frames"});
  ASSERT_EQ(frames.status, 0) << frames.output;
  for (int i = 0; i < 3; ++i) {
    char name[64];
    std::snprintf(name, sizeof name, "/frames/frame_%06d.png", i);
    Picture p = load(folder + name);
    EXPECT_EQ(p.w, 320) << name;
    EXPECT_EQ(p.h, 40) << name;
  }
  EXPECT_EQ(load(folder + "/frames/frame_000003.png").w, 0) << "0.1 s at 30 fps is 3 frames";

  DemoRun sheet = capture({"--media", kMedia, "--sheet", folder + "/sheet.png", "--times",
                           "0,6,21", "--columns", "2"});
  ASSERT_EQ(sheet.status, 0) << sheet.output;
  Picture s = load(folder + "/sheet.png");
  EXPECT_EQ(s.w, 2 * 960 + 3 * 4);
  EXPECT_EQ(s.h, 2 * (89 + 20) + 3 * 4);
}

TEST(Capture, VideoHasTheFramesDurationAndMusicOfItsRange) {
  if (!generatedMediaPresent()) GTEST_SKIP() << "no media in " << kMedia;
  const std::string folder = makeTempDir();
  const std::string video = folder + "/v.mp4";
  DemoRun run = capture({"--media", kMedia, "--from", "55", "--to", "56.5", "--fps", "20",
                         "--size", "320x41", "--video", video});
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_NE(run.output.find("wrote 30 frames"), std::string::npos) << run.output;
  const std::string probe = shell(
      "ffprobe -v error -show_entries stream=codec_type,width,height,nb_frames,duration "
      "-of compact=p=0:nk=1 " + video);
  // "video|320|42|1.500000|30", then "audio|<duration>|<packets>" (no sizes for audio)
  EXPECT_NE(probe.find("video|320|42|1.500000|30"), std::string::npos) << probe;
  const size_t audio = probe.find("audio|");
  ASSERT_NE(audio, std::string::npos) << probe;
  const double audioSeconds = std::stod(probe.substr(audio + 6));
  EXPECT_NEAR(audioSeconds, 1.5, 0.05) << probe;
}

// 960x89 is stored as 960x90: the added row, and the last row of the picture
// that shares its chroma, must look like the picture's last row, not like a
// dark seam.
TEST(Capture, VideoRowAddedForEvenHeightMatchesThePicture) {
  if (!generatedMediaPresent()) GTEST_SKIP() << "no media in " << kMedia;
  const std::string folder = makeTempDir();
  const std::string video = folder + "/v.mp4", decoded = folder + "/first.png",
                    still = folder + "/still.png";
  ASSERT_EQ(capture({"--media", kMedia, "--from", "55", "--to", "55.05", "--video", video}).status,
            0);
  ASSERT_EQ(capture({"--media", kMedia, "--still", "55", still}).status, 0);
  shell("ffmpeg -v error -i " + video + " -frames:v 1 -y " + decoded);
  const Picture frame = load(decoded), picture = load(still);
  ASSERT_EQ(frame.w, 960);
  ASSERT_EQ(frame.h, 90);
  ASSERT_EQ(picture.h, 89);
  for (int y : {86, 87, 88, 89}) {
    const size_t a = static_cast<size_t>(y) * 960 * 4;
    const size_t b = static_cast<size_t>(std::min(y, 88)) * 960 * 4;
    double difference = 0;
    for (size_t i = 0; i < 960 * 4; ++i) {
      if (i % 4 != 3) difference += std::abs(frame.rgba[a + i] - picture.rgba[b + i]);
    }
    EXPECT_LT(difference / (960 * 3), 6) << "row " << y << " of the decoded frame";
  }
}

TEST(Capture, AnEncoderDyingMidRunStopsWithTheFrame) {
  if (!generatedMediaPresent()) GTEST_SKIP() << "no media in " << kMedia;
  const std::string folder = makeTempDir();
  // An "ffmpeg" that takes two frames' worth of bytes and then fails.
  const std::string fake = folder + "/ffmpeg";
  std::ofstream(fake) << "#!/bin/sh\nhead -c 80000 >/dev/null\necho 'disk on fire' >&2\nexit 1\n";
  chmod(fake.c_str(), 0755);
  DemoRun run = capture({"--media", kMedia, "--to", "5", "--size", "200x50", "--video",
                         folder + "/v.mp4"},
                        {{"PATH", folder + ":/usr/bin:/bin"}});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.output.find("video stopped at frame "), std::string::npos) << run.output;
  EXPECT_NE(run.output.find("disk on fire"), std::string::npos) << run.output;
}
