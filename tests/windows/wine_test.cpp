// The Windows release under Wine in the test's own X server: the zip
// unpacked into a folder whose name has a space and a quote, the program's
// window, its ends, its stdout.txt/stderr.txt, and its frames against the
// Linux capture's.
#include "tests/support/demo_process.h"
#include "tests/support/picture.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

using namespace testing_support;
namespace fs = std::filesystem;

namespace {

const std::string kWindowsBuild = WINDOWS_BUILD_DIR;
const std::string kZip = kWindowsBuild + "/" ZIP_STEM ".zip";

bool exists(const std::string& path) {
  struct stat s;
  return stat(path.c_str(), &s) == 0;
}

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string quoted(const std::string& path) { return "'" + path + "'"; }

// The zip unpacked into a new folder; "" when that failed.
std::string unpack() {
  const std::string top = makeTempDir() + "/it's a folder";
  mkdir(top.c_str(), 0755);
  const std::string command = "unzip -q " + quoted(kZip) + " -d \"" + top + "\"";
  return std::system(command.c_str()) == 0 ? top + "/" ZIP_STEM : std::string();
}

// The zip unpacked once for the tests that leave it as it is.
const std::string& unpacked() {
  static const std::string folder = unpack();
  return folder;
}

// The program from the unpacked zip, through the wrapper named after the
// window class Wine gives it (the harness finds the window by that name).
DemoOptions windowsPlayer(const std::string& folder) {
  DemoOptions o;
  o.binary = WINE_WRAPPER;
  o.args = {folder + "/narrowband.exe"};
  o.workingDir = folder;
  o.env = {{"SDL_AUDIODRIVER", "dummy"}};
  o.timeLimit = 60;
  return o;
}

void removeStdioFiles(const std::string& folder) {
  std::remove((folder + "/stdout.txt").c_str());
  std::remove((folder + "/stderr.txt").c_str());
}

}  // namespace

TEST(WindowsPlayer, EscAltF4OrWindowCloseEndTheRunWithStatusZero) {
  const std::string folder = unpacked();
  ASSERT_FALSE(folder.empty()) << "cannot unpack " << kZip << " (make windows builds it)";
  struct Case {
    const char* name;
    void (*act)(DemoWindow&);
  } cases[] = {
      {"Esc", [](DemoWindow& w) { pressKey(w, "Escape"); }},
      {"window close", [](DemoWindow& w) { closeWindow(w); }},
      {"Alt+F4",
       [](DemoWindow& w) {
         // Through the X server's input, as a keyboard gives it, to the focused window.
         const std::string keys =
             "xdotool windowfocus --sync " + std::to_string(windowId(w)) + " key alt+F4";
         EXPECT_EQ(std::system(keys.c_str()), 0);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    removeStdioFiles(folder);
    WindowPicture picture;
    DemoOptions o = windowsPlayer(folder);
    o.onWindow = [&](DemoWindow& w) {
      sleepSeconds(3.0);
      picture = windowPicture(w);
      c.act(w);
    };
    DemoRun run = runDemo(o);
    EXPECT_EQ(picture.width, 960);
    EXPECT_EQ(picture.height, 89);
    int lit = 0;
    for (unsigned char v : picture.rgb) lit += v > 16;
    EXPECT_GT(lit, 1000) << "the window shows the presentation";
    EXPECT_FALSE(run.timedOut);
    EXPECT_EQ(run.status, 0) << run.output;
    // SDL's glue removes both files when nothing was printed.
    EXPECT_FALSE(exists(folder + "/stdout.txt"));
    EXPECT_FALSE(exists(folder + "/stderr.txt")) << readFile(folder + "/stderr.txt");
  }
}

TEST(WindowsPlayer, WithoutASoundDeviceTheOneLineGoesToStderrTxt) {
  const std::string folder = unpacked();
  ASSERT_FALSE(folder.empty()) << "cannot unpack " << kZip << " (make windows builds it)";
  // Wine's own audio drivers off: DirectSound and waveOut find no device.
  const std::string noAudio =
      std::string(WINE_OVERRIDES) + ";winealsa.drv,winepulse.drv,wineoss.drv=d";
  for (const char* redirect : {"", "0"}) {
    SCOPED_TRACE(std::string("SDL_STDIO_REDIRECT=") + redirect);
    removeStdioFiles(folder);
    DemoOptions o = windowsPlayer(folder);
    o.env = {
        {"SDL_AUDIODRIVER", ""}, {"WINEDLLOVERRIDES", noAudio}, {"SDL_STDIO_REDIRECT", redirect}};
    bool played = false;
    o.onWindow = [&](DemoWindow& w) {
      sleepSeconds(3.0);
      played = windowFound(w);
      pressKey(w, "Escape");
    };
    DemoRun run = runDemo(o);
    EXPECT_TRUE(played) << "the run goes on without sound";
    EXPECT_EQ(run.status, 0);
    EXPECT_FALSE(exists(folder + "/stdout.txt"));
    const std::string expected = "sound: no audio device";
    if (*redirect) {
      EXPECT_FALSE(exists(folder + "/stderr.txt")) << "no redirection";
      EXPECT_NE(run.output.find(expected), std::string::npos) << run.output;
    } else {
      const std::string text = readFile(folder + "/stderr.txt");
      EXPECT_EQ(text.rfind(expected, 0), 0u) << text;
      EXPECT_EQ(text.find('\n'), text.size() - 1) << "one line: " << text;
    }
  }
}

// Media that is not there or not a file: the run goes on, with one line in
// stderr.txt, in the words the Linux build uses.
TEST(WindowsPlayer, BadMediaIsOneLineInStderrTxt) {
  struct Case {
    const char* name;
    void (*change)(const fs::path& folder);
    std::vector<std::string> args;
    const char* line;
  } cases[] = {
      {"a picture that is a folder",
       [](const fs::path& f) {
         fs::remove(f / "logo.jpg");
         fs::create_directory(f / "logo.jpg");
       },
       {},
       "cannot load \"logo.jpg\": not a regular file (a folder)"},
      // Full screen on the test's 1920 x 1080 screen draws the large pictures.
      {"no folder of large pictures",
       [](const fs::path& f) { fs::remove_all(f / "2x"); },
       {"--fullscreen"},
       "the large pictures are missing (no folder \"2x\" beside the media); drawing the "
       "960-wide ones instead"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string folder = unpack();
    ASSERT_FALSE(folder.empty()) << "cannot unpack " << kZip << " (make windows builds it)";
    c.change(folder);
    DemoOptions o = windowsPlayer(folder);
    o.args.insert(o.args.end(), c.args.begin(), c.args.end());
    bool played = false;
    o.onWindow = [&](DemoWindow& w) {
      sleepSeconds(3.0);
      played = windowFound(w);
      pressKey(w, "Escape");
    };
    const DemoRun run = runDemo(o);
    EXPECT_TRUE(played);
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(readFile(folder + "/stderr.txt"), std::string(c.line) + "\r\n");
  }
}

// A start that fails (here OpenGL 1.4 where 2.0 is needed): started as
// Explorer starts it, the line of stderr.txt is also in a message box, and OK
// ends the run; started with a standard error, as by a test harness or a
// console, or with DEMO_NO_MESSAGE_BOX set, there is no box to wait on.
TEST(WindowsPlayer, AStartThatFailsShowsItsLineInABoxOnlyWithoutAStderr) {
  const std::string folder = unpacked();
  ASSERT_FALSE(folder.empty()) << "cannot unpack " << kZip << " (make windows builds it)";
  const std::string line = "OpenGL 2.0 is required, but the driver offers 1.4";
  struct Case {
    const char* name;
    const char* noBox;  // DEMO_NO_MESSAGE_BOX
    bool throughExplorer;
    bool box;
  } cases[] = {
      {"as Explorer starts it", "", true, true},
      {"with DEMO_NO_MESSAGE_BOX", "1", true, false},
      {"with a standard error", "", false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    removeStdioFiles(folder);
    DemoOptions o = windowsPlayer(folder);
    if (c.throughExplorer) {
      o.binary = WINE;
      o.args = {WINDOWS_BUILD_DIR "/message-box.exe", folder + "/narrowband.exe"};
    }
    o.env.push_back({"MESA_GL_VERSION_OVERRIDE", "1.4"});
    o.env.push_back({"DEMO_NO_MESSAGE_BOX", c.noBox});
    o.timeLimit = 90;
    const DemoRun run = runDemo(o);
    EXPECT_FALSE(run.timedOut) << run.output;
    EXPECT_EQ(readFile(folder + "/stderr.txt").rfind(line, 0), 0u);
    if (c.box) {
      EXPECT_EQ(run.status, 0) << run.output;
      EXPECT_NE(run.output.find("box: " + line), std::string::npos) << run.output;
      EXPECT_NE(run.output.find("status: 1"), std::string::npos) << run.output;
      std::printf("%s: %s", c.name, run.output.c_str());
    } else if (c.throughExplorer) {
      EXPECT_NE(run.output.find("no message box"), std::string::npos) << run.output;
    } else {
      EXPECT_EQ(run.status, 1) << run.output;
    }
  }
}

TEST(WindowsPlayer, FramesMatchTheLinuxCapture) {
  const std::string out = makeTempDir();
  DemoOptions o;
  o.binary = WINE;
  o.args = {WINDOWS_BUILD_DIR "/narrowband-frames.exe", out + "/windows-", "27", "56", "100"};
  o.workingDir = kGeneratedMedia;
  o.env = {{"SDL_STDIO_REDIRECT", "0"}};
  o.timeLimit = 120;
  DemoRun run = runDemo(o);
  ASSERT_EQ(run.status, 0) << run.output;
  for (const char* t : {"27", "56", "100"}) {
    SCOPED_TRACE(std::string("t = ") + t);
    const std::string still = out + "/linux-" + t + ".png";
    const std::string capture =
        std::string(DEMO_CAPTURE) + " --media " + kGeneratedMedia + " --still " + t + " " + still;
    ASSERT_EQ(std::system(capture.c_str()), 0);
    Picture linux;
    ASSERT_TRUE(loadPicture(still, linux));
    const std::string ppm = readFile(out + "/windows-" + t + ".ppm");
    const std::string header = "P6\n960 89\n255\n";
    ASSERT_EQ(ppm.size(), header.size() + 960 * 89 * 3);
    ASSERT_EQ(ppm.compare(0, header.size(), header), 0);
    const std::vector<unsigned char> rgb = linux.rgb();
    int worst = 0, lit = 0;
    for (size_t i = 0; i < rgb.size(); ++i) {
      lit += rgb[i] > 16;
      worst = std::max(
          worst, std::abs(int(rgb[i]) - int(static_cast<unsigned char>(ppm[header.size() + i]))));
    }
    std::printf("frame at %s s: largest difference %d/255\n", t, worst);
    EXPECT_LE(worst, 2);
    EXPECT_GT(lit, 1000) << "a frame with a picture, not a blank one";
  }
}

TEST(WindowsPlayer, AWholeRunEndsByItselfWithStatusZero) {
  const std::string folder = unpacked();
  ASSERT_FALSE(folder.empty()) << "cannot unpack " << kZip << " (make windows builds it)";
  removeStdioFiles(folder);
  DemoOptions o = windowsPlayer(folder);
  o.timeLimit = 200;
  DemoRun run = runDemo(o);
  EXPECT_FALSE(run.timedOut);
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_GT(run.seconds, 130.0);
  EXPECT_FALSE(exists(folder + "/stderr.txt")) << readFile(folder + "/stderr.txt");
}
