// End-to-end capture timing and the video's distance from the frames.
#include "bench/whole_capture.h"

#include "platform/output_file.h"
#include "presentation/headless_render.h"
#include "presentation/window.h"
#include "tools/capture/video_encoder.h"

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace {

const int kWidth = kWindowWidth;
const int kHeight = kWindowHeight;
const double kSeconds = 130;
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
double psnrAgainstFrames(const std::string& video, const std::string& log) {
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
  const std::string command =
      "ffmpeg -hide_banner -nostdin -nostats -loglevel info -f rawvideo "
      "-pix_fmt rgb24 -s " +
      std::to_string(kWidth) + "x" + std::to_string(kHeight) + " -framerate 2 -i pipe:0 -i '" +
      video + "' -lavfi \"" + graph + "\" -f null - 2>'" + log + "'";
  FILE* pipe = popen(command.c_str(), "w");
  if (!pipe) return -1;
  std::vector<uint8_t> rgb;
  const int frames = static_cast<int>(kSeconds * kFps);
  for (int i = 0; i < frames; i += kEvery) {
    drawFrameAt(static_cast<double>(i) / kFps);
    readFrameRgbBottomUp(kWidth, kHeight, &rgb);
    if (std::fwrite(rgb.data(), 1, rgb.size(), pipe) != rgb.size()) break;
  }
  if (pclose(pipe) != 0) return -1;
  std::ifstream in(log);
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
      "\nWhole capture, end to end: demo-capture --video over 0-130 s at %d fps, "
      "H.264 with its music\n",
      kFps);
  std::fflush(stdout);
  char folder[] = "/tmp/demo-bench-capture-XXXXXX";
  if (!mkdtemp(folder)) {
    std::printf("  n/a (cannot make a temp folder)\n");
    return;
  }
  const std::string video = std::string(folder) + "/whole.mp4";
  const std::string log = std::string(folder) + "/psnr.log";
  std::fprintf(stderr, "whole capture: running %s (about two minutes)\n", captureBinary.c_str());
  const double cpuBefore = childCpuSeconds();
  const auto start = std::chrono::steady_clock::now();
  const std::string command =
      "'" + captureBinary + "' --media '" + mediaDir + "' --video '" + video + "' 2>/dev/null";
  const int status = std::system(command.c_str());
  const double wall =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const double cpu = childCpuSeconds() - cpuBefore;
  if (status != 0) {
    std::printf("  n/a (demo-capture failed with status %d)\n", status);
  } else {
    std::printf(
        "  %.1f s of wall time for the %.0f s: %.2fx real time (%s); CPU %.1f s; "
        "file %.1f MB\n",
        wall, kSeconds, wall / kSeconds,
        wall < kSeconds ? "faster than real time" : "slower than real time", cpu,
        static_cast<double>(fileSize(video)) / 1e6);
    std::fprintf(stderr, "whole capture: comparing every %dth frame with the video\n", kEvery);
    const double psnr = psnrAgainstFrames(video, log);
    if (psnr > 0) {
      std::printf(
          "  PSNR of the video against the drawn frames: %.2f dB (every %dth frame, "
          "4:2:0, average over Y, U and V)\n",
          psnr, kEvery);
    } else {
      std::printf("  PSNR: n/a (ffmpeg could not compare the video with the frames)\n");
    }
  }
  removeIfRegularFile(video);
  removeIfRegularFile(log);
  rmdir(folder);
}
