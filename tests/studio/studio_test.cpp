// demo-studio in a real X server with synthetic keys: the picture against the
// capture tool's, the transport keys, live reload and the music after a seek.
#include "presentation/media.h"
#include "presentation/window.h"
#include "tests/support/demo_process.h"
#include "tests/support/picture.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>
#include <vorbis/vorbisfile.h>

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

using namespace testing_support;

namespace {

const std::string& kMedia = kGeneratedMedia;
const int kRate = 44100;

DemoOptions studioIn(const std::string& folder, std::vector<std::string> args) {
  DemoOptions o;
  o.binary = DEMO_BINARY_DIR "/demo-studio";
  o.workingDir = folder;
  o.args = {"--media", kMedia};
  o.args.insert(o.args.end(), args.begin(), args.end());
  o.env = {{"SDL_AUDIODRIVER", "dummy"}};
  o.timeLimit = 60;
  return o;
}

double secondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Seconds until `done` holds, polled every 10 ms; -1 after `limit`.
template <typename Done>
double waitFor(Done done, double limit = 10) {
  const auto start = std::chrono::steady_clock::now();
  while (!done()) {
    if (secondsSince(start) > limit) return -1;
    sleepSeconds(0.01);
  }
  return secondsSince(start);
}

bool titleHas(DemoWindow& w, const std::string& part) {
  return windowTitle(w).find(part) != std::string::npos;
}

// The share of the window's pixels that are pure red.
double redShare(DemoWindow& w) {
  const WindowPicture p = windowPicture(w);
  int red = 0;
  for (size_t i = 0; i < p.rgb.size(); i += 3) {
    if (p.rgb[i] > 240 && p.rgb[i + 1] < 16 && p.rgb[i + 2] < 16) ++red;
  }
  return p.rgb.empty() ? 0 : red * 3.0 / static_cast<double>(p.rgb.size());
}

// RGB rows of a PNG.
std::vector<unsigned char> pngRgb(const std::string& path, int* width, int* height) {
  Picture p;
  if (!loadPicture(path, p)) return {};
  *width = p.w;
  *height = p.h;
  return p.rgb();
}

void writeFile(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

}  // namespace

TEST(Studio, PausedFrameMatchesTheCaptureAndKeysDriveTheTransport) {
  if (!generatedMediaPresent()) GTEST_SKIP() << "no media in " << kMedia;
  const std::string folder = makeTempDir();
  DemoOptions capture = studioIn(folder, {});
  capture.binary = DEMO_BINARY_DIR "/demo-capture";
  capture.args = {"--media", kMedia, "--still", "56", folder + "/still.png"};
  ASSERT_EQ(runDemo(capture).status, 0);
  int width = 0, height = 0;
  const std::vector<unsigned char> still = pngRgb(folder + "/still.png", &width, &height);
  ASSERT_EQ(width, kWindowWidth);
  ASSERT_EQ(height, kWindowHeight);

  struct Step {
    const char* key;
    const char* title;
  } steps[] = {
      {"Right", "57.000 s"}, {"period", "57.017 s"}, {"comma", "57.000 s"},
      {"Up", "67.000 s"},    {"Home", "0.000 s"},    {"bracketright", "| 2x |"},
  };
  WindowPicture shown, atSave;
  std::vector<std::string> reached;
  DemoOptions o = studioIn(folder, {"--at", "56", "--paused"});
  o.onWindow = [&](DemoWindow& w) {
    waitFor([&] { return titleHas(w, "56.000 s"); });
    shown = windowPicture(w);
    for (const Step& s : steps) {
      pressKey(w, s.key);
      if (waitFor([&] { return titleHas(w, s.title); }, 5) >= 0) reached.push_back(s.key);
    }
    atSave = windowPicture(w);
    pressKey(w, "F12");
    waitFor([&] { return access((folder + "/frame-000.000.png").c_str(), R_OK) == 0; }, 5);
    pressKey(w, "Escape");
  };
  DemoRun run = runDemo(o);
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_FALSE(run.timedOut);

  // The window is 16 bits deep: up to 3 bits of each channel may be lost.
  auto differing = [](const std::vector<unsigned char>& a, const std::vector<unsigned char>& b) {
    if (a.size() != b.size()) return -1;
    int count = 0;
    for (size_t i = 0; i < a.size(); ++i) count += std::abs(a[i] - b[i]) > 8;
    return count;
  };
  EXPECT_EQ(differing(shown.rgb, still), 0)
      << "the paused studio shows the capture's still at 56 s";
  ASSERT_EQ(reached.size(), sizeof steps / sizeof steps[0])
      << "last key reached: " << (reached.empty() ? "none" : reached.back());
  const std::vector<unsigned char> saved = pngRgb(folder + "/frame-000.000.png", &width, &height);
  EXPECT_EQ(differing(saved, atSave.rgb), 0) << "F12 saves the frame shown, top row first\n"
                                             << run.output;
}

TEST(Studio, SavedProgramsShowAtOnceAndBrokenOnesKeepTheLastGood) {
  if (!generatedMediaPresent()) GTEST_SKIP() << "no media in " << kMedia;
  const std::string folder = makeTempDir();
  const std::string shaders = folder + "/shaders";
  ASSERT_EQ(std::system(("cp -r " DEMO_SOURCE_DIR "/gpu/shaders " + shaders).c_str()), 0);
  const std::string starfield = shaders + "/starfield.frag";
  const std::string red = "void main() { gl_FragColor = vec4(1.0, 0.0, 0.0, 1.0); }\n";

  // At 100 s the starfield is opaque and nothing above it shows, so a red
  // starfield program fills the window.
  double reload = -1, brokenSeen = -1, missingSeen = -1, fixedSeen = -1;
  double redWhileBroken = 0;
  std::string plasma, under;
  std::getline(std::ifstream(shaders + "/plasma.frag"), plasma, '\0');
  std::getline(std::ifstream(shaders + "/under_starfield.vert"), under, '\0');
  const struct {
    const char* file;
    std::string text;
    const char* title;  // nullptr: no error shown
  } errorSteps[] = {
      {"plasma.frag", "void main() { gl_FragColor = vec4(1.0) }\n", "ERROR in plasma.frag"},
      {"under_starfield.vert", "void main() { gl_Position = vec4(1.0) }\n",
       "ERROR in under_starfield.vert plasma.frag"},
      {"under_starfield.vert", under, "ERROR in plasma.frag"},
      {"plasma.frag", plasma, nullptr},
  };
  size_t errorStepsSeen = 0;
  DemoOptions o = studioIn(folder, {"--at", "100", "--paused", "--shaders", shaders});
  o.onWindow = [&](DemoWindow& w) {
    waitFor([&] { return titleHas(w, "100.000 s"); });
    writeFile(starfield, red);
    reload = waitFor([&] { return redShare(w) > 0.99; }, 5);
    writeFile(starfield, "void main() { gl_FragColor = vec4(1.0) }\n");
    brokenSeen = waitFor([&] { return titleHas(w, "ERROR in starfield.frag"); }, 5);
    sleepSeconds(0.2);
    redWhileBroken = redShare(w);
    unlink(starfield.c_str());
    missingSeen = waitFor([&] { return titleHas(w, "ERROR in starfield.frag"); }, 5);
    // A FIFO in the file's place has no writer: opening it to read must not block.
    mkfifo(starfield.c_str(), 0600);
    sleepSeconds(0.2);
    unlink(starfield.c_str());
    writeFile(starfield, red);
    fixedSeen = waitFor([&] { return !titleHas(w, "ERROR"); }, 5);
    // The plasma program pairs these two files; each error clears once its
    // own file is good again, whichever of the two is mended first.
    for (const auto& step : errorSteps) {
      writeFile(shaders + "/" + step.file, step.text);
      const char* title = step.title;
      if (waitFor([&] { return title ? titleHas(w, title) : !titleHas(w, "ERROR"); }, 5) >= 0) {
        ++errorStepsSeen;
      }
    }
    pressKey(w, "Escape");
  };
  DemoRun run = runDemo(o);
  std::printf("reload: the edited program showed %.0f ms after the save\n", reload * 1000);
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_GE(reload, 0) << "the edited program never showed";
  EXPECT_LT(reload, 1.0);
  EXPECT_GE(brokenSeen, 0) << "the title never showed the error";
  EXPECT_GT(redWhileBroken, 0.99) << "a broken save keeps the last good program";
  EXPECT_GE(missingSeen, 0);
  EXPECT_GE(fixedSeen, 0) << "a good save clears the error";
  EXPECT_EQ(errorStepsSeen, sizeof errorSteps / sizeof errorSteps[0]) << run.output;
  // The compiler's message once, behind the file name, and the missing file.
  size_t first = run.output.find("starfield.frag: 0:1(");
  EXPECT_NE(first, std::string::npos) << run.output;
  EXPECT_EQ(run.output.find("starfield.frag: 0:1(", first + 1), std::string::npos) << run.output;
  EXPECT_NE(run.output.find("starfield.frag: cannot read"), std::string::npos) << run.output;
  EXPECT_NE(run.output.find("not a regular file (a FIFO)"), std::string::npos) << run.output;
}

TEST(Studio, MusicStartsAtTheDemoTimeAfterASeek) {
  if (!generatedMediaPresent()) GTEST_SKIP() << "no media in " << kMedia;
  const std::string folder = makeTempDir();
  const std::string device = folder + "/device.raw";
  DemoOptions o = studioIn(folder, {"--at", "56", "--paused"});
  // A delay keeps the disk driver from writing the paused silence flat out.
  o.env = {
      {"SDL_AUDIODRIVER", "disk"}, {"SDL_DISKAUDIOFILE", device}, {"SDL_DISKAUDIODELAY", "20"}};
  o.onWindow = [&](DemoWindow& w) {
    waitFor([&] { return titleHas(w, "56.000 s"); });
    pressKey(w, "Right");
    waitFor([&] { return titleHas(w, "57.000 s"); });
    sleepSeconds(0.3);
    pressKey(w, "space");
    sleepSeconds(1.0);
    pressKey(w, "Escape");
  };
  ASSERT_EQ(runDemo(o).status, 0);

  std::ifstream in(device, std::ios::binary);
  std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const auto* out = reinterpret_cast<const int16_t*>(bytes.data());
  const long frames = static_cast<long>(bytes.size() / 4);
  // The music resumed where the last 0.1 s or more of silence ends.
  long start = -1, zeros = 0;
  for (long f = 0; f < frames; ++f) {
    const bool silent = out[2 * f] == 0 && out[2 * f + 1] == 0;
    if (!silent && zeros >= kRate / 10) start = f;
    zeros = silent ? zeros + 1 : 0;
  }
  const long window = 2048;
  ASSERT_GE(start, 0) << "no music after the pause";
  ASSERT_LE(start + window, frames);

  // The Ogg decoded from 56.5 s; the output's first samples are looked for in it.
  OggVorbis_File ogg;
  ASSERT_EQ(ov_fopen((kMedia + "/" + mediaName(MediaId::music)).c_str(), &ogg), 0);
  const long from = kRate * 113 / 2;
  ASSERT_EQ(ov_pcm_seek(&ogg, from), 0);
  std::vector<int16_t> ogg16(static_cast<size_t>(kRate) * 2 * 2);
  long got = 0, n = 0;
  int section = 0;
  char* bytesOut = reinterpret_cast<char*>(ogg16.data());
  const long capacity = static_cast<long>(ogg16.size() * 2);
  while (got < capacity && (n = ov_read(&ogg, bytesOut + got, static_cast<int>(capacity - got), 0,
                                        2, 1, &section)) > 0) {
    got += n;
  }
  ov_clear(&ogg);
  long best = -1;
  double bestError = 1e300;
  for (long offset = 0; offset + window <= got / 4; ++offset) {
    double error = 0;
    for (long i = 0; i < window * 2 && error < bestError; ++i) {
      const double d = out[2 * start + i] - ogg16[static_cast<size_t>(2 * offset + i)];
      error += d * d;
    }
    if (error < bestError) {
      bestError = error;
      best = offset;
    }
  }
  const double lagMs = (static_cast<double>(from + best) - 57.0 * kRate) * 1000.0 / kRate;
  std::printf("music after the seek to 57 s starts at %+.2f ms from it (residual %.0f)\n", lagMs,
              bestError);
  EXPECT_LT(bestError / (window * 2), 4.0) << "the output is the Ogg's own samples";
  EXPECT_LE(std::abs(lagMs), 1000.0 / 60) << "within one frame of the demo time";
}
