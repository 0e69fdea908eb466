// End-to-end capture timing and the video's distance from the frames.
#include "bench/whole_capture.h"

#include "platform/output_file.h"
#include "presentation/headless_render.h"
#include "presentation/window.h"
#include "tools/common/child_process.h"
#include "tools/common/numbers.h"
#include "tools/common/stop_signals.h"
#include "tools/common/video_encoder.h"

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

namespace {

const int kWidth = kWindowWidth;
const int kHeight = kWindowHeight;
const double kSeconds = kEndTime;
const int kFps = 60;
const int kEvery = 30;  // frames between two compared ones

double childCpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_CHILDREN, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

long fileSize(const std::string& path) {
  struct stat s;
  return stat(path.c_str(), &s) == 0 ? static_cast<long>(s.st_size) : -1;
}

// Every kEvery-th frame of the video against the same frame drawn again,
// both through the capture's filters into 4:2:0; the average PSNR in dB, or
// a negative number when ffmpeg could not compare them.
double psnrAgainstFrames(const std::string& video) {
  VideoSettings settings;
  settings.width = kWidth;
  settings.height = kHeight;
  // Both streams are restamped half a second apart whatever their time
  // bases, so the comparison pairs the n-th selected video frame with the
  // n-th drawn one.
  const std::string restamp = "setpts=N/(2*TB)";
  const std::string graph = "[0:v]" + videoFilters(settings) + "," + restamp +
                            "[drawn];[1:v]select='not(mod(n," + std::to_string(kEvery) + "))'," +
                            restamp + "[video];[video][drawn]psnr";
  ChildRun run;
  run.args = {"ffmpeg",     "-hide_banner",
              "-nostdin",   "-nostats",
              "-loglevel",  "info",
              "-f",         "rawvideo",
              "-pix_fmt",   "rgb24",
              "-s",         std::to_string(kWidth) + "x" + std::to_string(kHeight),
              "-framerate", "2",
              "-i",         "pipe:0",
              "-i",         ffmpegFileName(video),
              "-lavfi",     graph,
              "-f",         "null",
              "-"};
  run.out = ChildOutput::discard;
  run.err = ChildOutput::keep;
  const int frames = static_cast<int>(kSeconds * kFps);
  int next = 0;
  run.input = [&next, frames](std::vector<uint8_t>* rgb) {
    if (next >= frames) return false;
    drawFrameAt(static_cast<double>(next) / kFps);
    readFrameRgbBottomUp(kWidth, kHeight, rgb);
    next += kEvery;
    return true;
  };
  const ChildResult result = runChild(run);
  if (!result.succeeded()) return -1;
  std::istringstream in(result.err);
  std::string line;
  double average = -1;
  while (std::getline(in, line)) {
    const size_t at = line.find(" average:");
    if (line.find("PSNR") != std::string::npos && at != std::string::npos) {
      average = std::atof(line.c_str() + at + 9);
    }
  }
  return average;
}

}  // namespace

void printWholeCapture(const std::string& mediaDir, const std::string& captureBinary) {
  std::printf(
      "\nWhole capture, end to end: demo-capture --video over 0-%g s at %d fps, "
      "H.264 with its music\n",
      kSeconds, kFps);
  std::fflush(stdout);
  char folder[] = "/tmp/demo-bench-capture-XXXXXX";
  if (!mkdtemp(folder)) {
    std::printf("  n/a (cannot make a temp folder)\n");
    return;
  }
  // A stop signal from here on ends the child, removes the video and the
  // folder, and only then ends the benchmark.
  holdStopSignals();
  const std::string video = std::string(folder) + "/whole.mp4";
  std::fprintf(stderr, "whole capture: running %s (about two minutes)\n", captureBinary.c_str());
  const double cpuBefore = childCpuSeconds();
  const auto start = std::chrono::steady_clock::now();
  ChildRun capture;
  capture.args = {captureBinary, "--media", mediaDir, "--video", video};
  capture.out = ChildOutput::discard;
  capture.err = ChildOutput::keep;
  const ChildResult result = runChild(capture);
  const double wall =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const double cpu = childCpuSeconds() - cpuBefore;
  if (stopSignal()) {
    std::fprintf(stderr, "whole capture: stopped\n");
  } else if (!result.succeeded()) {
    const std::string why = lastLine(result.err);
    std::printf("  n/a (demo-capture failed: %s%s)\n", result.describe().c_str(),
                why.empty() ? "" : ("; " + why).c_str());
  } else {
    std::printf(
        "  %.1f s of wall time for the %.0f s: %.2fx real time (%s); CPU %.1f s; "
        "file %.1f MB\n",
        wall, kSeconds, wall / kSeconds,
        wall < kSeconds ? "faster than real time" : "slower than real time", cpu,
        static_cast<double>(fileSize(video)) / 1e6);
    std::fprintf(stderr, "whole capture: comparing every %dth frame with the video\n", kEvery);
    const double psnr = psnrAgainstFrames(video);
    if (psnr > 0) {
      std::printf(
          "  PSNR of the video against the drawn frames: %.2f dB (every %dth frame, "
          "4:2:0, average over Y, U and V)\n",
          psnr, kEvery);
    } else if (!stopSignal()) {
      std::printf("  PSNR: n/a (ffmpeg could not compare the video with the frames)\n");
    }
  }
  removeIfRegularFile(video);
  rmdir(folder);
  releaseStopSignals();
}
