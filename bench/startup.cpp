// Start-up timing of the player in child processes.
#include "bench/startup.h"

#include "bench/music_offset.h"
#include "bench/program_sets.h"
#include "platform/output_file.h"
#include "presentation/layers.h"
#include "presentation/media.h"
#include "presentation/music.h"
#include "presentation/player.h"
#include "tools/common/child_process.h"
#include "tools/common/numbers.h"
#include "tools/common/program_files.h"
#include "tools/common/stop_signals.h"

#include <GL/gl.h>
#include <SDL.h>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <numeric>
#include <sstream>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

const char* const kPhases[] = {
    "SDL_Init",      "SDL_SetVideoMode",       "checkGlSupport",
    "buildPrograms", "loadTextures",           "enableBlending",
    "startMusic",    "first frame: drawFrame", "first frame: swap + glFinish",
};
const int kPhaseCount = sizeof kPhases / sizeof kPhases[0];
const int kRepeats = 5;

std::string absolutePath(const std::string& path) {
  char* resolved = realpath(path.c_str(), nullptr);
  if (!resolved) return path;
  std::string result = resolved;
  std::free(resolved);
  return result;
}

// Removes the shader cache folder that mkdtemp made: regular files and the
// folders they leave empty, nothing else (a link or a device node stays).
void removeCacheFolder(const std::string& folder) {
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
    const std::filesystem::file_status status = entry.symlink_status(ec);
    if (std::filesystem::is_regular_file(status)) {
      std::filesystem::remove(entry.path(), ec);
    } else if (std::filesystem::is_directory(status)) {
      removeCacheFolder(entry.path().string());
    }
  }
  rmdir(folder.c_str());
}

// SDL's disk driver waits this long after writing each block: about the
// block's own length, so it takes the mixer's blocks at a sound card's pace.
const char* const kDiskBlockDelayMs = "23";

// One start in a fresh process, its sound through SDL's disk driver; false
// when it failed. `offsetMs` receives the picture-to-music offset found in
// what the driver wrote, NAN when it could not be measured (`why` says why).
bool startOnce(const std::string& mediaDir, const std::string& cacheDir, bool literal,
               std::vector<double>* phases, double* offsetMs, std::string* why) {
  std::vector<std::string> args = {selfPath("demo-bench"), "--startup-once", mediaDir};
  if (literal) args.push_back("--literal");
  char device[] = "/tmp/demo-bench-audio-XXXXXX";
  const int fd = mkstemp(device);
  if (fd < 0) return false;
  close(fd);
  ChildRun run;
  run.args = args;
  run.env = {{"MESA_SHADER_CACHE_DIR", cacheDir},
             {"SDL_AUDIODRIVER", "disk"},
             {"SDL_DISKAUDIOFILE", device},
             {"SDL_DISKAUDIODELAY", kDiskBlockDelayMs}};
  const ChildResult result = runChild(run);
  std::istringstream in(result.out);
  phases->assign(kPhaseCount, 0);
  bool ok = result.succeeded();
  for (double& ms : *phases) ok = ok && static_cast<bool>(in >> ms);
  // Then the driver's writes as they were seen: demo time (ms) and size.
  std::vector<DiskWrite> writes;
  DiskWrite write{};
  while (ok && in >> write.ticks >> write.bytes) writes.push_back(write);
  *offsetMs = NAN;
  const std::string music = mediaDir + "/" + mediaName(MediaId::music);
  double offset = 0;
  if (ok && measureMusicOffset(device, music, writes, &offset, why)) *offsetMs = offset;
  removeIfRegularFile(device);
  return ok;
}

}  // namespace

int measureOneStartup(const std::string& mediaDir, bool literal) {
  if (chdir(mediaDir.c_str()) != 0) {
    std::fprintf(stderr, "demo-bench: cannot open the media folder \"%s\"\n", mediaDir.c_str());
    return 1;
  }
  std::vector<Clock::time_point> marks{Clock::now()};
  auto mark = [&marks] { marks.push_back(Clock::now()); };
  // The player's own start-up, with a mark after each of its steps; the
  // window opens in two, SDL_Init and SDL_SetVideoMode.
  Startup startup;
  startup.openContext = [&mark](std::string* error) {
    if (!initVideo(error)) return false;
    mark();
    if (!openWindow(1, 0, error)) return false;
    mark();
    return true;
  };
  startup.startMusic = startMusicInStep;
  Uint32 musicStarted = 0;
  // What the sound device receives, when it is SDL's disk driver.
  const char* device = std::getenv("SDL_DISKAUDIOFILE");
  std::unique_ptr<DiskAudioWatch> watch;
  if (device && *device) watch = std::make_unique<DiskAudioWatch>(device);
  if (literal) {
    // The literal programs in the presentation's place; the first frame
    // makes each current before it draws with it.
    startup.buildPrograms = [] { useProgramSet(buildReferencePrograms()); };
  }
  startup.stepDone = [&mark, &musicStarted](const char* step) {
    mark();
    if (std::strcmp(step, "startMusic") == 0) musicStarted = SDL_GetTicks();
  };
  std::string error;
  if (!startPresentation(startup, nullptr, &error)) {
    if (!error.empty()) std::fprintf(stderr, "demo-bench: %s\n", error.c_str());
    SDL_Quit();
    return 1;
  }
  // The frame loop's first frame, then a finish so that the frame is really drawn.
  drawFrame();
  mark();
  SDL_GL_SwapBuffers();
  glFinish();
  mark();
  // The run goes on as the player's would, long enough for the device to
  // receive the first blocks of the music.
  while (watch && SDL_GetTicks() < musicStarted + 600) {
    drawFrame();
    SDL_GL_SwapBuffers();
  }
  for (size_t i = 1; i < marks.size(); ++i) {
    std::printf("%.2f ",
                std::chrono::duration<double, std::milli>(marks[i] - marks[i - 1]).count());
  }
  std::printf("\n");
  if (watch) {
    for (const DiskWrite& w : watch->stop()) std::printf("%u %ld ", w.ticks, w.bytes);
    std::printf("\n");
  }
  std::fflush(stdout);
  SDL_Quit();
  return 0;
}

namespace {

// The starts of one program set: the first with an empty shader cache, then
// the repeated ones with the cache that the first filled.
struct StartSeries {
  bool literal = false;
  std::string cacheDir;
  std::vector<double> first;
  std::vector<std::vector<double>> repeats;
  // Picture-to-music offsets measured at the output (NAN: not measured).
  double firstOffset = NAN;
  std::vector<double> repeatOffsets;
  std::string offsetProblem;

  double repeatedPhase(int phase) const {
    std::vector<double> values;
    for (const auto& r : repeats) values.push_back(r[phase]);
    return median(values);
  }
  double repeatedTotal() const {
    std::vector<double> totals;
    for (const auto& r : repeats) totals.push_back(std::accumulate(r.begin(), r.end(), 0.0));
    return median(totals);
  }
  double firstTotal() const { return std::accumulate(first.begin(), first.end(), 0.0); }
};

void removeCaches(const std::vector<StartSeries>& sets) {
  for (const StartSeries& set : sets) {
    if (!set.cacheDir.empty()) removeCacheFolder(set.cacheDir);
  }
}

// Runs the series of each set, alternating between the sets start by start
// so that both see the same load. False when a start failed.
bool runSeries(const std::string& mediaDir, std::vector<StartSeries>* sets) {
  // A stop signal from here on ends the start that runs, and the cache
  // folders are removed before the benchmark ends by it.
  holdStopSignals();
  for (StartSeries& set : *sets) {
    char cacheDir[] = "/tmp/demo-bench-shader-cache-XXXXXX";
    if (!mkdtemp(cacheDir)) {
      std::fprintf(stderr, "demo-bench: cannot make a folder for the shader cache\n");
      removeCaches(*sets);
      releaseStopSignals();
      return false;
    }
    set.cacheDir = cacheDir;
  }
  bool ok = true;
  for (int start = 0; ok && !stopSignal() && start <= kRepeats; ++start) {
    for (StartSeries& set : *sets) {
      if (stopSignal()) break;
      std::fprintf(stderr, "start-up (%s programs): %s\n", set.literal ? "literal" : "fast",
                   start == 0 ? "first start, empty shader cache"
                              : ("repeated start " + std::to_string(start) + " of " +
                                 std::to_string(kRepeats))
                                    .c_str());
      std::vector<double> phases;
      double offset = NAN;
      std::string why;
      ok = ok && startOnce(mediaDir, set.cacheDir, set.literal, &phases, &offset, &why);
      if (!why.empty()) set.offsetProblem = why;
      if (start == 0) {
        set.first = phases;
        set.firstOffset = offset;
      } else {
        set.repeats.push_back(phases);
        if (!std::isnan(offset)) set.repeatOffsets.push_back(offset);
      }
    }
  }
  removeCaches(*sets);
  releaseStopSignals();
  return ok;
}

}  // namespace

namespace {

// The demo clock starts at SDL_Init; the music starts at the end of the
// start-up from the demo time at which the device outputs it. What SDL's
// disk driver wrote says where the music really was at that moment.
void printAvOffset(const StartSeries& set) {
  if (set.repeatOffsets.empty() || std::isnan(set.firstOffset)) {
    std::printf("picture-to-music offset: n/a (%s)\n", set.offsetProblem.c_str());
    return;
  }
  const auto [low, high] = std::minmax_element(set.repeatOffsets.begin(), set.repeatOffsets.end());
  std::printf(
      "picture-to-music offset, measured in what SDL's disk driver received (demo time of the\n"
      "music's first audible output minus its moment in %s; positive: the music lags):\n"
      "  first start %.1f ms; repeated start %.1f ms (median of %zu, %.1f to %.1f)\n",
      mediaName(MediaId::music), set.firstOffset, median(set.repeatOffsets),
      set.repeatOffsets.size(), *low, *high);
  if (set.repeatOffsets.size() < static_cast<size_t>(kRepeats)) {
    std::printf("  (%zu of the %d repeated starts not measured: %s)\n",
                kRepeats - set.repeatOffsets.size(), kRepeats, set.offsetProblem.c_str());
  }
}

}  // namespace

int printStartupSeries(const std::string& mediaDir, bool brief) {
  std::vector<StartSeries> sets(brief ? 1 : 2);
  if (!brief) sets[1].literal = true;
  if (!runSeries(mediaDir, &sets)) {
    std::printf("start-up: n/a (the player's start-up failed in the child process)\n");
    return 1;
  }
  const StartSeries& fast = sets[0];
  if (brief) {
    std::printf("%.1f %.1f\n", fast.repeatedPhase(0), fast.repeatedTotal());
    return 0;
  }
  const StartSeries& literal = sets[1];
  std::printf(
      "Start-up, SDL_Init to the first swapped frame (real SDL window, "
      "SDL_AUDIODRIVER=disk), in ms\n");
  std::printf("%-30s %10s %10s %10s %10s\n", "", "first", "", "repeated", "");
  std::printf("%-30s %10s %10s %10s %10s\n", "phase", "fast", "literal", "fast", "literal");
  for (int p = 0; p < kPhaseCount; ++p) {
    std::printf("%-30s %10.1f %10.1f %10.1f %10.1f\n", kPhases[p], fast.first[p], literal.first[p],
                fast.repeatedPhase(p), literal.repeatedPhase(p));
  }
  std::printf("%-30s %10.1f %10.1f %10.1f %10.1f\n", "total", fast.firstTotal(),
              literal.firstTotal(), fast.repeatedTotal(), literal.repeatedTotal());
  std::printf(
      "(first: empty MESA_SHADER_CACHE_DIR; repeated: median of %d starts with the "
      "cache the first start filled; phases are medians one by one; the two sets "
      "start in turn)\n",
      kRepeats);
  printAvOffset(fast);
  return 0;
}

void printStartup(const std::string& mediaDir) {
  const std::string media = absolutePath(mediaDir);
  std::printf("\n");
  std::fflush(stdout);
  const char* display = std::getenv("DISPLAY");
  if (display && *display) {
    printStartupSeries(media, false);
    return;
  }
  if (!onPath("xvfb-run")) {
    std::printf("start-up: n/a (no display)\n");
    return;
  }
  // A desktop's X server always has other clients (the window manager, the
  // panel), so it carries on untouched when one of them disconnects. A bare
  // Xvfb whose last client leaves regenerates itself instead, and SDL_Init
  // opens and closes a probe connection before its real one: the player
  // would then wait for the regeneration inside SDL_Init. The table is
  // measured on an Xvfb told not to regenerate (-noreset); the bare server
  // is measured beside it for comparison.
  const std::vector<std::string> series = {selfPath("demo-bench"), "--startup-series", media};
  auto underXvfb = [&series](const std::string& screen, bool brief) {
    ChildRun run;
    run.args = {"xvfb-run", "-a", "-s", screen};
    run.args.insert(run.args.end(), series.begin(), series.end());
    if (brief) run.args.push_back("--brief");
    return runChild(run);
  };
  const ChildResult table = underXvfb("-screen 0 1280x1024x24 -noreset", false);
  std::fputs(table.out.c_str(), stdout);
  if (!table.succeeded() && table.out.empty()) {
    std::printf("start-up: n/a (no display)\n");
    return;
  }
  const ChildResult bare = underXvfb("-screen 0 1280x1024x24", true);
  double sdlInit = 0, total = 0;
  if (bare.succeeded() && std::sscanf(bare.out.c_str(), "%lf %lf", &sdlInit, &total) == 2) {
    std::printf(
        "The table's X server is Xvfb -noreset, which like a desktop's stays as it is\n"
        "when a client leaves. On a bare Xvfb, where the player is the only client,\n"
        "the same repeated start takes %.1f ms in all, %.1f ms of it in SDL_Init\n"
        "(the server regenerates after SDL's probe connection closes).\n",
        total, sdlInit);
  } else {
    // The regeneration can also refuse the player's real connection outright.
    std::printf(
        "The table's X server is Xvfb -noreset. On a bare Xvfb, where the player is the\n"
        "only client, the repeated start did not finish (%s): the server was\n"
        "regenerating after SDL's probe connection closed and refused the window.\n",
        bare.describe().c_str());
  }
}
