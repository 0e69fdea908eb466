// demo-studio in a real X server with synthetic keys and mouse: the picture
// against the capture tool's, the transport keys, the timeline panel, live
// reload and the music after a seek.
#include "presentation/media.h"
#include "presentation/timeline.h"
#include "presentation/window.h"
#include "tests/support/demo_process.h"
#include "tests/support/picture.h"
#include "tests/support/test_support.h"
#include "tools/common/png_file.h"
#include "tools/common/vorbis_decoder.h"
#include "tools/studio/panel.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
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

// The top kWindowWidth × kWindowHeight of the window, where the strip is;
// the panel is below it.
std::vector<unsigned char> stripOf(const WindowPicture& p) {
  const size_t rowBytes = static_cast<size_t>(kWindowWidth) * 3;
  if (p.width != kWindowWidth || p.height < kWindowHeight) return {};
  return std::vector<unsigned char>(p.rgb.begin(), p.rgb.begin() + rowBytes * kWindowHeight);
}

// The share of the strip's pixels that are pure red.
double redShare(DemoWindow& w) {
  const std::vector<unsigned char> rgb = stripOf(windowPicture(w, kWindowHeight));
  int red = 0;
  for (size_t i = 0; i < rgb.size(); i += 3) {
    if (rgb[i] > 240 && rgb[i + 1] < 16 && rgb[i + 2] < 16) ++red;
  }
  return rgb.empty() ? 0 : red * 3.0 / static_cast<double>(rgb.size());
}

// Pixels (channels) differing by more than 8: the window is 16 bits deep, so
// up to 3 bits of each channel may be lost. -1 when the sizes differ.
int differing(const std::vector<unsigned char>& a, const std::vector<unsigned char>& b) {
  if (a.size() != b.size()) return -1;
  int count = 0;
  for (size_t i = 0; i < a.size(); ++i) count += std::abs(a[i] - b[i]) > 8;
  return count;
}

// Pixels of the panel (below the strip) within 12 of the colour r, g, b.
int panelPixelsNear(const WindowPicture& p, int r, int g, int b, int fromRow = kWindowHeight) {
  int count = 0;
  for (size_t i = static_cast<size_t>(fromRow) * 3 * p.width; i + 2 < p.rgb.size(); i += 3) {
    count += std::abs(p.rgb[i] - r) < 12 && std::abs(p.rgb[i + 1] - g) < 12 &&
             std::abs(p.rgb[i + 2] - b) < 12;
  }
  return count;
}

// Pixels of the waveform's blue in the bottom 40 rows of the window.
int waveformPixels(const WindowPicture& p) {
  return panelPixelsNear(p, 90, 170, 230, std::max(kWindowHeight, p.height - 40));
}

// Runs xdotool's `commands` with "WINDOW" standing for the studio's window.
bool xdotool(DemoWindow& w, std::string commands) {
  const std::string id = std::to_string(windowId(w));
  for (size_t at; (at = commands.find("WINDOW")) != std::string::npos;) commands.replace(at, 6, id);
  return std::system(("xdotool " + commands).c_str()) == 0;
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

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// The names in `folder` that start with `prefix`.
std::vector<std::string> namesIn(const std::string& folder, const std::string& prefix) {
  std::vector<std::string> names;
  if (DIR* d = opendir(folder.c_str())) {
    while (const dirent* e = readdir(d)) {
      if (std::string(e->d_name).rfind(prefix, 0) == 0) names.push_back(e->d_name);
    }
    closedir(d);
  }
  return names;
}

// The timeline as shipped with the SPACE fade moved to 57 s: its music
// differs from the media's, so the studio makes it from the start.
std::string movedTimeline() {
  std::string copy = readFile(DEMO_SOURCE_DIR "/presentation/timeline.txt");
  return copy.replace(copy.find("\nspaceIn 55 "), 12, "\nspaceIn 57 ");
}

// A left drag on the oldschool overlay's row (the fifth) from `from` to
// `to` seconds, in three steps, through the X server as a hand would.
void dragOnOldschoolRow(DemoWindow& w, double from, double to) {
  const int row = kWindowHeight + 16 + 32 + 4 * 15 + 7;
  auto at = [&](double seconds) {
    return " mousemove --window WINDOW " +
           std::to_string(std::lround(seconds / kEndTime * (kWindowWidth - 1))) + " " +
           std::to_string(row);
  };
  xdotool(w, at(from) + " mousedown 1 sleep 0.1" + at((from + to) / 2) + " sleep 0.1" + at(to) +
                 " sleep 0.1 mouseup 1");
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

  EXPECT_GT(shown.height, kWindowHeight) << "the panel is below the strip";
  EXPECT_EQ(differing(stripOf(shown), still), 0)
      << "the paused studio shows the capture's still at 56 s";
  ASSERT_EQ(reached.size(), sizeof steps / sizeof steps[0])
      << "last key reached: " << (reached.empty() ? "none" : reached.back());
  const std::vector<unsigned char> saved = pngRgb(folder + "/frame-000.000.png", &width, &height);
  EXPECT_EQ(differing(saved, stripOf(atSave)), 0) << "F12 saves the strip shown, top row first\n"
                                                  << run.output;
}

// The panel under the strip, driven with the mouse: a click seeks (sent to
// the window, timed until the title shows the time), a shift-drag (xdotool,
// through the X server, as a user's hand would) sets the loop, a shift-drag sets the loop, Tab
// shows the uniforms the schedule sets at the playhead. The picture with the inspector shown goes
// to the build folder (the README's screenshot).
TEST(Studio, PanelSeeksLoopsAndInspectsTheSchedule) {
  if (!generatedMediaPresent()) GTEST_SKIP() << "no media in " << kMedia;
  if (std::system("command -v xdotool >/dev/null") != 0) GTEST_SKIP() << "no xdotool";
  const std::string folder = makeTempDir();
  // SPACE whole, for the README's picture.
  const Timeline& tl = timeline::builtin();
  char shown[32];
  std::snprintf(shown, sizeof shown, "%.3f", tl.spaceIn.at + 2.5);
  const std::string at = shown;
  DemoOptions o = studioIn(folder, {"--at", at, "--paused"});
  o.env.push_back({"DEMO_STUDIO_INSPECT", "1"});
  WindowPicture bare, inspected;
  double waveformShown = -1, clickShown = -1, clickedTime = -1, loopStart = -1, loopEnd = -1;
  char loopState[4] = "";
  o.onWindow = [&](DemoWindow& w) {
    waitFor([&] { return titleHas(w, at + " s"); });
    // The music is decoded beside the first frames; its waveform then shows
    // in the panel's bottom rows.
    waveformShown = waitFor([&] { return waveformPixels(windowPicture(w)) > 2000; });
    bare = windowPicture(w);
    pressKey(w, "Tab");
    waitFor([&] { return differing(windowPicture(w).rgb, bare.rgb) > 1000; }, 5);
    sleepSeconds(0.2);
    inspected = windowPicture(w);

    const int y = kWindowHeight + kPanelHeight / 2;
    auto xy = [&](double seconds) {
      return std::to_string(std::lround(seconds / kEndTime * bare.width)) + " " + std::to_string(y);
    };
    const auto clicked = std::chrono::steady_clock::now();
    clickAt(w, static_cast<int>(std::lround(100.0 / kEndTime * bare.width)), y);
    if (waitFor([&] { return std::abs(std::atof(windowTitle(w).c_str()) - 100) < 0.5; }) >= 0) {
      clickShown = secondsSince(clicked);
    }
    clickedTime = std::atof(windowTitle(w).c_str());
    xdotool(w, "mousemove --window WINDOW " + xy(40) + " keydown shift mousedown 1 sleep 0.1 " +
                   "mousemove --window WINDOW " + xy(45) + " sleep 0.1 mousemove --window WINDOW " +
                   xy(50) + " sleep 0.1 mouseup 1 keyup shift");
    waitFor([&] { return titleHas(w, " on |"); });
    const std::string title = windowTitle(w);
    const size_t loop = title.find("| loop ");
    if (loop != std::string::npos) {
      std::sscanf(title.c_str() + loop, "| loop %lf-%lf %3s", &loopStart, &loopEnd, loopState);
    }
    pressKey(w, "Escape");
  };
  DemoRun run = runDemo(o);
  std::printf("a click showed its time in the title %.0f ms after it was sent\n",
              clickShown * 1000);
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_GE(waveformShown, 0) << "no waveform under the rows";
  EXPECT_EQ(differing(stripOf(inspected), stripOf(bare)), 0) << "Tab leaves the strip alone";
  EXPECT_GT(differing(inspected.rgb, bare.rgb), 1000) << "Tab shows the inspector in the panel";
  EXPECT_GT(waveformPixels(inspected), 2000) << "the rest of the panel stays";
  // The inspector leaves most of the rows (between the cues and the
  // waveform) in view.
  const size_t rowBytes = static_cast<size_t>(bare.width) * 3;
  const size_t rowsTop = (kWindowHeight + 48) * rowBytes, rowsEnd = (bare.height - 48) * rowBytes;
  ASSERT_EQ(inspected.rgb.size(), bare.rgb.size());
  const int covered = differing({inspected.rgb.begin() + rowsTop, inspected.rgb.begin() + rowsEnd},
                                {bare.rgb.begin() + rowsTop, bare.rgb.begin() + rowsEnd});
  EXPECT_LT(covered, 0.25 * static_cast<double>(rowsEnd - rowsTop))
      << "the inspector hides the rows";
  EXPECT_NEAR(clickedTime, 100, 0.5) << "a click at 100/130 of the width seeks to 100 s";
  EXPECT_NEAR(loopStart, 40, 1);
  EXPECT_NEAR(loopEnd, 50, 1);
  EXPECT_STREQ(loopState, "on") << "a shift-drag from 40 to 50 s sets the loop and turns it on";

  // The inspector's first listing: the morph's values as the schedule sets
  // them (the schedule test pins the same numbers).
  const size_t listing = run.output.find("inspector at " + at + " s:\n");
  ASSERT_NE(listing, std::string::npos) << run.output;
  const size_t morph = run.output.find("\nmorph", listing);
  ASSERT_NE(morph, std::string::npos) << run.output;
  const std::string line =
      run.output.substr(morph + 1, run.output.find('\n', morph + 1) - morph - 1);
  for (const std::string& value : {"time=" + at, std::string("offset=1.000"),
                                   std::string("alpha=1.000"), std::string("transition=0.000")}) {
    EXPECT_NE(line.find(value), std::string::npos) << line;
  }

  std::string error;
  EXPECT_TRUE(writePngRgb(DEMO_BINARY_DIR "/studio-panel.png", inspected.width, inspected.height,
                          inspected.rgb, &error))
      << error;
}

// Editing a copy of the timeline in the panel: the schedule draws the copy,
// a drag on a fade's ramp moves the fade and the music follows, Ctrl+S
// saves, Ctrl+Z undoes, Esc with unsaved edits asks once. Before that, a
// shift-drag released outside the window leaves later clicks seeking.
TEST(Studio, PanelEditsTheTimelineAndTheMusicFollows) {
  if (!generatedMediaPresent()) GTEST_SKIP() << "no media in " << kMedia;
  if (std::system("command -v xdotool >/dev/null") != 0) GTEST_SKIP() << "no xdotool";
  const std::string folder = makeTempDir(), temporaries = folder + "/tmp";
  // copy.txt is a link to real/copy.txt: saves go to the file it names.
  const std::string path = folder + "/copy.txt", real = folder + "/real/copy.txt";
  ASSERT_EQ(mkdir((folder + "/real").c_str(), 0700), 0);
  ASSERT_EQ(mkdir(temporaries.c_str(), 0700), 0);
  writeFile(real, movedTimeline());
  ASSERT_EQ(symlink("real/copy.txt", path.c_str()), 0);
  // The fade's time as the file says it, -1 when it is not there.
  auto savedAt = [&path](const char* fade) {
    std::ifstream file(path);
    for (std::string line; std::getline(file, line);) {
      if (line.rfind(std::string(fade) + " ", 0) == 0)
        return std::atof(line.c_str() + std::strlen(fade));
    }
    return -1.0;
  };

  DemoOptions o = studioIn(folder, {"--timeline", "copy.txt", "--at", "56", "--paused"});
  o.env.push_back({"DEMO_STUDIO_INSPECT", "1"});
  o.env.push_back({"TMPDIR", temporaries});
  o.timeLimit = 480;
  double afterOutside = -1, dragged = -1, undone = -1, remade = -1;
  bool unsavedShown = false, musicFollowed = false, asked = false, changedShown = false,
       goneShown = false, otherKept = false, lastFollowed = false;
  int soundtracks = -1;
  o.onWindow = [&](DemoWindow& w) {
    waitFor([&] { return titleHas(w, "56.000 s"); });
    pressKey(w, "Tab");
    sleepSeconds(0.3);
    const int width = kWindowWidth, panelY = kWindowHeight + kPanelHeight - 20;
    auto x = [&](double seconds) { return std::lround(seconds / kEndTime * (width - 1)); };
    auto to = [&](double seconds, int y) {
      return " mousemove --window WINDOW " + std::to_string(x(seconds)) + " " + std::to_string(y);
    };
    // Shift goes up outside the window, where the studio never hears it.
    xdotool(w, to(40, panelY) + " keydown shift mousedown 1 sleep 0.1" + to(60, panelY) +
                   " sleep 0.1 mousemove 1270 1010 sleep 0.2 mouseup 1 sleep 0.1 keyup shift" +
                   " sleep 0.2" + to(100, panelY) + " sleep 0.2 click 1");
    waitFor([&] { return std::abs(std::atof(windowTitle(w).c_str()) - 100) < 0.5; }, 5);
    afterOutside = std::atof(windowTitle(w).c_str());

    // The oldschool fade-in's ramp, 2 s right.
    dragOnOldschoolRow(w, 21, 23);
    unsavedShown = waitFor([&] { return titleHas(w, "unsaved"); }, 5) >= 0;
    xdotool(w, "key ctrl+s");
    waitFor([&] { return savedAt("oldschoolIn") != 20; }, 5);
    dragged = savedAt("oldschoolIn");
    // Music takes 3 s of CPU to make, up to 20 s on a busy machine and over
    // a minute in the sanitizer build.
    musicFollowed = waitFor([&] { return titleHas(w, "music follows the edit"); }, 180) >= 0;
    // Another editor appends a line: the first save says so and keeps it,
    // the second overwrites.
    xdotool(w, "key ctrl+z");
    std::ofstream(real, std::ios::app) << "# another editor\n";
    xdotool(w, "key ctrl+s");
    changedShown = waitFor([&] { return titleHas(w, "copy.txt changed on disk"); }, 5) >= 0;
    otherKept = readFile(real).find("# another editor") != std::string::npos;
    xdotool(w, "key ctrl+s");
    waitFor([&] { return savedAt("oldschoolIn") == 20; }, 5);
    undone = savedAt("oldschoolIn");
    // The file the link names is removed: the save says so, then makes it.
    unlink(real.c_str());
    xdotool(w, "key ctrl+y");
    xdotool(w, "key ctrl+s");
    goneShown = waitFor([&] { return titleHas(w, "copy.txt changed on disk"); }, 5) >= 0;
    xdotool(w, "key ctrl+s");
    waitFor([&] { return savedAt("oldschoolIn") == dragged; }, 5);
    remade = savedAt("oldschoolIn");
    // More edits while music is made: once the last one's music plays,
    // only it is kept (and at most one being made).
    xdotool(w, "key ctrl+z key ctrl+y key ctrl+z");
    waitFor([&] { return titleHas(w, "unsaved"); }, 5);
    lastFollowed = waitFor([&] { return titleHas(w, "music follows the edit"); }, 180) >= 0;
    soundtracks = 0;
    for (const std::string& d : namesIn(temporaries, "demo-studio-")) {
      soundtracks += static_cast<int>(namesIn(temporaries + "/" + d, "music-").size());
    }
    pressKey(w, "Escape");
    asked = waitFor([&] { return titleHas(w, "Esc again"); }, 5) >= 0;
    pressKey(w, "Escape");
  };
  DemoRun run = runDemo(o);
  struct stat link;
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_NEAR(afterOutside, 100, 0.5) << "a click seeks after shift was let go outside";
  EXPECT_TRUE(unsavedShown) << "the title marks the unsaved drag";
  EXPECT_GE(dragged, 21.5) << run.output;
  EXPECT_LE(dragged, 22.5);
  EXPECT_TRUE(musicFollowed) << run.output;
  EXPECT_TRUE(changedShown) << "a save over another program's write is named first";
  EXPECT_TRUE(otherKept) << "and does not overwrite it";
  EXPECT_EQ(undone, 20) << "Ctrl+Z then Ctrl+S twice";
  EXPECT_TRUE(goneShown) << "a save where the file went is named first";
  EXPECT_EQ(remade, dragged) << "then the file is made through the link";
  EXPECT_TRUE(lstat(path.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) << "the link stays";
  EXPECT_TRUE(lastFollowed) << run.output;
  EXPECT_GE(soundtracks, 1);
  EXPECT_LE(soundtracks, 2) << "only the music playing and the one being made are kept";
  EXPECT_TRUE(asked) << "Esc with unsaved edits asks first";
  EXPECT_EQ(savedAt("oldschoolIn"), dragged) << "quitting does not save";
  EXPECT_TRUE(namesIn(temporaries, "demo-studio-").empty()) << "the music's folder is removed";
  EXPECT_NE(run.output.find("not saved: \"copy.txt\" changed on disk"), std::string::npos)
      << "stderr names the file";

  // The copy's SPACE fade begins at 57 s: at 56 s its overlay is at 0.
  const size_t listing = run.output.find("inspector at 56.000 s:\n");
  ASSERT_NE(listing, std::string::npos) << run.output;
  const size_t space = run.output.find("\noverlay: space", listing);
  ASSERT_NE(space, std::string::npos) << run.output;
  const std::string line =
      run.output.substr(space + 1, run.output.find('\n', space + 1) - space - 1);
  EXPECT_NE(line.find("alpha=0.000"), std::string::npos) << line;
  // How long each edit took to be heard (the first answers the copy's own music).
  for (size_t plays = 0;
       (plays = run.output.find("demo-studio: the music of", plays)) != std::string::npos;
       ++plays) {
    std::printf("%s\n", run.output.substr(plays, run.output.find('\n', plays) - plays).c_str());
  }
}

// A stop signal ends the studio at once, also while it makes music: unsaved
// edits go beside the file, its temporary folder goes, and the status is
// 128 + the signal. Esc does not wait for the music either. A killed run's
// folder is removed by the next run.
TEST(Studio, StopSignalsAndEscEndItAtOnce) {
  if (!generatedMediaPresent()) GTEST_SKIP() << "no media in " << kMedia;
  if (std::system("command -v xdotool >/dev/null") != 0) GTEST_SKIP() << "no xdotool";
  const std::string folder = makeTempDir(), temporaries = folder + "/tmp";
  const std::string kept = folder + "/copy.txt.unsaved";
  ASSERT_EQ(mkdir(temporaries.c_str(), 0700), 0);
  writeFile(folder + "/copy.txt", movedTimeline());
  const struct {
    const char* name;
    int signal;  // 0: Esc
    bool edit;
    int status;
    size_t folders;  // the studio's temporary folders left
  } cases[] = {
      {"SIGKILL leaves its folder", SIGKILL, false, 128 + SIGKILL, 1},
      {"SIGTERM with unsaved edits", SIGTERM, true, 128 + SIGTERM, 0},
      {"SIGINT without edits", SIGINT, false, 128 + SIGINT, 0},
      {"SIGHUP with unsaved edits", SIGHUP, true, 128 + SIGHUP, 0},
      {"Esc", 0, false, 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    unlink(kept.c_str());
    DemoOptions o = studioIn(folder, {"--timeline", "copy.txt", "--at", "56", "--paused"});
    o.env.push_back({"TMPDIR", temporaries});
    o.timeLimit = 20;
    bool making = false;
    auto sent = std::chrono::steady_clock::now();
    o.onWindow = [&](DemoWindow& w) {
      waitFor([&] { return titleHas(w, "56.000 s"); });
      if (c.edit) {
        dragOnOldschoolRow(w, 21, 23);
        waitFor([&] { return titleHas(w, "unsaved"); }, 5);
      }
      making = titleHas(w, "making the music");
      sent = std::chrono::steady_clock::now();
      if (c.signal) {
        signalDemo(w, c.signal);
      } else {
        pressKey(w, "Escape");
      }
    };
    const DemoRun run = runDemo(o);
    const double ended = secondsSince(sent);
    std::printf("%s: ended %.0f ms after it (music being made: %s)\n", c.name, ended * 1000,
                making ? "yes" : "no");
    EXPECT_EQ(run.status, c.status) << run.output;
    // About a tenth of a second on an idle machine (printed above); the bound
    // leaves room for a loaded one and still catches a studio that waits for
    // the music (ten seconds and more) or ignores the signal.
    if (c.signal != SIGKILL) {
      EXPECT_LT(ended, 5.0);
    }
    EXPECT_EQ(namesIn(temporaries, "demo-studio-").size(), c.folders);
    EXPECT_EQ(access(kept.c_str(), F_OK) == 0, c.edit);
    if (c.edit) {
      EXPECT_EQ(readFile(kept).find("\noldschoolIn 20 "), std::string::npos) << readFile(kept);
      EXPECT_NE(run.output.find("copy.txt.unsaved"), std::string::npos) << run.output;
    }
  }
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
  int failingRowPixels = 0, rowPixelsWhenFixed = -1;
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
    failingRowPixels = panelPixelsNear(windowPicture(w), 150, 20, 20);
    unlink(starfield.c_str());
    missingSeen = waitFor([&] { return titleHas(w, "ERROR in starfield.frag"); }, 5);
    // A FIFO in the file's place has no writer: opening it to read must not block.
    mkfifo(starfield.c_str(), 0600);
    sleepSeconds(0.2);
    unlink(starfield.c_str());
    writeFile(starfield, red);
    fixedSeen = waitFor([&] { return !titleHas(w, "ERROR"); }, 5);
    sleepSeconds(0.1);
    rowPixelsWhenFixed = panelPixelsNear(windowPicture(w), 150, 20, 20);
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
  EXPECT_GT(failingRowPixels, kWindowWidth * 10) << "the failing program's row turns red";
  EXPECT_EQ(rowPixelsWhenFixed, 0) << "and back once it builds";
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
  const long from = kRate * 113 / 2;
  DecodedSound sound;
  std::string why;
  ASSERT_TRUE(
      decodeVorbis(kMedia + "/" + mediaName(MediaId::music), &sound, &why, from + 2 * kRate))
      << why;
  ASSERT_GE(static_cast<long>(sound.left.size()), from);
  std::vector<int16_t> ogg16;
  for (size_t f = static_cast<size_t>(from); f < sound.left.size(); ++f) {
    ogg16.push_back(pcm16(sound.left[f]));
    ogg16.push_back(pcm16(sound.right[f]));
  }
  const long got = static_cast<long>(ogg16.size() * 2);
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

// A maker's layers in the studio: the inspector lists them with their alpha,
// and a save that no longer compiles shows the compiler's line in the title
// while the last good program keeps drawing; a good save shows at once.
TEST(Studio, MakerLayersAreInspectedAndReloaded) {
  if (!generatedMediaPresent()) GTEST_SKIP() << "no media in " << kMedia;
  const std::string folder = makeTempDir();
  DemoOptions o =
      studioIn(folder, {"--at", "103", "--paused", "--timeline", writeMakerTimeline(folder)});
  o.env.push_back({"DEMO_STUDIO_INSPECT", "1"});
  const std::string ripple = folder + "/ripple.frag";
  double brokenSeen = -1, redSeen = -1;
  std::vector<unsigned char> before, whileBroken;
  o.onWindow = [&](DemoWindow& w) {
    waitFor([&] { return titleHas(w, "103.000 s"); });
    pressKey(w, "Tab");
    sleepSeconds(0.5);
    before = stripOf(windowPicture(w));
    writeFile(ripple, "uniform float alpha;\nvoid main()\n{\n    gl_FragColor = vec4(1.0) +;\n}\n");
    brokenSeen = waitFor([&] { return titleHas(w, "ERROR in ripple.frag:4: syntax error"); }, 5);
    whileBroken = stripOf(windowPicture(w));
    // Red under the badge: it shows where the badge's picture is clear.
    writeFile(ripple,
              "uniform float alpha;\nvoid main() { gl_FragColor = vec4(1, 0, 0, alpha); }\n");
    redSeen = waitFor([&] { return !titleHas(w, "ERROR") && redShare(w) > 0.05; }, 5);
    pressKey(w, "Escape");
  };
  const DemoRun run = runDemo(o);
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_GE(brokenSeen, 0) << run.output;
  EXPECT_EQ(differing(whileBroken, before), 0) << "the last good program keeps drawing";
  EXPECT_GE(redSeen, 0) << "a good save shows";
  const size_t listing = run.output.find("inspector at 103.000 s:\n");
  ASSERT_NE(listing, std::string::npos) << run.output;
  for (const char* layer : {"\nlayer: ripple", "\nlayer: badge"}) {
    const size_t at = run.output.find(layer, listing);
    ASSERT_NE(at, std::string::npos) << layer << run.output;
    EXPECT_NE(run.output.substr(at, run.output.find('\n', at + 1) - at).find("alpha=1.000"),
              std::string::npos)
        << run.output;
  }
}
