// demo-capture as a user runs it: outputs, determinism, and every way it refuses.
#include "presentation/media.h"
#include "presentation/window.h"
#include "tests/support/demo_process.h"
#include "tests/support/picture.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
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
                std::vector<std::pair<std::string, std::string>> env = {},
                const std::string& workingDir = "/tmp") {
  DemoOptions o;
  o.binary = kCapture;
  o.workingDir = workingDir;
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

// Names in a folder, hidden ones included.
std::vector<std::string> entries(const std::string& folder) {
  std::vector<std::string> names;
  DIR* dir = opendir(folder.c_str());
  while (const dirent* e = dir ? readdir(dir) : nullptr) {
    if (std::string(e->d_name) != "." && std::string(e->d_name) != "..") names.push_back(e->d_name);
  }
  if (dir) closedir(dir);
  std::sort(names.begin(), names.end());
  return names;
}

std::string kindOf(const std::string& path) {
  struct stat s;
  if (lstat(path.c_str(), &s) != 0) return "absent";
  return S_ISREG(s.st_mode)    ? "file"
         : S_ISCHR(s.st_mode)  ? "chardev"
         : S_ISFIFO(s.st_mode) ? "fifo"
                               : "other";
}

// How many processes have `text` in their command line.
int processesNaming(const std::string& text) {
  int count = 0;
  for (const std::string& pid : entries("/proc")) {
    if (!std::isdigit(static_cast<unsigned char>(pid[0]))) continue;
    std::string cmdline = fileBytes("/proc/" + pid + "/cmdline");
    std::replace(cmdline.begin(), cmdline.end(), '\0', ' ');
    if (cmdline.find(text) != std::string::npos) ++count;
  }
  return count;
}

// A folder of links to the generated media, with the named files left out.
std::string mediaWithout(const std::string& folder, std::vector<std::string> left) {
  mkdir(folder.c_str(), 0777);
  for (const std::string& name : entries(kMedia)) {
    if (std::find(left.begin(), left.end(), name) != left.end()) continue;
    if (symlink((kMedia + "/" + name).c_str(), (folder + "/" + name).c_str()) != 0)
      ADD_FAILURE() << "cannot link " << name << " into " << folder;
  }
  return folder;
}

Picture load(const std::string& path) {
  Picture p;
  loadPicture(path, p);
  return p;
}

}  // namespace

TEST(Capture, FailuresExitOneWithOneLineNamingTheCause) {
  const std::string folder = makeTempDir();
  const std::string noFfmpeg = folder + "/bin.png";
  mkdir(noFfmpeg.c_str(), 0777);
  struct Case {
    const char* name;
    std::vector<std::string> args;
    std::vector<std::pair<std::string, std::string>> env;
    std::string expected;
  } cases[] = {
      {"no ffmpeg", {"--video", folder + "/v.mp4"}, {{"PATH", noFfmpeg}}, "Debian package: ffmpeg"},
      {"unwritable still", {"--still", "1", "/no/such/folder/s.png"}, {}, "/no/such/folder/s.png"},
      {"output is a folder", {"--sheet", noFfmpeg}, {}, "it is a folder"},
      {"no media folder",
       {"--media", folder + "/none", "--still", "1", folder + "/s.png"},
       {},
       "media folder"},
      {"no EGL driver",
       {"--still", "1", folder + "/s.png"},
       {{"__EGL_VENDOR_LIBRARY_FILENAMES", "/nonexistent.json"}},
       "EGL"},
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
  // The same media with the space picture made fully transparent: the two stills at
  // 56 s (space at alpha 0.5) may differ only where the real picture has alpha.
  const std::string clear = folder + "/clear";
  mkdir(clear.c_str(), 0777);
  const std::string spaceFile = mediaName(MediaId::space);
  for (const MediaFile& f : kMediaFiles) {
    if (f.name == spaceFile) continue;
    ASSERT_EQ(symlink((kMedia + "/" + f.name).c_str(), (clear + "/" + f.name).c_str()), 0);
  }
  shell("ffmpeg -loglevel error -f lavfi -i color=c=black@0.0:s=64x64,format=rgba -frames:v 1 " +
        clear + "/" + spaceFile);

  const std::string a = folder + "/a.png", b = folder + "/b.png", c = folder + "/c.png";
  ASSERT_EQ(capture({"--media", kMedia, "--still", "56", a}).status, 0);
  ASSERT_EQ(capture({"--media", kMedia, "--still", "56", b}).status, 0);
  ASSERT_EQ(capture({"--media", clear, "--still", "56", c}).status, 0);
  EXPECT_EQ(fileBytes(a), fileBytes(b)) << "two stills of one time must be identical";

  Picture with = load(a), without = load(c), space = load(kMedia + "/" + spaceFile);
  ASSERT_EQ(with.w, kWindowWidth);
  ASSERT_EQ(with.h, kWindowHeight);
  ASSERT_GT(space.w, 0);
  int differing = 0, outside = 0;
  for (int y = 0; y < 89; ++y) {
    for (int x = 0; x < 960; ++x) {
      const size_t i = (static_cast<size_t>(y) * 960 + x) * 4;
      const bool differs = std::abs(with.px[i] - without.px[i]) > 1 ||
                           std::abs(with.px[i + 1] - without.px[i + 1]) > 1 ||
                           std::abs(with.px[i + 2] - without.px[i + 2]) > 1;
      if (!differs) continue;
      ++differing;
      // The picture is stretched over the frame; allow a texel of filtering around.
      bool opaqueNear = false;
      const int sx = x * space.w / 960, sy = y * space.h / 89;
      for (int dy = -2; dy <= 2 && !opaqueNear; ++dy) {
        for (int dx = -2; dx <= 2 && !opaqueNear; ++dx) {
          const int px = std::clamp(sx + dx, 0, space.w - 1),
                    py = std::clamp(sy + dy, 0, space.h - 1);
          opaqueNear = space.px[(static_cast<size_t>(py) * space.w + px) * 4 + 3] > 0;
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
  // Parents are made; frames of an earlier, longer run go, other files stay.
  const std::string frameFolder = folder + "/a/frames";
  ASSERT_EQ(capture({"--media", kMedia, "--to", "0.05", "--fps", "100", "--size", "8x8", "--frames",
                     frameFolder})
                .status,
            0);
  std::ofstream(frameFolder + "/notes.txt") << "keep";
  DemoRun frames = capture({"--media", kMedia, "--from", "10", "--to", "10.1", "--fps", "30",
                            "--size", "320x40", "--frames", frameFolder});
  ASSERT_EQ(frames.status, 0) << frames.output;
  EXPECT_EQ(entries(frameFolder), (std::vector<std::string>{"frame_000000.png", "frame_000001.png",
                                                            "frame_000002.png", "notes.txt"}));
  for (int i = 0; i < 3; ++i) {
    char name[64];
    std::snprintf(name, sizeof name, "/a/frames/frame_%06d.png", i);
    Picture p = load(folder + name);
    EXPECT_EQ(p.w, 320) << name;
    EXPECT_EQ(p.h, 40) << name;
  }

  DemoRun sheet = capture(
      {"--media", kMedia, "--sheet", folder + "/sheet.png", "--times", "0,6,21", "--columns", "2"});
  ASSERT_EQ(sheet.status, 0) << sheet.output;
  Picture s = load(folder + "/sheet.png");
  EXPECT_EQ(s.w, 2 * 960 + 3 * 4);
  EXPECT_EQ(s.h, 2 * (89 + 20) + 3 * 4);

  // Times written from fades are read against the timeline drawn: with
  // spaceIn moved to 60 in a copy, the storyboard keeps a frame where SPACE
  // is whole (from spaceIn's far end to where spaceOut starts to take it),
  // and the copy's spaceIn+2.5 is its frame at 62.5 s.
  const std::string moved = folder + "/moved.txt";
  shell("sed 's/^spaceIn 55 /spaceIn 60 /' " DEMO_SOURCE_DIR "/presentation/timeline.txt > " +
        moved);
  DemoRun listing = capture({"--print-timeline", "--timeline", moved});
  ASSERT_EQ(listing.status, 0) << listing.output;
  std::istringstream in(listing.output);
  double whole = -1, gone = -1;
  std::vector<double> board;
  for (std::string line; std::getline(in, line);) {
    std::istringstream f(line);
    std::string name, at, rate, dir;
    double edge = 0;
    f >> name;
    if (name == "storyboard") {
      for (double t; f >> t;) board.push_back(t);
    } else if ((name == "spaceIn" || name == "spaceOut") && f >> at >> rate >> dir >> edge) {
      (name == "spaceIn" ? whole : gone) = edge;
    }
  }
  EXPECT_EQ(whole, 62) << listing.output;
  EXPECT_TRUE(
      std::any_of(board.begin(), board.end(), [&](double t) { return t >= whole && t <= gone; }))
      << "no storyboard frame shows SPACE whole:\n"
      << listing.output;
  const std::string relative = folder + "/relative.png", seconds = folder + "/seconds.png";
  ASSERT_EQ(
      capture({"--media", kMedia, "--timeline", moved, "--still", "spaceIn+2.5", relative}).status,
      0);
  ASSERT_EQ(capture({"--media", kMedia, "--timeline", moved, "--still", "62.5", seconds}).status,
            0);
  EXPECT_EQ(fileBytes(relative), fileBytes(seconds));
}

TEST(Capture, VideoHasTheFramesDurationAndMusicOfItsRange) {
  if (!generatedMediaPresent()) GTEST_SKIP() << "no media in " << kMedia;
  const std::string folder = makeTempDir();
  const std::string video = folder + "/v.mp4";
  DemoRun run = capture({"--media", kMedia, "--from", "55", "--to", "56.5", "--fps", "20", "--size",
                         "320x41", "--video", video});
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_NE(run.output.find("wrote 30 frames"), std::string::npos) << run.output;
  const std::string probe = shell(
      "ffprobe -v error -show_entries stream=codec_type,width,height,nb_frames,duration "
      "-of compact=p=0:nk=1 " +
      video);
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
      if (i % 4 != 3) difference += std::abs(frame.px[a + i] - picture.px[b + i]);
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
  DemoRun run =
      capture({"--media", kMedia, "--to", "5", "--size", "200x50", "--video", folder + "/v.mp4"},
              {{"PATH", folder + ":/usr/bin:/bin"}});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.output.find("video stopped at frame "), std::string::npos) << run.output;
  EXPECT_NE(run.output.find("disk on fire"), std::string::npos) << run.output;
}

// Where an output may point: a new or old file, a device, a FIFO, names that
// look like URLs or options. The target ends up written or as it was, never
// removed, and no temporary is left beside it.
TEST(Capture, OutputPathsAreWrittenWhole) {
  if (!generatedMediaPresent()) GTEST_SKIP() << "no media in " << kMedia;
  const std::string folder = makeTempDir();
  std::ofstream(folder + "/old.png") << "old";
  mknod((folder + "/null.png").c_str(), S_IFCHR | 0666, makedev(1, 3));
  mknod((folder + "/full.png").c_str(), S_IFCHR | 0666, makedev(1, 7));
  mknod((folder + "/dev.mp4").c_str(), S_IFCHR | 0666, makedev(1, 3));
  mkfifo((folder + "/fifo.png").c_str(), 0666);
  const std::vector<std::string> shortVideo = {"--from", "56", "--to", "56.2", "--size", "64x16"};
  struct Case {
    std::vector<std::string> args;
    int status;
    std::string path, kind;  // what `path` is afterwards
  } cases[] = {
      {{"--still", "56", "new.png"}, 0, "new.png", "file"},
      {{"--still", "56", "old.png"}, 0, "old.png", "file"},
      {{"--still", "56", "null.png"}, 0, "null.png", "chardev"},
      {{"--still", "56", "full.png"}, 1, "full.png", "chardev"},
      {{"--still", "56", "fifo.png"}, 1, "fifo.png", "fifo"},  // no reader: refused, no hang
      {{"--sheet", "full.png", "--count", "2"}, 1, "full.png", "chardev"},
      {{"--frames", "full.png"}, 1, "full.png", "chardev"},
      {{"--video", "dev.mp4"}, 1, "dev.mp4", "chardev"},
      {{"--video", "take2:v.mp4"}, 0, "take2:v.mp4", "file"},
      {{"--video", "file:v.mp4"}, 0, "file:v.mp4", "file"},
      {{"--video", "-v.mp4"}, 0, "-v.mp4", "file"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = {"--media", kMedia};
    if (c.args[0] == "--video") args.insert(args.end(), shortVideo.begin(), shortVideo.end());
    args.insert(args.end(), c.args.begin(), c.args.end());
    SCOPED_TRACE(c.args[0] + " " + c.path);
    const DemoRun run = capture(args, {}, folder);
    EXPECT_EQ(run.status, c.status) << run.output;
    EXPECT_EQ(kindOf(folder + "/" + c.path), c.kind);
    if (c.status == 0 && c.kind == "file") {
      EXPECT_NE(fileBytes(folder + "/" + c.path), "old");
      if (c.args[0] == "--video") {
        EXPECT_NE(run.output.find(" to " + c.path + " in "), std::string::npos)
            << "messages name the file as given: " << run.output;
      }
    }
    if (c.status != 0) {
      EXPECT_EQ(lines(run.output), 1) << run.output;
    }
    for (const std::string& name : entries(folder)) EXPECT_NE(name[0], '.') << "left behind";
  }
  EXPECT_EQ(shell("ffprobe -v error -show_entries stream=codec_type -of csv=p=0 file:" + folder +
                  "/take2:v.mp4"),
            "video\naudio\n");
}

// The capture started in the background with stderr into `log` and `env` set.
pid_t startCapture(const std::vector<std::string>& args, const std::string& log,
                   const std::vector<std::pair<std::string, std::string>>& env = {}) {
  const pid_t pid = fork();
  if (pid == 0) {
    const int fd = open(log.c_str(), O_WRONLY | O_CREAT, 0644);
    dup2(fd, 2);
    for (const auto& [name, value] : env) setenv(name.c_str(), value.c_str(), 1);
    std::vector<char*> argv = {const_cast<char*>(kCapture.c_str())};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(kCapture.c_str(), argv.data());
    _exit(127);
  }
  return pid;
}

// A folder holding a stand-in "ffmpeg" (the real ffprobe beside it) whose
// behaviour DEMO_STANDIN picks, for an encoder's end that a real one shows
// only on a full disk or at the end of a long last pass (which ignores
// SIGTERM as ffmpeg does until the pass ends). Runs that do not write a
// file (the music check) end at once.
std::string standInFfmpeg() {
  const std::string folder = makeTempDir();
  std::ofstream(folder + "/ffmpeg") << "#!/bin/sh\n"
                                       "for a; do out=$a; done\n"
                                       "case $out in file:*) ;; *) exit 0;; esac\n"
                                       "case $DEMO_STANDIN in\n"
                                       "  nothing) cat >/dev/null;;\n"
                                       "  three) head -c $DEMO_BYTES > \"${out#file:}\";;\n"
                                       "  lastpass) cat >/dev/null; echo $$ > \"$DEMO_MARK\";"
                                       " trap '' TERM; exec sleep 30;;\n"
                                       "esac\n";
  chmod((folder + "/ffmpeg").c_str(), 0755);
  if (symlink("/usr/bin/ffprobe", (folder + "/ffprobe").c_str()) != 0)
    ADD_FAILURE() << "cannot link ffprobe into " << folder;
  return folder;
}

// ffmpeg exits 0 when it could not write its file or its trailer: the file
// written is probed, and a capture whose file does not hold every frame
// fails, naming the file, with the old file kept byte for byte.
TEST(Capture, AVideoIsKeptOnlyWhenItHoldsEveryFrame) {
  if (!generatedMediaPresent()) GTEST_SKIP() << "no media in " << kMedia;
  const std::string bin = standInFfmpeg();
  const std::vector<std::string> range = {"--media", kMedia, "--from", "56",
                                          "--to",    "56.5", "--size", "64x16"};
  const struct Case {
    const char* standIn;
    std::string output, name;
    // A montage's clips, and the name as the message shows it when it differs.
    std::string clips = "", shown = "";
  } cases[] = {
      {"nothing", "--video", "old.mkv"},
      {"nothing", "--gif", "old.webp"},
      {"three", "--video", "old.webm"},
      {"three", "--gif", "old.gif"},
      {"three", "--gif", "old\x01.gif", "56:56.2,56.3:56.5", "old\\x01.gif"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.standIn) + " " + c.name);
    const std::string folder = makeTempDir();
    std::ofstream(folder + "/" + c.name) << "old";
    std::vector<std::string> args = range;
    if (!c.clips.empty()) args.insert(args.end(), {"--clips", c.clips});
    args.insert(args.end(), {c.output, c.name});
    const DemoRun run = capture(args,
                                {{"PATH", bin + ":/usr/bin:/bin"},
                                 {"DEMO_STANDIN", c.standIn},
                                 {"DEMO_BYTES", std::to_string(3 * 64 * 16 * 3)}},
                                folder);
    EXPECT_EQ(run.status, 1) << run.output;
    const std::string shown = c.shown.empty() ? c.name : c.shown;
    EXPECT_NE(run.output.find("demo-capture: cannot finish \"" + shown + "\": "), std::string::npos)
        << run.output;
    EXPECT_EQ(fileBytes(folder + "/" + c.name), "old");
    EXPECT_EQ(entries(folder), std::vector<std::string>{c.name}) << "temporary left";
  }
}

// The same on a real full disk, a small tmpfs (needs root and mount).
TEST(Capture, AFullDiskKeepsTheOldVideo) {
  if (!generatedMediaPresent()) GTEST_SKIP() << "no media in " << kMedia;
  const struct Case {
    std::string output, name, size;
    long freeBytes;
  } cases[] = {
      {"--video", "old.mkv", "480x44", 0},
      {"--video", "old.webm", "480x44", 0},
      {"--gif", "old.webp", "480x44", 0},
      {"--video", "old.mkv", "960x89", 60000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name + " with " + std::to_string(c.freeBytes) + " bytes free");
    const std::string folder = makeTempDir();
    if (shell("mount -t tmpfs -o size=2m tmpfs " + folder + " 2>&1 && echo mounted") !=
        "mounted\n") {
      GTEST_SKIP() << "cannot mount a tmpfs here (needs root)";
    }
    const std::string old(1 << 20, 'o');
    std::ofstream(folder + "/" + c.name) << old;
    {
      std::ofstream fill(folder + "/fill");
      fill << std::string(2 << 20, 'f');
    }
    if (c.freeBytes > 0) {
      ASSERT_EQ(truncate((folder + "/fill").c_str(), (1 << 20) - c.freeBytes - 8192), 0);
    }
    const DemoRun run = capture({"--media", kMedia, "--from", "56", "--to", "56.5", "--size",
                                 c.size, c.output, folder + "/" + c.name});
    EXPECT_EQ(run.status, 1) << run.output;
    EXPECT_NE(run.output.find("cannot finish \"" + folder + "/" + c.name + "\""), std::string::npos)
        << run.output;
    EXPECT_TRUE(fileBytes(folder + "/" + c.name) == old) << "the old file is kept";
    EXPECT_EQ(entries(folder), (std::vector<std::string>{"fill", c.name}));
    shell("umount " + folder);
  }
}

// A stop signal while ffmpeg finishes (a GIF's palette pass, a video's
// index) ends it, keeps the old file and ends the capture by the signal.
TEST(Capture, AStopSignalInTheLastPassEndsFfmpegAndKeepsTheOldFile) {
  if (!generatedMediaPresent()) GTEST_SKIP() << "no media in " << kMedia;
  const std::string bin = standInFfmpeg();
  const struct Case {
    int signal;
    std::string output, name;
  } cases[] = {{SIGTERM, "--gif", "old.gif"}, {SIGINT, "--video", "old.mkv"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string folder = makeTempDir(), logs = makeTempDir();
    const std::string target = folder + "/" + c.name, mark = logs + "/last-pass";
    std::ofstream(target) << "old";
    const pid_t pid = startCapture(
        {"--media", kMedia, "--from", "56", "--to", "56.5", "--size", "64x16", c.output, target},
        logs + "/stderr",
        {{"PATH", bin + ":/usr/bin:/bin"}, {"DEMO_STANDIN", "lastpass"}, {"DEMO_MARK", mark}});
    for (int i = 0; i < 600 && fileBytes(mark).empty(); ++i) usleep(50000);
    const pid_t ffmpeg = std::atoi(fileBytes(mark).c_str());
    ASSERT_GT(ffmpeg, 0) << "the last pass never began";
    kill(pid, c.signal);
    int status = 0;
    for (int i = 0; i < 100 && waitpid(pid, &status, WNOHANG) == 0; ++i) usleep(100000);
    if (waitpid(pid, &status, WNOHANG) == 0) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      FAIL() << "the signal was ignored through the last pass";
    }
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == c.signal);
    EXPECT_NE(kill(ffmpeg, 0), 0) << "ffmpeg outlived the capture";
    EXPECT_EQ(fileBytes(target), "old");
    EXPECT_EQ(entries(folder), std::vector<std::string>{c.name});
  }
}

// What a capture killed outright left for a target (a video's temporary
// beside it, a frame sequence's staging folder inside it) is removed by the
// next capture to that target, unless a capture that still runs made it.
// Only the target's own temporaries go, and only regular files and the
// folders they leave empty.
TEST(Capture, LeftoversOfCapturesThatNoLongerRunAreRemoved) {
  if (!generatedMediaPresent()) GTEST_SKIP() << "no media in " << kMedia;
  const pid_t gone = fork();
  if (gone == 0) _exit(0);
  waitpid(gone, nullptr, 0);
  const std::string dead = std::to_string(gone), alive = std::to_string(getpid());
  // A capture that runs, stopped: its temporaries are its own.
  const std::string busyFolder = makeTempDir();
  const pid_t busy =
      startCapture({"--media", kMedia, "--video", busyFolder + "/v.mkv"}, busyFolder + "/log");
  for (int i = 0;
       i < 100 && fileBytes("/proc/" + std::to_string(busy) + "/comm") != "demo-capture\n"; ++i) {
    usleep(20000);
  }
  kill(busy, SIGSTOP);
  const std::string running = std::to_string(busy);

  const std::string folder = makeTempDir(), frames = makeTempDir(), elsewhere = makeTempDir();
  std::ofstream(elsewhere + "/kept.ogg") << "x";
  const struct Case {
    std::string path;
    bool folder, kept, link = false;
  } cases[] = {
      {folder + "/.v.mkv-" + dead + "-a1b2c3.mkv", false, false},
      {folder + "/.v.mkv-" + alive + "-a1b2c3.mkv", false, false},  // alive, not a capture
      {folder + "/.v.mkv-" + running + "-a1b2c3.mkv", false, true},
      {folder + "/.v.mkv-" + dead + "-a1b2c3.mp4", false, true},  // another ending
      {folder + "/.w.mkv-" + dead + "-a1b2c3.mkv", false, true},  // another target
      {folder + "/.v.mkv-" + dead + "-a1b2c3x.mkv", false, true},
      {folder + "/.v.mkv-" + dead + "-a1b2c4.mkv", true, true},  // a folder
      // The music a --timeline video composes beside it, cleared by any video run.
      {folder + "/.v.mkv-" + dead + "-a1b2c3.ogg", false, false},
      {folder + "/.v.mkv-" + running + "-a1b2c3.ogg", false, true},
      {folder + "/.v.mkv-" + dead + "-a1b2c4.ogg", false, true, true},
      {frames + "/.frames-" + dead + "-a1b2c3", true, false},
      {frames + "/.frames-" + running + "-a1b2c3", true, true},
      {frames + "/.frames-" + dead + "-d4e5f6", true, true},  // holds another file
  };
  for (const Case& c : cases) {
    if (c.link) {
      EXPECT_EQ(symlink((elsewhere + "/kept.ogg").c_str(), c.path.c_str()), 0);
      continue;
    }
    if (!c.folder) {
      std::ofstream(c.path) << "x";
      continue;
    }
    mkdir(c.path.c_str(), 0777);
    if (c.path.find("/.frames-") != std::string::npos) {
      std::ofstream(c.path + "/frame_000000.png") << "x";
    }
  }
  std::ofstream(frames + "/.frames-" + dead + "-d4e5f6/notes.txt") << "mine";
  const std::vector<std::string> shortRun = {"--media", kMedia, "--from", "56",
                                             "--to",    "56.1", "--size", "64x16"};
  for (const auto& output : std::vector<std::pair<std::string, std::string>>{
           {"--video", folder + "/v.mkv"}, {"--frames", frames}}) {
    std::vector<std::string> args = shortRun;
    args.insert(args.end(), {output.first, output.second});
    EXPECT_EQ(capture(args).status, 0);
  }
  kill(busy, SIGKILL);
  waitpid(busy, nullptr, 0);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(kindOf(c.path) != "absent", c.kept);
  }
  EXPECT_EQ(kindOf(frames + "/.frames-" + dead + "-d4e5f6/frame_000000.png"), "absent");
  EXPECT_EQ(kindOf(elsewhere + "/kept.ogg"), "file") << "a link is not followed";
}

// A signal mid-run, or while the music of a --timeline is composed, ends
// ffmpeg, removes what was half written and ends the capture by that signal,
// with one line saying where it stopped.
TEST(Capture, SignalsStopCleanly) {
  if (!generatedMediaPresent()) GTEST_SKIP() << "no media in " << kMedia;
  struct Case {
    int signal;
    std::string output;
    bool composing;  // of another timeline's music, before the first frame
  } cases[] = {{SIGTERM, "--video", false},
               {SIGINT, "--video", false},
               {SIGHUP, "--frames", false},
               {SIGTERM, "--video", true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.signal) + (c.composing ? " while composing" : ""));
    const std::string folder = makeTempDir(), logs = makeTempDir();
    const std::string target = folder + (c.output == "--video" ? "/v.mp4" : "");
    if (c.output == "--video") std::ofstream(target) << "old";
    std::vector<std::string> args = {"--media", kMedia, "--size", "320x40", c.output, target};
    if (c.composing)
      args.insert(args.end(), {"--timeline", DEMO_SOURCE_DIR "/presentation/timeline.txt"});
    const pid_t pid = startCapture(args, logs + "/stderr");
    // The hidden temporary shows that frames (or the music) are being made.
    bool started = false;
    for (int i = 0; i < 600 && !started; ++i) {
      for (const std::string& name : entries(folder)) started = started || name[0] == '.';
      usleep(100000);
    }
    ASSERT_TRUE(started);
    usleep(500000);
    kill(pid, c.signal);
    // Composing takes seconds more: an end within two means it was stopped.
    int status = 0, waited = 0;
    for (; waited < 600 && waitpid(pid, &status, WNOHANG) == 0; ++waited) usleep(100000);
    if (waited == 600) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
    }
    if (c.composing) {
      EXPECT_LE(waited, 20) << "composing went on after the signal";
    }
    ASSERT_TRUE(WIFSIGNALED(status)) << "the shell sees 128 + the signal";
    EXPECT_EQ(WTERMSIG(status), c.signal);
    const std::string log = fileBytes(logs + "/stderr");
    EXPECT_NE(log.find(c.composing ? "stopped while composing the music\n" : " of 7800\n"),
              std::string::npos)
        << log;
    if (!c.composing) {
      EXPECT_NE(log.find("stopped at frame "), std::string::npos) << log;
    }
    EXPECT_EQ(processesNaming(folder), 0) << "ffmpeg is still running";
    EXPECT_EQ(entries(folder), c.output == "--video" ? std::vector<std::string>{"v.mp4"}
                                                     : std::vector<std::string>{});
    if (c.output == "--video") {
      EXPECT_EQ(fileBytes(target), "old");
    }
  }
}

// Media that cannot be used costs one line each and the video is still made:
// a FIFO is refused at once, bad music gives a silent sound track.
TEST(Capture, UnusableMediaGiveOneLineEachAndTheVideoIsMade) {
  if (!generatedMediaPresent()) GTEST_SKIP() << "no media in " << kMedia;
  const std::string folder = makeTempDir();
  const std::string logo = mediaName(MediaId::logo), music = mediaName(MediaId::music);
  const std::string media = mediaWithout(folder + "/media", {logo, music});
  mkfifo((media + "/" + logo).c_str(), 0644);
  std::ofstream(media + "/" + music) << "OggS but nothing after it";
  const DemoRun run = capture({"--media", media, "--from", "56", "--to", "56.2", "--size", "64x16",
                               "--video", folder + "/v.mkv"});
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_NE(run.output.find("\"" + logo + "\": not a regular file (a FIFO)"), std::string::npos)
      << run.output;
  EXPECT_NE(run.output.find(music + "\": ffmpeg cannot decode"), std::string::npos) << run.output;
  EXPECT_EQ(lines(run.output), 4) << "two complaints, the last progress line, the summary";
  EXPECT_EQ(
      shell("ffprobe -v error -show_entries stream=codec_type -of csv=p=0 " + folder + "/v.mkv"),
      "video\naudio\n");
}

// A supersampled frame is the exact box average of the frame drawn N times
// larger; a preset centres the strip on its 16:9 frame; a preview loops alone.
TEST(Capture, SupersampledFramedAndPreviewOutputs) {
  if (!generatedMediaPresent()) GTEST_SKIP() << "no media in " << kMedia;
  const std::string folder = makeTempDir();
  ASSERT_EQ(capture({"--media", kMedia, "--size", "480x44", "--ssaa", "2", "--still", "50",
                     folder + "/small.png"})
                .status,
            0);
  ASSERT_EQ(capture({"--media", kMedia, "--size", "960x88", "--still", "50", folder + "/large.png"})
                .status,
            0);
  const Picture small = load(folder + "/small.png"), large = load(folder + "/large.png");
  ASSERT_EQ(small.w, 480);
  ASSERT_EQ(small.h, 44);
  int wrong = 0;
  for (int y = 0; y < 44; ++y) {
    for (int x = 0; x < 480; ++x) {
      for (int c = 0; c < 3; ++c) {
        int sum = 0;
        for (int d = 0; d < 4; ++d) {
          sum += large.px[((static_cast<size_t>(2 * y + d / 2)) * 960 + 2 * x + d % 2) * 4 + c];
        }
        wrong += small.px[(static_cast<size_t>(y) * 480 + x) * 4 + c] != (sum + 2) / 4;
      }
    }
  }
  EXPECT_EQ(wrong, 0);

  const std::string video = folder + "/hd.mp4";
  DemoRun run = capture({"--media", kMedia, "--preset", "1080p", "--from", "50", "--to", "50.1",
                         "--fps", "20", "--video", video});
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_EQ(shell("ffprobe -v error -show_entries stream=codec_name,profile,width,height,pix_fmt "
                  "-of csv=p=0 " +
                  video),
            "h264,High,1920,1080,yuv420p\naac,LC\n");
  shell("ffmpeg -loglevel error -i " + video + " -frames:v 1 " + folder + "/hd.png");
  const Picture hd = load(folder + "/hd.png");
  ASSERT_EQ(hd.w, 1920);
  auto rowMean = [&](int y) {
    long sum = 0;
    for (int x = 0; x < 1920; ++x) sum += hd.px[(static_cast<size_t>(y) * 1920 + x) * 4 + 1];
    return sum / 1920;
  };
  // The strip fills rows 450 to 627; above and below is black.
  for (int y : {0, 445, 632, 1079}) EXPECT_LE(rowMean(y), 2) << "row " << y;
  for (int y : {452, 540, 625}) EXPECT_GT(rowMean(y), 20) << "row " << y;

  run = capture({"--media", kMedia, "--from", "46", "--to", "46.4", "--gif", folder + "/p.gif"});
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_EQ(shell("ffprobe -v error -count_frames -show_entries stream=codec_name,width,height,"
                  "nb_read_frames -of csv=p=0 " +
                  folder + "/p.gif"),
            "gif,480,44,6\n");
}

// A montage holds each clip's frames in the order given, and --clips is
// refused when malformed or without --gif.
TEST(Capture, PreviewMontageJoinsItsClipsInOrder) {
  if (!generatedMediaPresent()) GTEST_SKIP() << "no media in " << kMedia;
  const std::string folder = makeTempDir();
  const std::string gif = folder + "/m.gif";
  const DemoRun run = capture({"--media", kMedia, "--clips", "46:46.2,100:100.2", "--gif", gif});
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_EQ(shell("ffprobe -v error -count_frames -show_entries stream=width,height,nb_read_frames "
                  "-of csv=p=0 " +
                  gif),
            "480,44,6\n");
  shell("ffmpeg -loglevel error -i " + gif + " -vf select='eq(n\\,0)+eq(n\\,5)' -vsync 0 " +
        folder + "/m%d.png");
  // Each frame is nearer to a still of its own clip than to the other's.
  for (const char* t : {"46", "100"}) {
    ASSERT_EQ(capture({"--media", kMedia, "--size", "480x44", "--ssaa", "2", "--still", t,
                       folder + "/still" + t + ".png"})
                  .status,
              0);
  }
  auto distance = [](const Picture& a, const Picture& b) {
    long sum = 0;
    for (size_t i = 0; i < std::min(a.px.size(), b.px.size()); ++i)
      sum += std::abs(a.px[i] - b.px[i]);
    return sum;
  };
  const Picture first = load(folder + "/m1.png"), last = load(folder + "/m2.png");
  const Picture bar = load(folder + "/still46.png"), stars = load(folder + "/still100.png");
  EXPECT_LT(distance(first, bar), distance(first, stars));
  EXPECT_LT(distance(last, stars), distance(last, bar));

  for (const std::vector<std::string>& bad :
       {std::vector<std::string>{"--clips", "5:3", "--gif", gif},
        std::vector<std::string>{"--clips", "1:2", "--still", "1", folder + "/s.png"}}) {
    const DemoRun refused = capture(bad);
    EXPECT_EQ(refused.status, 2) << refused.output;
    EXPECT_NE(refused.output.find("--clips"), std::string::npos) << refused.output;
  }
}

namespace {

// Decoded frames of a video as one MD5 a line: equal text, equal pictures.
std::string frameSums(const std::string& video) {
  return shell("ffmpeg -v error -i " + video +
               " -map 0:v -f framemd5 - | grep -v '^#' | cut -d, -f6");
}

// The worst frame's PSNR of `a` against `b`, in dB (99 for identical frames).
double worstPsnr(const std::string& a, const std::string& b, const std::string& folder) {
  shell("ffmpeg -v error -i " + a + " -i " + b + " -lavfi '[0:v][1:v]psnr=stats_file=" + folder +
        "/psnr.txt' -f null -");
  std::istringstream stats(fileBytes(folder + "/psnr.txt"));
  double worst = 99;
  for (std::string word; stats >> word;) {
    if (word.compare(0, 9, "psnr_avg:") == 0 && word != "psnr_avg:inf") {
      worst = std::min(worst, std::stod(word.substr(9)));
    }
  }
  return worst;
}

DemoRun captureRange(std::vector<std::string> args) {
  // kMedia is set up in another file: it is read here, not at start-up.
  args.insert(args.begin(), {"--media", kMedia, "--from", "55", "--to", "56.05", "--fps", "20"});
  return capture(args);
}

}  // namespace

// 21 frames in 3 parts of 7; the joined video against one piece, against parts
// rendered last to first, and against a run resumed from two finished parts.
TEST(CaptureSegments, JoinedPartsMatchOnePieceInAnyOrderAndAfterAResume) {
  if (!generatedMediaPresent()) GTEST_SKIP() << "no media in " << kMedia;
  const std::string folder = makeTempDir();
  const std::string seg = folder + "/seg.mp4", one = folder + "/one.mp4", parts = folder + "/P";
  DemoRun run = captureRange({"--segments", "3", "--video", seg});
  ASSERT_EQ(run.status, 0) << run.output;
  ASSERT_EQ(captureRange({"--video", one}).status, 0);
  EXPECT_EQ(kindOf(seg + ".parts"), "absent");
  EXPECT_EQ(shell("ffprobe -v error -count_packets -show_entries stream=codec_type,nb_read_packets,"
                  "duration -of csv=p=0 " +
                  seg),
            shell("ffprobe -v error -count_packets -show_entries stream=codec_type,nb_read_packets,"
                  "duration -of csv=p=0 " +
                  one));
  EXPECT_EQ(shell("ffprobe -v error -select_streams v -show_entries packet=dts -of csv=p=0 " + seg +
                  " | sort -n -c && echo ascending"),
            "ascending\n");
  EXPECT_GE(worstPsnr(seg, one, folder), 35);

  for (const char* k : {"3", "2", "1"}) {
    run = captureRange({"--segment", std::string(k) + "/3", "--parts", parts});
    ASSERT_EQ(run.status, 0) << run.output;
  }
  EXPECT_NE(run.output.find("wrote frames 0-6 of 21 frames"), std::string::npos) << run.output;
  // Parts of the built-in timeline are joined under a copy that differs only
  // in comments and spacing: it draws the same frames.
  shell("sed 's/^spaceIn 55 /# moved back\\nspaceIn  55\\t/' " DEMO_SOURCE_DIR
        "/presentation/timeline.txt > " +
        folder + "/commented.txt");
  run = captureRange({"--timeline", folder + "/commented.txt", "--join", parts, "--video",
                      folder + "/joined.mp4"});
  ASSERT_EQ(run.status, 0) << run.output;
  const std::string sums = frameSums(seg);
  EXPECT_EQ(lines(sums), 21);
  EXPECT_EQ(frameSums(folder + "/joined.mp4"), sums);

  // Two finished parts and what a killed render of the third left behind.
  const std::string resumed = folder + "/res.mp4";
  mkdir((resumed + ".parts").c_str(), 0777);
  shell("cp " + parts + "/part-1-of-3.* " + parts + "/part-2-of-3.* " + resumed +
        ".parts/ && : > " + resumed + ".parts/.part-3-of-3.mp4-AbCdEf.mp4");
  run = captureRange({"--segments", "3", "--video", resumed});
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_NE(run.output.find("segments: 2 of 3 already done"), std::string::npos) << run.output;
  EXPECT_EQ(frameSums(resumed), sums);
  EXPECT_EQ(kindOf(resumed + ".parts"), "absent");
}

TEST(CaptureSegments, JoinRefusesMissingForeignOrChangedPartsInOneLine) {
  if (!generatedMediaPresent()) GTEST_SKIP() << "no media in " << kMedia;
  const std::string folder = makeTempDir(), parts = folder + "/P", out = folder + "/out.mp4";
  for (const char* k : {"1", "2"}) {
    ASSERT_EQ(captureRange({"--segment", std::string(k) + "/2", "--parts", parts}).status, 0);
  }
  struct Case {
    const char* name;
    std::string change;  // a shell command run on the parts, undone after
    std::string undo;
    std::vector<std::string> args;
    std::string expected;
    std::string video = "";  // the joined video, out.mp4 when empty
  } cases[] = {
      {"missing",
       "mv " + parts + "/part-2-of-2.mp4 " + folder,
       "mv " + folder + "/part-2-of-2.mp4 " + parts,
       {},
       "part-2-of-2.mp4 missing"},
      {"other range", "", "", {"--to", "56.1"}, "part-1-of-2.mp4 foreign (range"},
      {"other size", "", "", {"--size", "320x30"}, "part-2-of-2.mp4 foreign (size"},
      {"other timeline",
       "sed 's/^spaceIn 55 /spaceIn 57 /' " DEMO_SOURCE_DIR "/presentation/timeline.txt > " +
           folder + "/moved.txt",
       "rm " + folder + "/moved.txt",
       {"--timeline", folder + "/moved.txt"},
       "part-1-of-2.mp4 foreign (timeline"},
      {"changed file",
       "cp " + parts + "/part-1-of-2.mp4 " + folder + "/keep && truncate -s 1000 " + parts +
           "/part-1-of-2.mp4",
       "mv " + folder + "/keep " + parts + "/part-1-of-2.mp4",
       {},
       "part-1-of-2.mp4 foreign (not the file its record describes)"},
      // A named pipe would block a plain open for ever.
      {"pipe for a part",
       "mv " + parts + "/part-1-of-2.mp4 " + folder + "/keep && mkfifo " + parts +
           "/part-1-of-2.mp4",
       "rm " + parts + "/part-1-of-2.mp4 && mv " + folder + "/keep " + parts + "/part-1-of-2.mp4",
       {},
       "part-1-of-2.mp4 foreign (not the file its record describes)"},
      {"other ending",
       "",
       "",
       {},
       "part-1-of-2.mkv missing; part-2-of-2.mkv missing; found parts ending .mp4: "
       "part-1-of-2.mp4, part-2-of-2.mp4",
       folder + "/out.mkv"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (!c.change.empty()) shell(c.change);
    std::vector<std::string> args = c.args;
    args.insert(args.end(), {"--join", parts, "--video", c.video.empty() ? out : c.video});
    DemoRun run = captureRange(args);
    if (!c.undo.empty()) shell(c.undo);
    EXPECT_EQ(run.status, 1) << run.output;
    EXPECT_EQ(lines(run.output), 1) << run.output;
    EXPECT_NE(run.output.find(c.expected), std::string::npos) << run.output;
    EXPECT_EQ(entries(folder), (std::vector<std::string>{"P"})) << "nothing written";
  }
}

namespace {

// Two frames in parts: quick enough for a table of folders.
DemoRun captureTwoFrames(std::vector<std::string> args) {
  args.insert(args.begin(), {"--media", kMedia, "--from", "55", "--to", "55.1", "--fps", "20"});
  return capture(args);
}

}  // namespace

// A segmented capture removes its own parts and records by name once the
// video is in place, and nothing else: not a user's file, not through a link.
TEST(CaptureSegments, RemovesOnlyThePartsItMade) {
  if (!generatedMediaPresent()) GTEST_SKIP() << "no media in " << kMedia;
  struct Case {
    const char* name;
    std::string setup;  // run in the case's folder
    std::vector<std::string> args;
    int status;
    std::string folder;  // what is left in it afterwards
    std::vector<std::string> left;
  } cases[] = {
      {"a user's file in OUT.parts",
       "mkdir v.mp4.parts && echo n > v.mp4.parts/notes.txt",
       {"--segments", "2", "--video", "v.mp4"},
       0,
       "v.mp4.parts",
       {"notes.txt"}},
      {"OUT.parts a link to another folder",
       "mkdir home && echo k > home/keep.txt && ln -s home w.mp4.parts",
       {"--segments", "2", "--video", "w.mp4"},
       1,
       "home",
       {"keep.txt"}},
      {"a join told to remove the parts",
       "mkdir P && echo n > P/notes.txt",
       {"--join", "P", "--remove-parts", "--video", "j.mp4"},
       0,
       "P",
       {"notes.txt"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string folder = makeTempDir();
    shell("cd " + folder + " && " + c.setup);
    for (const char* k : {"1/2", "2/2"}) {
      if (c.args[0] == "--join") captureTwoFrames({"--segment", k, "--parts", folder + "/P"});
    }
    std::vector<std::string> args = c.args;
    for (std::string& a : args) {
      if (a.find('.') != std::string::npos || a == "P") a = folder + "/" + a;
    }
    const DemoRun run = captureTwoFrames(args);
    EXPECT_EQ(run.status, c.status) << run.output;
    EXPECT_EQ(entries(folder + "/" + c.folder), c.left) << run.output;
  }
}

// Folders a hostile or careless user hands the parts: each is refused in one
// line that names the file and the reason, with its control characters escaped.
TEST(CaptureSegments, ForgedBusyOrBlockedPartsFoldersAreRefusedInOneLine) {
  if (!generatedMediaPresent()) GTEST_SKIP() << "no media in " << kMedia;
  const std::string folder = makeTempDir(), parts = folder + "/P";
  for (const char* k : {"1/2", "2/2"}) {
    ASSERT_EQ(captureTwoFrames({"--segment", k, "--parts", parts}).status, 0);
  }
  const std::string newline = folder + "/a\nfile file:" + folder + "/evil.mp4\n#x";
  shell("mkdir -p '" + newline + "' && cp " + parts + "/* '" + newline + "'");
  struct Case {
    const char* name;
    std::string setup;  // shell commands run in the folder
    std::vector<std::string> args;
    std::string expected;
    std::string locked = "";  // a lock file the test holds meanwhile
  } cases[] = {
      {"a line break in the parts folder",
       "",
       {"--join", newline, "--video", folder + "/out.mp4"},
       "control character \\n"},
      {"a record claiming two billion parts",
       "mkdir Z && touch Z/part-1-of-2147483647.txt",
       {"--join", folder + "/Z", "--video", folder + "/z.mp4"},
       "part-1-of-2147483647.txt names more parts than the 10000"},
      {"the output one of the parts",
       "",
       {"--join", parts, "--video", parts + "/part-1-of-2.mp4"},
       "it is one of the parts"},
      {"another capture in the folder",
       "mkdir v.mp4.parts",
       {"--segments", "2", "--video", folder + "/v.mp4"},
       "another capture is using it",
       folder + "/v.mp4.parts/.capture-lock"},
      {"a record that is a folder, rendering",
       "mkdir -p R/part-1-of-1.txt",
       {"--segment", "1/1", "--parts", folder + "/R"},
       "\"" + folder + "/R/part-1-of-1.txt\": it is a folder"},
      {"a record that is a folder, joining",
       "mkdir J && cp P/part-1-of-2.mp4 J/ && mkdir J/part-1-of-2.txt",
       {"--join", folder + "/J", "--video", folder + "/j.mp4"},
       "its record part-1-of-2.txt: not a regular file"},
      {"a parts path that is a file",
       "touch F",
       {"--segment", "1/2", "--parts", folder + "/F"},
       "\"" + folder + "/F\": a file of that name is in the way"},
      {"a record carrying terminal codes",
       "mkdir E && cp P/* E/ && sed -i \"s/^range .*/range $(printf 'x\\r\\033[2J')/\" "
       "E/part-1-of-2.txt",
       {"--join", folder + "/E", "--video", folder + "/e.mp4"},
       "foreign (range x\\r\\x1b[2J, here"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (!c.setup.empty()) shell("cd " + folder + " && " + c.setup);
    int lock = -1;
    if (!c.locked.empty()) {
      lock = open(c.locked.c_str(), O_RDWR | O_CREAT, 0644);
      ASSERT_EQ(flock(lock, LOCK_EX), 0);
    }
    const DemoRun run = captureTwoFrames(c.args);
    if (lock >= 0) close(lock);
    EXPECT_EQ(run.status, 1) << run.output;
    EXPECT_EQ(lines(run.output), 1) << run.output;
    EXPECT_EQ(run.output.find_first_of("\r\033"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find(c.expected), std::string::npos) << run.output;
  }
  EXPECT_EQ(entries(parts).size(), 5u) << "the parts, their records and the lock are all kept";
}

// A join reads every part whole to check it; a stop signal ends that at once.
TEST(CaptureSegments, AStopSignalEndsTheChecksOfAJoin) {
  if (!generatedMediaPresent()) GTEST_SKIP() << "no media in " << kMedia;
  const std::string folder = makeTempDir(), parts = folder + "/P", logs = makeTempDir();
  ASSERT_EQ(captureTwoFrames({"--segment", "1/1", "--parts", parts}).status, 0);
  // A sparse part of 200 GB that its record still names: hours of reading.
  ASSERT_EQ(truncate((parts + "/part-1-of-1.mp4").c_str(), 200ll << 30), 0);
  const pid_t pid = startCapture({"--media", kMedia, "--from", "55", "--to", "55.1", "--fps", "20",
                                  "--join", parts, "--video", folder + "/out.mp4"},
                                 logs + "/stderr");
  sleepSeconds(2);
  kill(pid, SIGTERM);
  int status = 0;
  // Not a timing: a capture that ignores the signal is ended after a minute
  // so that the test reports it instead of hanging.
  for (int i = 0; i < 600 && waitpid(pid, &status, WNOHANG) == 0; ++i) usleep(100000);
  if (waitpid(pid, &status, WNOHANG) == 0) {
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    FAIL() << "the join went on checking after SIGTERM";
  }
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << fileBytes(logs + "/stderr");
  EXPECT_EQ(entries(folder), (std::vector<std::string>{"P"}));
}

// A maker's layers from a copy of the timeline: the frames before they fade
// in are the built-in ones, `resolution` is the strip in pixels, a picture
// beside the file draws as the overlay draws the media's, a changed layer
// file makes parts foreign, and every fault is refused in one line, exit 2.
TEST(CaptureSegments, MakerLayersDrawFromTheTimelineOrAreRefusedInOneLine) {
  if (!generatedMediaPresent()) GTEST_SKIP() << "no media in " << kMedia;
  const std::string folder = makeTempDir();
  const std::string timeline = writeMakerTimeline(folder);
  const auto still = [&](const std::string& copy, const char* at, const std::string& out) {
    std::vector<std::string> args = {"--media", kMedia, "--size", "1920x178", "--still", at, out};
    if (!copy.empty()) args.insert(args.begin(), {"--timeline", copy});
    return capture(args);
  };
  for (const char* at : {"39", "43", "103"}) {
    ASSERT_EQ(still(timeline, at, folder + "/maker-" + at + ".png").status, 0) << at;
  }
  ASSERT_EQ(still("", "39", folder + "/builtin-39.png").status, 0);
  ASSERT_EQ(still("", "60", folder + "/builtin-60.png").status, 0);
  EXPECT_EQ(fileBytes(folder + "/maker-39.png"), fileBytes(folder + "/builtin-39.png"));

  // At 43 s the ripple is whole and opaque: red and green are the pixel's
  // place in the 1920 x 178 strip.
  const Picture ripple = load(folder + "/maker-43.png");
  ASSERT_EQ(ripple.w, 1920);
  for (const auto& [x, y] : {std::pair{100, 20}, {960, 89}, {1800, 160}}) {
    SCOPED_TRACE(std::to_string(x) + "," + std::to_string(y));
    EXPECT_NEAR(ripple.at(x, y, 0), (x + 0.5) / 1920 * 255, 2);
    EXPECT_NEAR(ripple.at(x, y, 1), (177 - y + 0.5) / 178 * 255, 2);
  }
  // At 103 s the badge (the large space picture) is whole: where it is
  // opaque the frame is the built-in one at 60 s, when space is whole.
  const Picture badge = load(folder + "/maker-103.png"), space = load(folder + "/builtin-60.png"),
                picture = load(folder + "/badge.png");
  ASSERT_EQ(picture.w, 1920);
  int opaque = 0, differing = 0;
  for (int y = 0; y < 178; ++y) {
    for (int x = 0; x < 1920; ++x) {
      if (picture.at(x, y, 3) < 255) continue;
      ++opaque;
      for (int c = 0; c < 3; ++c) differing += std::abs(badge.at(x, y, c) - space.at(x, y, c)) > 2;
    }
  }
  EXPECT_GT(opaque, 10000);
  EXPECT_EQ(differing, 0);

  // Parts drawn with the layers are foreign once a layer's program changes.
  const std::string parts = folder + "/P";
  for (const char* k : {"1", "2"}) {
    ASSERT_EQ(
        captureRange({"--timeline", timeline, "--segment", std::string(k) + "/2", "--parts", parts})
            .status,
        0);
  }
  std::ofstream(folder + "/ripple.frag", std::ios::app) << "// changed\n";
  DemoRun join =
      captureRange({"--timeline", timeline, "--join", parts, "--video", folder + "/out.mp4"});
  EXPECT_EQ(join.status, 1) << join.output;
  EXPECT_NE(join.output.find("foreign (layers"), std::string::npos) << join.output;

  const std::string text = fileBytes(timeline);
  const auto copyWith = [&](const std::string& name, const std::string& from,
                            const std::string& to) {
    std::string edited = text;
    edited.replace(edited.find(from), from.size(), to);
    std::ofstream(folder + "/" + name) << edited;
    return folder + "/" + name;
  };
  const int layerLine = lines(text.substr(0, text.find("layer badge"))) + 1;
  const std::string broken = folder + "/broken";
  mkdir(broken.c_str(), 0777);
  std::ofstream(broken + "/timeline.txt") << text;
  std::ofstream(broken + "/ripple.frag") << "uniform float alpha;\nvoid main()\n{\n"
                                         << "    gl_FragColor = vec4(1.0) +;\n}\n";
  const struct {
    const char* name;
    std::string copy, expected;
  } refusals[] = {
      {"syntax error", broken + "/timeline.txt", "ripple.frag:4: syntax error"},
      {"missing picture", copyWith("nopicture.txt", "badge.png", "none.png"),
       "nopicture.txt:" + std::to_string(layerLine) + ": cannot load \"none.png\": No such file"},
      {"missing program", copyWith("noprogram.txt", "badge.frag", "none.frag"),
       "cannot read \"none.frag\": No such file"},
      {"unknown fade", copyWith("nofade.txt", "badge.png badgeIn", "badge.png badgeInn"),
       "the layer badge's IN \"badgeInn\" is no fade of this file"},
      {"a name twice", copyWith("twice.txt", "layer badge", "layer ripple"),
       "the layer ripple twice"},
  };
  for (const auto& r : refusals) {
    SCOPED_TRACE(r.name);
    const DemoRun run = still(r.copy, "103", folder + "/refused.png");
    EXPECT_EQ(run.status, 2) << run.output;
    EXPECT_EQ(lines(run.output), 1) << run.output;
    EXPECT_NE(run.output.find(r.expected), std::string::npos) << run.output;
    EXPECT_EQ(kindOf(folder + "/refused.png"), "absent");
  }
}
