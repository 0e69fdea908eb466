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
#include <fstream>
#include <sstream>
#include <string>

using namespace testing_support;

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

// The zip unpacked once for the whole binary; "" when that failed.
const std::string& unpacked() {
  static std::string folder = [] {
    const std::string top = makeTempDir() + "/it's a folder";
    mkdir(top.c_str(), 0755);
    const std::string command = "unzip -q " + quoted(kZip) + " -d \"" + top + "\"";
    return std::system(command.c_str()) == 0 ? top + "/" ZIP_STEM : std::string();
  }();
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
