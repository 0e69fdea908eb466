// The real presentation binary in a real X server: how a run ends and what it prints.
#include "tests/support/demo_process.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <string>

using namespace testing_support;

namespace {

const std::string& kMedia = kGeneratedMedia;

// An X server of the test's own whose one screen has 8-bit (palette) colour,
// for which no GL visual exists; stopped when the test binary ends.
struct PaletteServer {
  pid_t pid = -1;
  std::string display;  // ":N", or "" when Xvfb did not start
  PaletteServer() {
    int ready[2];
    if (pipe(ready) != 0) return;
    pid = fork();
    if (pid == 0) {
      close(ready[0]);
      const int null = open("/dev/null", O_WRONLY);
      dup2(null, 1);
      dup2(null, 2);
      const std::string fd = std::to_string(ready[1]);
      execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1280x1024x8", "-noreset",
             "-nolisten", "tcp", static_cast<char*>(nullptr));
      _exit(127);
    }
    close(ready[1]);
    // Xvfb writes its display number once it accepts connections.
    char c;
    std::string number;
    while (pid > 0 && read(ready[0], &c, 1) == 1 && c != '\n') number += c;
    close(ready[0]);
    if (!number.empty()) display = ":" + number;
  }
  ~PaletteServer() {
    if (pid <= 0) return;
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
  }
};

}  // namespace

TEST(PresentationRun, EscOrWindowCloseEndsTheRunWithStatusZero) {
  if (!generatedMediaPresent()) GTEST_SKIP() << "no media in " << kMedia;
  struct Case {
    const char* name;
    void (*act)(DemoWindow&);
  } cases[] = {
      {"Esc", [](DemoWindow& w) { pressKey(w, "Escape"); }},
      {"Shift+Esc", [](DemoWindow& w) { pressKey(w, "Escape", kShiftModifier); }},
      {"window close", [](DemoWindow& w) { closeWindow(w); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    bool sawWindow = false;
    DemoOptions o = presentationIn(kMedia);
    o.onWindow = [&](DemoWindow& w) {
      sawWindow = windowFound(w);
      sleepSeconds(1.0);
      c.act(w);
    };
    DemoRun run = runDemo(o);
    EXPECT_TRUE(sawWindow);
    EXPECT_FALSE(run.timedOut);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.output, "") << "a normal run prints nothing";
    EXPECT_LT(run.seconds, 10.0);
  }
}

TEST(PresentationRun, OtherKeysDoNotEndTheRun) {
  if (!generatedMediaPresent()) GTEST_SKIP() << "no media in " << kMedia;
  DemoOptions o = presentationIn(kMedia);
  bool stillRunning = false;
  o.onWindow = [&](DemoWindow& w) {
    pressKey(w, "space");
    pressKey(w, "q");
    pressKey(w, "Return");
    sleepSeconds(1.5);
    stillRunning = true;  // the harness would have seen the exit before now
    pressKey(w, "Escape");
  };
  DemoRun run = runDemo(o);
  EXPECT_TRUE(stillRunning);
  EXPECT_GT(run.seconds, 1.5);
  EXPECT_EQ(run.status, 0);
}

TEST(PresentationRun, NoWindowIsOneLineAndStatusOne) {
  const std::string folder = makeTempDir();
  static PaletteServer palette;
  ASSERT_FALSE(palette.display.empty()) << "Xvfb did not start with an 8-bit screen";
  struct Case {
    const char* name;
    std::vector<std::pair<std::string, std::string>> env;
    const char* expected;
    std::vector<std::string> args = {};
  } cases[] = {
      {"DISPLAY unset", {{"DISPLAY", ""}, {"TERM", "xterm"}}, "DISPLAY is not set"},
      {"no such display", {{"DISPLAY", ":4321"}, {"TERM", "xterm"}}, "DISPLAY is \":4321\""},
      // Without a display SDL must not fall back to a text-mode driver:
      // it would draw on the terminal, or with no known terminal end
      // the process from inside SDL_Init with a message of its own.
      {"DISPLAY unset, no terminal type", {{"DISPLAY", ""}, {"TERM", ""}}, "DISPLAY is not set"},
      {"no such display, no terminal type",
       {{"DISPLAY", ":4321"}, {"TERM", ""}},
       "DISPLAY is \":4321\""},
      {"no such video driver",
       {{"SDL_VIDEODRIVER", "nonexistent"}},
       "SDL_VIDEODRIVER is \"nonexistent\""},
      // On the test's display: the X server refuses the GL context.
      {"indirect GLX", {{"LIBGL_ALWAYS_INDIRECT", "1"}}, "X error: "},
      {"no GL driver", {{"LIBGL_DRIVERS_PATH", "/nonexistent"}}, "X error: "},
      // No GL visual at 8 bits: the window fails, and full screen does not
      // claim to fall back to it first.
      {"8-bit display", {{"DISPLAY", palette.display}}, "(the display has 8-bit colour)"},
      {"8-bit display, full screen",
       {{"DISPLAY", palette.display}},
       "cannot play full screen at 1280x1024 or open the 960x89 OpenGL window: ",
       {"--fullscreen"}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    DemoOptions o = presentationIn(folder);
    o.env.insert(o.env.end(), c.env.begin(), c.env.end());
    o.args = c.args;
    // A run that hangs instead of failing is ended at the harness's time
    // limit and fails the status check.
    DemoRun run = runDemo(o);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(std::count(run.output.begin(), run.output.end(), '\n'), 1) << run.output;
    EXPECT_EQ(run.output.find('\x1b'), std::string::npos) << "terminal control codes";
    EXPECT_NE(run.output.find("960x89 OpenGL window"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find(c.expected), std::string::npos) << run.output;
  }
}

// A bad option is refused before any window opens, in one line naming it,
// with status 2; --media DIR plays the media of DIR from any folder, silently.
TEST(PresentationRun, BadOptionsAreRefusedAndMediaIsTakenFromAnywhere) {
  if (!generatedMediaPresent()) GTEST_SKIP() << "no media in " << kMedia;
  const std::string folder = makeTempDir();
  std::ofstream(folder + "/file") << "not a folder";
  struct Case {
    std::vector<std::string> args;
    const char* named;
  } cases[] = {
      {{"--size", "1920x178"}, "unknown option \"--size\""},
      {{"--fullscreen", "-f"}, "unknown option \"-f\""},
      {{"--fullscreen", "--media"}, "bad value for --media: missing"},
      {{"--media", folder + "/none"}, "/none\" (not a folder)"},
      {{"--media", folder + "/file"}, "/file\" (not a folder)"},
      {{"--ssaa", "5"}, "bad value for --ssaa: \"5\" (a whole number from 1 to 4)"},
      {{"--ssaa", "2x"}, "bad value for --ssaa: \"2x\""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args[0] + " " + c.args.back());
    DemoOptions o = presentationIn(folder);
    o.args = c.args;
    const DemoRun run = runDemo(o);
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(std::count(run.output.begin(), run.output.end(), '\n'), 1) << run.output;
    EXPECT_NE(run.output.find(c.named), std::string::npos) << run.output;
  }

  DemoOptions o = presentationIn(folder);
  o.args = {"--media", kMedia};
  int lit = 0;
  o.onWindow = [&](DemoWindow& w) {
    sleepSeconds(1.0);
    lit = litPixels(w);
    pressKey(w, "Escape");
  };
  const DemoRun run = runDemo(o);
  EXPECT_GT(lit, 960 * 89 / 2);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.output, "");
}

// A copy of the timeline with a maker's layers plays to its own music,
// composed first with one line on stderr into a folder removed at the end;
// a layer that does not build ends it with 2 before a frame is drawn.
TEST(PresentationRun, ATimelineCopyPlaysToItsOwnMusicUntilEsc) {
  if (!generatedMediaPresent()) GTEST_SKIP() << "no media in " << kMedia;
  const std::string folder = makeTempDir(), temporary = makeTempDir();
  DemoOptions o = presentationIn(kMedia);
  o.args = {"--timeline", writeMakerTimeline(folder)};
  o.env.push_back({"TMPDIR", temporary});
  o.timeLimit = 60;
  bool sawWindow = false;
  o.onWindow = [&](DemoWindow& w) {
    sawWindow = windowFound(w);
    sleepSeconds(1.0);
    pressKey(w, "Escape");
  };
  const DemoRun run = runDemo(o);
  EXPECT_TRUE(sawWindow);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.output, "demo: composing the music of " + folder + "/timeline.txt\n");

  // A layer's program that does not compile: refused before the first frame.
  std::ofstream(folder + "/ripple.frag") << "uniform float alpha;\nvoid main()\n{\n"
                                         << "    gl_FragColor = vec4(1.0) +;\n}\n";
  o.onWindow = nullptr;
  const DemoRun refused = runDemo(o);
  EXPECT_EQ(refused.status, 2);
  EXPECT_NE(refused.output.find("\nripple.frag:4: syntax error"), std::string::npos)
      << refused.output;
  EXPECT_EQ(std::count(refused.output.begin(), refused.output.end(), '\n'), 2) << refused.output;
  EXPECT_EQ(std::system(("rmdir " + temporary).c_str()), 0) << "a music folder is left";
}
