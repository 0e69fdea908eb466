// The real presentation binary in a real X server: how a run ends and what it prints.
#include "tests/support/demo_process.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <string>

using namespace testing_support;

namespace {

const std::string& kMedia = kGeneratedMedia;

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
  struct Case {
    const char* name;
    std::vector<std::pair<std::string, std::string>> env;
    const char* expected;
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
      {"no GL driver", {{"LIBGL_DRIVERS_PATH", "/nonexistent"}}, "X error: "}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    DemoOptions o = presentationIn(folder);
    o.env.insert(o.env.end(), c.env.begin(), c.env.end());
    // A run that hangs instead of failing is ended at the harness's time
    // limit and fails the status check.
    DemoRun run = runDemo(o);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(std::count(run.output.begin(), run.output.end(), '\n'), 1) << run.output;
    EXPECT_EQ(run.output.find('\x1b'), std::string::npos) << "terminal control codes";
    EXPECT_NE(run.output.find("cannot open the 960x89 OpenGL window"), std::string::npos)
        << run.output;
    EXPECT_NE(run.output.find(c.expected), std::string::npos) << run.output;
  }
}

// Without --fullscreen the arguments are ignored: the run is the 960 x 89
// window, nothing printed, as without any.
TEST(PresentationRun, OtherArgumentsLeaveTheWindowRun) {
  if (!generatedMediaPresent()) GTEST_SKIP() << "no media in " << kMedia;
  DemoOptions o = presentationIn(kMedia);
  o.args = {"--size", "1920x178", "-f", "--full"};
  WindowPicture picture;
  o.onWindow = [&](DemoWindow& w) {
    sleepSeconds(1.0);
    picture = windowPicture(w);
    pressKey(w, "f");
    pressKey(w, "Escape");
  };
  const DemoRun run = runDemo(o);
  EXPECT_EQ(picture.width, 960);
  EXPECT_EQ(picture.height, 89);
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
