// The studio's transport, heads-up and command line, without a window.
#include "tools/studio/transport.h"
#include "tools/studio/options.h"
#include "tools/studio/scratch_folder.h"
#include "tools/studio/timeline_edit.h"
#include "tools/studio/timeline_view.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

using K = TransportKey;

Transport at(double time, bool paused = false) {
  Transport t;
  t.time = time;
  t.paused = paused;
  return t;
}

}  // namespace

TEST(StudioTransport, KeysMoveTheTimeAndSayWhenTheMusicMustFollow) {
  Transport loop91to96 = at(93);
  loop91to96.looping = true;
  loop91to96.loopStart = 91;
  loop91to96.loopEnd = 96;
  struct Case {
    const char* name;
    Transport start;
    std::vector<K> keys;
    double time;
    bool jumped;
  } cases[] = {
      {"Right", at(56, true), {K::forward1}, 57, true},
      {"Down clamps at 0", at(5), {K::back10}, 0, true},
      {"Up clamps at the end", at(125), {K::forward10}, 130, true},
      {"Home without a loop", at(70), {K::home}, 0, true},
      {"Home with a loop", loop91to96, {K::home}, 91, true},
      {"frame steps while paused",
       at(10, true),
       {K::stepForward, K::stepForward, K::stepBack},
       10 + kStepSeconds,
       true},
      {"no frame steps while playing", at(10), {K::stepForward}, 10, false},
      {"pause is no jump", at(10), {K::pauseResume}, 10, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Transport t = c.start;
    bool jumped = false;
    for (K key : c.keys) jumped = applyTransportKey(&t, key) || jumped;
    EXPECT_NEAR(t.time, c.time, 1e-9);
    EXPECT_EQ(jumped, c.jumped);
  }
}

TEST(StudioTransport, LoopSpeedAndTheEnd) {
  // I and O set the range at the current time; L needs a non-empty range.
  Transport t = at(91);
  applyTransportKey(&t, K::setLoopStart);
  t.time = 96;
  applyTransportKey(&t, K::setLoopEnd);
  applyTransportKey(&t, K::toggleLoop);
  EXPECT_TRUE(t.looping);
  EXPECT_EQ(t.loopStart, 91);
  EXPECT_EQ(t.loopEnd, 96);
  t.time = 95.99;
  EXPECT_TRUE(advanceTransport(&t, 0.02)) << "crossing the loop end wraps: a jump";
  EXPECT_EQ(t.time, 91);
  t.time = 100;
  EXPECT_FALSE(advanceTransport(&t, 0.5)) << "a seek past the loop plays on";
  EXPECT_NEAR(t.time, 100.5, 1e-9);

  // Speed doubles and halves within 0.25x to 4x; the music only plays at 1x.
  Transport s = at(10);
  for (int i = 0; i < 5; ++i) applyTransportKey(&s, K::faster);
  EXPECT_EQ(s.speed, kMaxSpeed);
  EXPECT_FALSE(musicAudible(s));
  advanceTransport(&s, 0.5);
  EXPECT_NEAR(s.time, 12, 1e-9);
  for (int i = 0; i < 5; ++i) applyTransportKey(&s, K::slower);
  EXPECT_EQ(s.speed, kMinSpeed);

  // Without a loop the end pauses on the last frame instead of running on.
  Transport end = at(129.99);
  advanceTransport(&end, 0.1);
  EXPECT_EQ(end.time, 130);
  EXPECT_TRUE(end.paused);
  EXPECT_FALSE(musicAudible(end));
}

// The loop's edges: I and O never make an empty or reversed loop (the title
// says why and keeps the old range), and a loop that ends with the timeline
// wraps like any other.
TEST(StudioTransport, LoopEdges) {
  const struct Case {
    const char* name;
    double time, loopStart, loopEnd;
    K key;           // applied before the time moves on by `advance`
    double advance;  // wall seconds; 0: paused throughout
    double start, end, timeAfter;
    const char* title;
  } cases[] = {
      {"O at 0", 0, 10, 20, K::setLoopEnd, 0, 10, 20, 0,
       "loop 10.000-20.000 on | 0 fps | loop end refused"},
      {"O before the start", 5, 10, 20, K::setLoopEnd, 0, 10, 20, 5, "loop end refused"},
      {"O at the start", 10, 10, 20, K::setLoopEnd, 0, 10, 20, 10, "loop end refused"},
      {"I at the end", 20, 10, 20, K::setLoopStart, 0, 10, 20, 20, "loop start refused"},
      {"I past the end", 50, 10, 20, K::setLoopStart, 0, 10, 20, 50, "loop start refused"},
      {"I inside", 15, 10, 20, K::setLoopStart, 0, 15, 20, 15, "loop 15.000-20.000 on | 0 fps"},
      {"O past the end", 50, 10, 20, K::setLoopEnd, 0, 10, 50, 50, "loop 10.000-50.000 on | 0 fps"},
      {"resume at a loop end of 130", 130, 125, 130, K::pauseResume, 0.02, 125, 130, 125,
       "playing"},
      {"play into a loop end of 130", 129.99, 125, 130, K::faster, 0.02, 125, 130, 125, "2x"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Transport t = at(c.time, c.advance == 0 || c.key == K::pauseResume);
    t.looping = true;
    t.loopStart = c.loopStart;
    t.loopEnd = c.loopEnd;
    applyTransportKey(&t, c.key);
    advanceTransport(&t, c.advance);
    EXPECT_EQ(t.loopStart, c.start);
    EXPECT_EQ(t.loopEnd, c.end);
    EXPECT_TRUE(t.looping);
    EXPECT_NEAR(t.time, c.timeAfter, 1e-9);
    const std::string title = headsUpText(t, 0, "");
    EXPECT_NE(title.find(c.title), std::string::npos) << title;
  }
}

// A drag across the panel: either direction, clamped to the timeline, and a
// range shorter than a frame refused with the old one kept.
TEST(StudioTransport, DraggedLoop) {
  const struct Case {
    double a, b;
    double start, end;
    bool looping;
    const char* title;
  } cases[] = {
      {40, 50, 40, 50, true, "loop 40.000-50.000 on"},
      {50, 40, 40, 50, true, "loop 40.000-50.000 on"},
      {-3, 140, 0, 130, true, "loop 0.000-130.000 on"},
      {40, 40.01, 10, 20, false, "loop 10.000-20.000 off | 0 fps | loop refused"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.title);
    Transport t = at(70);
    t.loopStart = 10;
    t.loopEnd = 20;
    setTransportLoop(&t, c.a, c.b);
    EXPECT_EQ(t.loopStart, c.start);
    EXPECT_EQ(t.loopEnd, c.end);
    EXPECT_EQ(t.looping, c.looping);
    EXPECT_EQ(t.time, 70) << "setting the loop does not seek";
    EXPECT_NE(headsUpText(t, 0, "").find(c.title), std::string::npos) << headsUpText(t, 0, "");
  }
  Transport t = at(70);
  EXPECT_TRUE(seekTransport(&t, 140));
  EXPECT_EQ(t.time, 130);
}

// The panel's time axis: the whole timeline across the width by default; the
// wheel keeps the time under the pointer where it is; zoom and pan stay
// within 0 to 130 s.
TEST(StudioTimelineView, ZoomAndPan) {
  const int width = 960;
  const TimelineView whole;
  EXPECT_EQ(timeAtX(whole, 0, width), 0);
  EXPECT_EQ(timeAtX(whole, width - 1, width), kEndTime) << "the last pixel is the end";
  EXPECT_NEAR(timeAtX(whole, (width - 1) * 100 / 130.0, width), 100, 1e-9);
  const struct Case {
    const char* name;
    std::vector<std::pair<double, double>> zooms;  // factor, pointer x
    double pan;                                    // pixels, after the zooms
    double start, span;
  } cases[] = {
      {"in around the middle", {{0.5, 479.5}}, 0, 32.5, 65},
      {"in at the left edge", {{0.5, 0}}, 0, 0, 65},
      {"out past the whole", {{0.5, 479.5}, {4, 479.5}}, 0, 0, 130},
      {"in to the narrowest", {{1e-6, 959}}, 0, 130 - kMinViewSpan, kMinViewSpan},
      {"pan to earlier times stops at 0", {{0.5, 479.5}}, 2000, 0, 65},
      {"pan to later times stops at the end", {{0.5, 479.5}}, -2000, 65, 65},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TimelineView v;
    for (const auto& [factor, x] : c.zooms) {
      const double before = timeAtX(v, x, width);
      zoomView(&v, factor, x, width);
      if (v.span > kMinViewSpan && v.span < kEndTime && x > 0 && x < width - 1) {
        EXPECT_NEAR(timeAtX(v, x, width), before, 1e-9) << "the time under the pointer stays";
      }
    }
    panView(&v, c.pan, width);
    EXPECT_NEAR(v.start, c.start, 1e-9);
    EXPECT_NEAR(v.span, c.span, 1e-9);
    EXPECT_NEAR(xAtTime(v, timeAtX(v, 123, width), width), 123, 1e-9);
  }
}

TEST(StudioTransport, HeadsUpNamesTimeSectionStateAndErrors) {
  Transport t = at(57, true);
  const std::string title = headsUpText(t, 59.6, "");
  for (const char* part : {"57.000 s", "overlays: space", "paused", "1x", "60 fps"}) {
    EXPECT_NE(title.find(part), std::string::npos) << part << " in " << title;
  }
  EXPECT_EQ(title.find("ERROR"), std::string::npos);
  EXPECT_NE(headsUpText(t, 60, "starfield.frag").find("ERROR in starfield.frag"),
            std::string::npos);
  EXPECT_STREQ(scheduleSection(119.99), "scroller");
  EXPECT_STREQ(scheduleSection(120), "closing");
  EXPECT_STREQ(scheduleSection(130), "closing: end picture");
}

TEST(StudioOptions, GoodAndBadCommandLines) {
  struct Case {
    std::vector<const char*> args;
    bool ok;
    const char* errorPart;
  } cases[] = {
      {{"--at", "95", "--loop", "91:96", "--speed", "0.5", "--scale", "2", "--paused"}, true, ""},
      {{"--at", "131"}, false, "--at"},
      {{"--loop", "96:91"}, false, "A:B"},
      {{"--speed", "8"}, false, "0.25 to 4"},
      {{"--scale", "1.5"}, false, "whole number"},
      {{"--fullscreen"}, false, "unknown option"},
  };
  for (const Case& c : cases) {
    std::vector<const char*> argv{"demo-studio"};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    StudioOptions o;
    std::string error;
    SCOPED_TRACE(c.args[0]);
    EXPECT_EQ(parseStudioOptions(static_cast<int>(argv.size()), argv.data(), &o, &error), c.ok);
    EXPECT_NE(error.find(c.errorPart), std::string::npos) << error;
    EXPECT_TRUE(!c.ok || (o.at == 95 && o.loopStart == 91 && o.loopEnd == 96 && o.scale == 2));
  }
}

// A drag on a ramp moves its fade by whole frames; undo and redo step
// through the drags; the unsaved mark follows; a save reads back the same.
TEST(StudioTimelineEdit, DragUndoRedoAndSave) {
  const Timeline& builtin = timeline::builtin();
  const int oldschoolIn = fadeIndex("oldschoolIn");
  EXPECT_EQ(fadeWithRampAt(builtin, 21), oldschoolIn);
  EXPECT_EQ(fadeWithRampAt(builtin, 29), fadeIndex("oldschoolOut")) << "a fade-out's ramp";
  EXPECT_EQ(fadeWithRampAt(builtin, 40), -1);
  EXPECT_EQ(movedFadeTime(20, 2.004), 20 + 2.0f) << "the nearest frame";
  EXPECT_EQ(movedFadeTime(20, 0.01), 1201 / 60.0f);
  EXPECT_EQ(movedFadeTime(129, 5), 130);

  TimelineEditor e(builtin);
  e.beginMove(oldschoolIn);
  e.moveBy(1.3);
  e.moveBy(2.004);  // each move is from where the drag began
  EXPECT_TRUE(e.endMove());
  EXPECT_EQ(e.timeline().oldschoolIn.at, 22);
  EXPECT_TRUE(e.unsaved());
  e.beginMove(oldschoolIn);
  EXPECT_FALSE(e.endMove()) << "a drag that moved nothing is no step";
  double from = 0, to = 0;
  ASSERT_TRUE(changedStretch(builtin, e.timeline(), &from, &to));
  EXPECT_EQ(from, 20);
  EXPECT_EQ(to, 24);

  EXPECT_TRUE(e.undo());
  EXPECT_EQ(e.timeline().oldschoolIn.at, 20);
  EXPECT_FALSE(e.unsaved());
  EXPECT_FALSE(e.undo());
  EXPECT_TRUE(e.redo());
  EXPECT_EQ(e.timeline().oldschoolIn.at, 22);

  char folder[] = "/tmp/timeline-edit-XXXXXX";
  ASSERT_NE(mkdtemp(folder), nullptr);
  const std::string path = std::string(folder) + "/timeline.txt";
  std::string error;
  ASSERT_TRUE(saveTimeline(path, e.timeline(), &error)) << error;
  e.markSaved();
  EXPECT_FALSE(e.unsaved());
  Timeline read;
  ASSERT_TRUE(loadTimeline(path, &read, &error)) << error;
  EXPECT_TRUE(read.sameFades(e.timeline()));
  EXPECT_EQ(timelineText(read), timelineText(e.timeline()));
  unlink(path.c_str());
  rmdir(folder);
}

// A drag stops where the picture would no longer show whole: a fade-in full
// no later than its fade-out begins, and the other way round; fades without
// a pair go anywhere.
TEST(StudioTimelineEdit, DragsStopAtTheOtherFadeOfThePair) {
  const struct {
    const char* fade;
    double by;
    float at;
  } cases[] = {
      {"oldschoolIn", 20, 26},       {"oldschoolOut", -20, 24},
      {"spaceIn", 30, 61},           {"loveIn", 20, 78},
      {"loveOut", -20, 82},          {"oldschoolIn", 3, 23},
      {"morphIn", 20, 2700 / 60.0f}, {"logoOut", 100, 109},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.fade) + " by " + std::to_string(c.by));
    TimelineEditor e(timeline::builtin());
    e.beginMove(fadeIndex(c.fade));
    e.moveBy(c.by);
    e.endMove();
    EXPECT_EQ(e.timeline().fade(fadeIndex(c.fade)).at, c.at);
  }
}

// Beyond the studio test's saves: a file changed again after the warning is
// warned of again, and a link into a missing folder is refused, named, and
// left a link.
TEST(StudioTimelineEdit, SavesWarnAgainAndRefuseLinksIntoNowhere) {
  char made[] = "/tmp/timeline-save-XXXXXX";
  ASSERT_NE(mkdtemp(made), nullptr);
  const std::string folder = made, file = folder + "/t.txt", link = folder + "/link.txt";
  auto write = [](const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
  };
  using S = TimelineFile::Save;
  const Timeline& t = timeline::builtin();
  std::string error;
  write(file, "a");
  TimelineFile f(file, fileContentOf(file));
  write(file, "b");
  EXPECT_EQ(f.save(t, &error), S::changedOnDisk);
  write(file, "c");
  EXPECT_EQ(f.save(t, &error), S::changedOnDisk) << "changed again after the warning";
  EXPECT_EQ(fileContentOf(file).text, "c");
  EXPECT_EQ(f.save(t, &error), S::saved) << error;

  ASSERT_EQ(symlink("absent/t.txt", link.c_str()), 0);
  TimelineFile nowhere(link, fileContentOf(link));
  EXPECT_EQ(nowhere.save(t, &error), S::failed);
  EXPECT_NE(error.find("absent/t.txt"), std::string::npos) << error;
  struct stat s;
  EXPECT_TRUE(lstat(link.c_str(), &s) == 0 && S_ISLNK(s.st_mode));
  // The folder this test made; remove_all removes a link, not what it names.
  std::filesystem::remove_all(folder);
}

// A killed studio's folder is removed by a later run only when it carries a
// dead PID in its name and that PID's record, and then only the regular
// files the record names (and the writer's temporaries of that PID).
TEST(StudioScratchFolder, LeftoversOfDeadRunsOnly) {
  char made[] = "/tmp/scratch-XXXXXX";
  ASSERT_NE(mkdtemp(made), nullptr);
  const std::string parent = made;
  const pid_t child = fork();
  if (child == 0) _exit(0);
  waitpid(child, nullptr, 0);
  const std::string dead = std::to_string(child), alive = std::to_string(getppid());
  const std::string outside = parent + "/outside.txt";
  std::ofstream(outside) << "not the studio's";
  const struct {
    const char* name;
    std::string owner, record;       // the PID in the name, the record's text
    std::vector<std::string> files;  // made in it; "@x" is a link to outside.txt
    bool gone;
  } cases[] = {
      {"dead run",
       dead,
       "demo-studio " + dead + "\nmusic-1.ogg\nmusic-2.ogg\n",
       {"music-1.ogg", ".music-2.ogg-" + dead + "-Ab12Cd"},
       true},
      {"a file it did not make",
       dead,
       "demo-studio " + dead + "\nmusic-1.ogg\n",
       {"music-1.ogg", "notes.txt"},
       false},
      {"a link where a file was",
       dead,
       "demo-studio " + dead + "\nmusic-1.ogg\n",
       {"@music-1.ogg"},
       false},
      {"no record", dead, "", {"music-1.ogg"}, false},
      {"another's record", dead, "demo-studio 1\nmusic-1.ogg\n", {"music-1.ogg"}, false},
      {"running", alive, "demo-studio " + alive + "\nmusic-1.ogg\n", {"music-1.ogg"}, false},
  };
  std::vector<std::string> folders;
  for (const auto& c : cases) {
    const std::string dir =
        parent + "/demo-studio-" + c.owner + "-" + std::to_string(folders.size()) + "abcde";
    folders.push_back(dir);
    ASSERT_EQ(mkdir(dir.c_str(), 0700), 0);
    if (!c.record.empty()) std::ofstream(dir + "/.demo-studio-record") << c.record;
    for (const std::string& f : c.files) {
      if (f[0] == '@') {
        ASSERT_EQ(symlink(outside.c_str(), (dir + "/" + f.substr(1)).c_str()), 0);
      } else {
        std::ofstream(dir + "/" + f) << "x";
      }
    }
  }
  // A link in a leftover's name to a folder with a dead PID's record.
  const std::string target = parent + "/target";
  ASSERT_EQ(mkdir(target.c_str(), 0700), 0);
  std::ofstream(target + "/.demo-studio-record") << "demo-studio " + dead + "\n";
  ASSERT_EQ(symlink(target.c_str(), (parent + "/demo-studio-" + dead + "-link00").c_str()), 0);

  removeLeftoverScratchFolders(parent, processRuns);
  for (size_t i = 0; i < folders.size(); ++i) {
    SCOPED_TRACE(cases[i].name);
    EXPECT_EQ(access(folders[i].c_str(), F_OK) != 0, cases[i].gone);
  }
  EXPECT_EQ(access(outside.c_str(), F_OK), 0);
  EXPECT_EQ(access((target + "/.demo-studio-record").c_str(), F_OK), 0) << "never through a link";
  EXPECT_EQ(access((folders[1] + "/notes.txt").c_str(), F_OK), 0);
  std::filesystem::remove_all(parent);  // made by this test; links are removed, not followed
}
