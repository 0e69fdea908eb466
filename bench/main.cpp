// demo-bench: renders the whole layer stack headless at 960 × 89 through the
// player's own drawLayers at sampled demo times, once with the presentation's
// programs and once with the literal ones, interleaved per time so that both
// see the same load on a shared machine. Prints per-time frame times, the
// ratios, the pixel agreement of the two sets, the player's start-up phases,
// the CPU time spent submitting a frame, the capture throughput, and a whole
// capture timed end to end against real time with its PSNR.
// Progress goes to stderr, figures to stdout.
#include "bench/options.h"
#include "bench/program_sets.h"
#include "bench/startup.h"
#include "bench/whole_capture.h"
#include "gpu/supersample.h"
#include "presentation/clock.h"
#include "presentation/demo.h"
#include "presentation/headless_render.h"
#include "presentation/layers.h"
#include "presentation/timeline.h"
#include "presentation/window.h"
#include "tools/common/numbers.h"
#include "tools/common/program_files.h"

#include <GL/gl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

const int kWidth = kWindowWidth;
const int kHeight = kWindowHeight;
const double kEnd = kEndTime;
const int kTolerance = 2;
// The strip at full width on a 1080p screen, timed beside the window's.
const int kWideWidth = 1920;
const int kWideHeight = 178;

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point start, Clock::time_point end) {
  return std::chrono::duration<double, std::milli>(end - start).count();
}

// A 2 s grid, both edges of every fade (where it starts and where it is
// full or gone), where the plasma's lines reach their cap, and the
// storyboard's frames, which cover the closing layers.
std::vector<double> sampleTimes() {
  std::vector<double> times;
  for (int t = 0; t < kEnd; t += 2) times.push_back(t);
  const Timeline& tl = timeline::builtin();
  for (int i = 0; i < kFadeCount; ++i) {
    times.push_back(tl.fade(i).at);
    times.push_back(fadeEdge(tl.fade(i)));
  }
  times.push_back(timeline::plasmaLinesFull(tl));
  const std::vector<float> storyboard = tl.storyboardTimes();
  times.insert(times.end(), storyboard.begin(), storyboard.end());
  std::sort(times.begin(), times.end());
  times.erase(std::unique(times.begin(), times.end(),
                          [](double a, double b) { return std::fabs(a - b) < 1e-6; }),
              times.end());
  return times;
}

// The two sizes share one 1920 x 178 surface: a 960 x 89 frame is drawn in
// its bottom-left corner, clipped to it (the clear included), with the
// window-sized pictures; a wide one fills it with the large pictures.
struct TextureHandles {
  GLuint names[kMediaFileCount - 1];
};

TextureHandles currentTextures() {
  TextureHandles t{};
  int i = 0;
#define DEMO_SAVE_TEXTURE(id, file, handle, role) t.names[i++] = handle;
  DEMO_TEXTURE_LIST(DEMO_SAVE_TEXTURE)
#undef DEMO_SAVE_TEXTURE
  return t;
}

void useTextures(const TextureHandles& t) {
  int i = 0;
#define DEMO_USE_TEXTURE(id, file, handle, role) handle = t.names[i++];
  DEMO_TEXTURE_LIST(DEMO_USE_TEXTURE)
#undef DEMO_USE_TEXTURE
}

TextureHandles windowPictures, largePictures;

void drawWindowSized() {
  glViewport(0, 0, kWidth, kHeight);
  glScissor(0, 0, kWidth, kHeight);
  glEnable(GL_SCISSOR_TEST);
  useTextures(windowPictures);
}

void drawWide() {
  glViewport(0, 0, kWideWidth, kWideHeight);
  glDisable(GL_SCISSOR_TEST);
  useTextures(largePictures);
}

// Loads the large pictures beside the window-sized ones; false when the
// media folder cannot be entered.
bool loadBothPictureSets(const std::string& mediaDir) {
  windowPictures = currentTextures();
  char previous[4096];
  if (!getcwd(previous, sizeof previous) || chdir(mediaDir.c_str()) != 0) return false;
  loadTextures(true);
  largePictures = currentTextures();
  const bool back = chdir(previous) == 0;
  drawWindowSized();
  return back;
}

struct Timing {
  double frameMs = 0;   // drawLayers through glFinish
  double submitMs = 0;  // drawLayers alone: the CPU work before the GPU's
};

// One frame at `seconds` with `set`, timed; the pixels are read afterwards
// when `frame` is given, outside the timing.
Timing timeFrame(const ProgramSet& set, double seconds, std::vector<uint8_t>* frame) {
  useProgramSet(set);
  const Clock::time_point start = Clock::now();
  drawFrameAt(seconds);
  const Clock::time_point submitted = Clock::now();
  glFinish();
  const Clock::time_point finished = Clock::now();
  if (frame) readFrameRgb(kWidth, kHeight, frame);
  return {msSince(start, finished), msSince(start, submitted)};
}

struct Sample {
  double time;
  double fastMs, literalMs;
  double wideMs;  // the presentation's programs at 1920 x 178
  double fastSubmitMs, literalSubmitMs;
  FrameAgreement agreement;
};

std::vector<Sample> measureSamples(const ProgramSet& fast, const ProgramSet& literal,
                                   const std::vector<double>& times, int repetitions) {
  std::vector<Sample> samples;
  for (size_t i = 0; i < times.size(); ++i) {
    const double t = times[i];
    std::vector<double> fastMs, literalMs, fastSubmit, literalSubmit, wideMs;
    std::vector<uint8_t> fastFrame, literalFrame;
    // Alternate which set goes first, so neither always follows the other.
    const bool fastFirst = i % 2 == 0;
    for (int r = 0; r < repetitions; ++r) {
      const bool last = r == repetitions - 1;
      for (int k = 0; k < 2; ++k) {
        const bool isFast = (k == 0) == fastFirst;
        const Timing timing = timeFrame(isFast ? fast : literal, t,
                                        last ? (isFast ? &fastFrame : &literalFrame) : nullptr);
        (isFast ? fastMs : literalMs).push_back(timing.frameMs);
        (isFast ? fastSubmit : literalSubmit).push_back(timing.submitMs);
      }
      drawWide();
      wideMs.push_back(timeFrame(fast, t, nullptr).frameMs);
      drawWindowSized();
    }
    Sample s{t,
             median(fastMs),
             median(literalMs),
             median(wideMs),
             median(fastSubmit),
             median(literalSubmit),
             compareFrames(fastFrame, literalFrame, kTolerance)};
    samples.push_back(s);
    std::fprintf(stderr, "\r[%3zu/%zu] t = %7.3f s: %7.1f ms vs %7.1f ms   ", i + 1, times.size(),
                 t, s.fastMs, s.literalMs);
  }
  std::fprintf(stderr, "\n");
  return samples;
}

struct Extreme {
  double worstMs = 0, worstAt = 0, medianMs = 0;
};

template <typename Field>
Extreme extremeOf(const std::vector<Sample>& samples, Field field) {
  Extreme e;
  std::vector<double> all;
  for (const Sample& s : samples) {
    const double ms = field(s);
    all.push_back(ms);
    if (ms > e.worstMs) {
      e.worstMs = ms;
      e.worstAt = s.time;
    }
  }
  e.medianMs = median(all);
  return e;
}

void printSamples(const std::vector<Sample>& samples) {
  std::printf("Frame time at %dx%d, drawLayers through glFinish, median of the repetitions\n",
              kWidth, kHeight);
  std::printf("(and the presentation's programs at %dx%d with the large pictures, in turn)\n",
              kWideWidth, kWideHeight);
  std::printf("%9s %10s %12s %7s %12s %9s %12s %7s\n", "time (s)", "fast (ms)", "literal (ms)",
              "ratio", "within ±2", "max diff", "1920 (ms)", "/960");
  for (const Sample& s : samples) {
    std::printf("%9.3f %10.2f %12.2f %6.1fx %11.3f%% %9d %12.2f %6.1fx\n", s.time, s.fastMs,
                s.literalMs, s.literalMs / s.fastMs, s.agreement.shareWithin * 100,
                s.agreement.maxDifference, s.wideMs, s.wideMs / s.fastMs);
  }
}

void printSummary(const std::vector<Sample>& samples) {
  const Extreme fast = extremeOf(samples, [](const Sample& s) { return s.fastMs; });
  const Extreme literal = extremeOf(samples, [](const Sample& s) { return s.literalMs; });
  const Extreme fastSubmit = extremeOf(samples, [](const Sample& s) { return s.fastSubmitMs; });
  const Extreme literalSubmit =
      extremeOf(samples, [](const Sample& s) { return s.literalSubmitMs; });
  const Sample* leastAgreeing = &samples.front();
  for (const Sample& s : samples) {
    if (s.agreement.shareWithin < leastAgreeing->agreement.shareWithin) leastAgreeing = &s;
  }
  int maxDifference = 0;
  for (const Sample& s : samples)
    maxDifference = std::max(maxDifference, s.agreement.maxDifference);

  std::printf("\nSummary over %zu sampled times\n", samples.size());
  std::printf("%-34s %10s %12s %8s\n", "", "fast", "literal", "ratio");
  std::printf("%-34s %7.2f ms %9.2f ms %7.1fx   (fast at %.3f s, literal at %.3f s)\n",
              "worst frame", fast.worstMs, literal.worstMs, literal.worstMs / fast.worstMs,
              fast.worstAt, literal.worstAt);
  std::printf("%-34s %7.2f ms %9.2f ms %7.1fx\n", "median frame", fast.medianMs, literal.medianMs,
              literal.medianMs / fast.medianMs);
  const Extreme wide = extremeOf(samples, [](const Sample& s) { return s.wideMs; });
  std::printf("%-34s %7.2f ms at %dx%d against %.2f ms at %dx%d (%.1fx); worst %.2f ms at %.3f s\n",
              "median frame, full width", wide.medianMs, kWideWidth, kWideHeight, fast.medianMs,
              kWidth, kHeight, wide.medianMs / fast.medianMs, wide.worstMs, wide.worstAt);
  const Sample* leastRatio = &samples.front();
  for (const Sample& s : samples) {
    if (s.literalMs / s.fastMs < leastRatio->literalMs / leastRatio->fastMs) leastRatio = &s;
  }
  std::printf("%-34s %7.2f ms %9.2f ms %7.1fx   (the smallest side-by-side ratio, at %.3f s)\n",
              "least ratio at one time", leastRatio->fastMs, leastRatio->literalMs,
              leastRatio->literalMs / leastRatio->fastMs, leastRatio->time);
  std::printf("%-34s %7.3f ms %9.3f ms\n", "CPU submit per frame, median", fastSubmit.medianMs,
              literalSubmit.medianMs);
  std::printf("%-34s %7.3f ms %9.3f ms\n", "CPU submit per frame, worst", fastSubmit.worstMs,
              literalSubmit.worstMs);
  std::printf("%-34s %.3f%% of the pixels within ±%d/255 (at %.3f s); largest difference %d/255\n",
              "agreement, least", leastAgreeing->agreement.shareWithin * 100, kTolerance,
              leastAgreeing->time, maxDifference);
}

// The player's --ssaa at full width: the frame drawn N times wider and
// higher into an offscreen framebuffer and reduced into the 1920 x 178
// surface, against the same frame drawn once, interleaved per time. The
// storyboard's times cover every layer; N = 4 draws 16 times the pixels.

void printSupersampleCost(const ProgramSet& fast, int repetitions) {
  useProgramSet(fast);
  drawWide();
  constexpr int kLargest = 4;
  std::vector<double> ratios[kLargest + 1];
  std::vector<double> onceMs;
  std::string error;
  for (double t : timeline::builtin().storyboardTimes()) {
    setDemoTime(static_cast<float>(t));
    double ms[kLargest + 1] = {};
    for (int n = 1; n <= kLargest; ++n) {
      std::vector<double> runs;
      for (int r = 0; r < repetitions + 1; ++r) {  // the first run warms the framebuffer
        const Clock::time_point start = Clock::now();
        if (n == 1) {
          drawFrame();
        } else if (!drawSupersampled(n, 0, 0, kWideWidth, kWideHeight, drawFrame, &error)) {
          std::printf("\nSupersampling (--ssaa) not measured: %s\n", error.c_str());
          drawWindowSized();
          return;
        }
        glFinish();
        if (r > 0) runs.push_back(msSince(start, Clock::now()));
      }
      ms[n] = median(runs);
    }
    onceMs.push_back(ms[1]);
    for (int n = 2; n <= kLargest; ++n) ratios[n].push_back(ms[n] / ms[1]);
    std::fprintf(stderr, "\rsupersampling: t = %7.3f s   ", t);
  }
  std::fprintf(stderr, "\n");
  drawWindowSized();
  std::printf("\nSupersampled frame (demo --ssaa N) at %dx%d, side by side with N = 1 (%.2f ms)\n",
              kWideWidth, kWideHeight, median(onceMs));
  std::printf("  cost against N = 1, median over %zu times:", onceMs.size());
  for (int n = 2; n <= kLargest; ++n) std::printf("  N = %d %.1fx", n, median(ratios[n]));
  std::printf("\n");
}

// Frames of the headless path as the capture tool makes them, without PNG
// encoding: draw, then read the RGB rows back.
void printCaptureThroughput(const ProgramSet& fast) {
  useProgramSet(fast);
  const int frames = 390;  // one every third of a second over the whole run
  std::vector<uint8_t> rgb;
  const Clock::time_point start = Clock::now();
  for (int i = 0; i < frames; ++i) {
    drawFrameAt(kEnd * i / frames);
    readFrameRgb(kWidth, kHeight, &rgb);
    if (i % 30 == 0) std::fprintf(stderr, "\rcapture throughput: frame %d/%d   ", i, frames);
  }
  const double seconds = msSince(start, Clock::now()) / 1000;
  std::fprintf(stderr, "\n");
  const double fps = frames / seconds;
  const double wholeRun = kEnd * 60;
  std::printf(
      "\nCapture throughput (headless path, draw + RGB read-back, no PNG), %d frames "
      "spread over 0-%g s\n",
      frames, kEnd);
  std::printf(
      "  %.1f frames/s; the whole %g s at 60 fps (%.0f frames) projects to %.1f s of "
      "wall time (%.2fx real time)\n",
      fps, kEnd, wholeRun, wholeRun / fps, wholeRun / fps / kEnd);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 2 && std::strcmp(argv[1], "--startup-once") == 0) {
    const bool literal = argc == 4 && std::strcmp(argv[3], "--literal") == 0;
    return argc == 3 || literal ? measureOneStartup(argv[2], literal) : 2;
  }
  if (argc >= 2 && std::strcmp(argv[1], "--startup-series") == 0) {
    const bool brief = argc == 4 && std::strcmp(argv[3], "--brief") == 0;
    return argc == 3 || brief ? printStartupSeries(argv[2], brief) : 2;
  }
  BenchOptions options;
  const std::vector<Option> table = benchOptionTable(&options);
  std::string error;
  switch (parseCommandLine(table, argc, argv, &error)) {
    case Parsed::help:
      std::printf("%s\n%s", usageText("demo-bench", table).c_str(), optionHelp(table).c_str());
      return 0;
    case Parsed::bad:
      std::fprintf(stderr, "demo-bench: %s\n%s", error.c_str(),
                   usageText("demo-bench", table).c_str());
      return 2;
    case Parsed::ok: break;
  }
  const std::vector<double> times = options.times.empty() ? sampleTimes() : options.times;

  if (!startHeadlessRendering(kWideWidth, kWideHeight, options.mediaDir, &error)) {
    std::fprintf(stderr, "demo-bench: %s\n", error.c_str());
    return 1;
  }
  if (!loadBothPictureSets(options.mediaDir)) {
    std::fprintf(stderr, "demo-bench: cannot load the large pictures from \"%s\"\n",
                 options.mediaDir.c_str());
    stopHeadlessRendering();
    return 1;
  }
  const ProgramSet fast = currentProgramSet();
  const ProgramSet literal = buildReferencePrograms();
  // The driver compiles a program's machine code at its first draw; keep
  // that out of the figures by drawing every layer of both sets once first.
  std::fprintf(stderr, "warming up both program sets\n");
  for (const ProgramSet* set : {&fast, &literal}) {
    for (double t : {0.0, 30.0, 69.0, 121.0, 125.0}) timeFrame(*set, t, nullptr);
  }
  drawWide();
  for (double t : {0.0, 30.0, 69.0, 121.0, 125.0}) timeFrame(fast, t, nullptr);
  drawWindowSized();

  const std::vector<Sample> samples = measureSamples(fast, literal, times, options.repetitions);
  printSamples(samples);
  printSummary(samples);
  printSupersampleCost(fast, options.repetitions);
  if (options.capture) printCaptureThroughput(fast);
  useProgramSet(fast);
  if (options.wholeCapture) printWholeCapture(options.mediaDir, programBeside("demo-capture"));
  stopHeadlessRendering();

  if (options.startup) printStartup(options.mediaDir);
  return 0;
}
