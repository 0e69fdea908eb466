// The real presentation binary against bad files, missing services and an
// old GL driver: each case ends well, with a clear line where something is wrong.
#include "presentation/media.h"
#include "tests/support/demo_process.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

using namespace testing_support;

namespace {

const std::string kDemo = DEMO_BINARY_DIR "/demo";
const std::string kBrokenShaderDemo = DEMO_BINARY_DIR "/demo-broken-shader";
const std::string kStudio = DEMO_BINARY_DIR "/demo-studio";
const std::string& kMedia = kGeneratedMedia;

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

void writeFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

int lineCount(const std::string& text) {
  return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
}

enum class Fault { Missing, Empty, Truncated, RandomBytes };
const char* faultName(Fault f) {
  switch (f) {
    case Fault::Missing: return "missing";
    case Fault::Empty: return "empty";
    case Fault::Truncated: return "truncated to half";
    case Fault::RandomBytes: return "random bytes";
  }
  return "";
}

// A media folder of links to the good files, with `file` spoilt by `fault`.
std::string spoiltMedia(const std::string& file, Fault fault) {
  const std::string folder = makeTempDir();
  for (const MediaFile& media : kMediaFiles) {
    const char* name = media.name;
    if (file != name && symlink((kMedia + "/" + name).c_str(), (folder + "/" + name).c_str()) != 0)
      ADD_FAILURE() << "cannot link " << name << " into " << folder;
  }
  const std::string good = readFile(kMedia + "/" + file);
  std::mt19937 random(static_cast<unsigned>(good.size()));
  std::string noise(good.size(), '\0');
  for (char& c : noise) c = static_cast<char>(random() & 0xFF);
  switch (fault) {
    case Fault::Missing: break;
    case Fault::Empty: writeFile(folder + "/" + file, ""); break;
    case Fault::Truncated: writeFile(folder + "/" + file, good.substr(0, good.size() / 2)); break;
    case Fault::RandomBytes: writeFile(folder + "/" + file, noise); break;
  }
  return folder;
}

// Waits until the window shows a quarter of its pixels lit (at most 10 s: a
// loaded machine can take seconds over the first frames), then Esc.
struct Watch {
  static constexpr int kEnough = 960 * 89 / 4;
  int lit = -1;
  void operator()(DemoWindow& w) {
    for (int tries = 0; tries < 100 && lit <= kEnough; ++tries) {
      sleepSeconds(0.1);
      lit = litPixels(w);
    }
    pressKey(w, "Escape");
  }
};

}  // namespace

TEST(Hardening, EverySpoiltMediaFileLeavesTheRestOfTheRunIntact) {
  if (!generatedMediaPresent()) GTEST_SKIP() << "no media in " << kMedia;
  for (const MediaFile& media : kMediaFiles) {
    const char* file = media.name;
    for (Fault fault : {Fault::Missing, Fault::Empty, Fault::Truncated, Fault::RandomBytes}) {
      SCOPED_TRACE(std::string(file) + " " + faultName(fault));
      DemoOptions o = presentationIn(spoiltMedia(file, fault));
      Watch watch;
      o.onWindow = [&](DemoWindow& w) { watch(w); };
      DemoRun run = runDemo(o);
      EXPECT_FALSE(run.timedOut);
      EXPECT_EQ(run.status, 0) << run.output;
      EXPECT_GT(watch.lit, Watch::kEnough) << "the other layers should still draw";
      const bool music = std::string(file) == mediaName(MediaId::music);
      const std::string named =
          std::string(music ? "cannot play \"" : "cannot load \"") + file + "\"";
      if (fault == Fault::Truncated && run.output.empty()) continue;  // decoded what was there
      EXPECT_EQ(lineCount(run.output), 1) << run.output;
      EXPECT_NE(run.output.find(named), std::string::npos) << run.output;
    }
  }
}

TEST(Hardening, MissingServicesAndOldDriversEndClearly) {
  if (!generatedMediaPresent()) GTEST_SKIP() << "no media in " << kMedia;
  struct Case {
    const char* name;
    std::string binary;
    std::vector<std::pair<std::string, std::string>> env;
    int status;
    std::string expected;  // the one line printed
    bool runs;             // the window opens and the run goes on
    std::vector<std::string> args;
  } cases[] = {
      {"no audio device",
       kDemo,
       {{"SDL_AUDIODRIVER", "no-such-driver"}},
       0,
       "sound: no audio device",
       true,
       {}},
      {"OpenGL 1.5 driver",
       kDemo,
       {{"SDL_AUDIODRIVER", "dummy"},
        {"MESA_GL_VERSION_OVERRIDE", "1.5"},
        {"MESA_GLSL_VERSION_OVERRIDE", "100"}},
       1,
       "OpenGL 2.0 is required, but the driver offers 1.5",
       false,
       {}},
      // The studio says it once, with its name, as its other refusals.
      {"OpenGL 1.5 driver, the studio",
       kStudio,
       {{"SDL_AUDIODRIVER", "dummy"},
        {"MESA_GL_VERSION_OVERRIDE", "1.5"},
        {"MESA_GLSL_VERSION_OVERRIDE", "100"}},
       1,
       "demo-studio: OpenGL 2.0 is required, but the driver offers 1.5",
       false,
       {"--media", kMedia}},
      {"a program that does not compile",
       kBrokenShaderDemo,
       {{"SDL_AUDIODRIVER", "dummy"}},
       0,
       "fragment shader of morph failed to compile",
       true,
       {}},
      // The player without the composer, as the Windows exe is built.
      {"--timeline where only the built-in show plays",
       kBrokenShaderDemo,
       {},
       2,
       "plays the built-in show",
       false,
       {"--timeline", "timeline.txt"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    DemoOptions o;
    o.binary = c.binary;
    o.workingDir = kMedia;
    o.env = c.env;
    o.args = c.args;
    Watch watch;
    if (c.runs) o.onWindow = [&](DemoWindow& w) { watch(w); };
    DemoRun run = runDemo(o);
    EXPECT_FALSE(run.timedOut);
    EXPECT_EQ(run.status, c.status) << run.output;
    EXPECT_NE(run.output.find(c.expected), std::string::npos) << run.output;
    if (c.runs) {
      EXPECT_GT(watch.lit, 960 * 89 / 4) << "the run should go on drawing";
    } else {
      EXPECT_EQ(lineCount(run.output), 1) << run.output;
    }
  }
}
