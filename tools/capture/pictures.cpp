// Stills, frame sequences and storyboards, drawn headless and written as PNG.
#include "tools/capture/pictures.h"

#include "gpu/supersample.h"
#include "presentation/headless_render.h"
#include "tools/capture/capture_status.h"
#include "tools/capture/files.h"
#include "tools/capture/leftovers.h"
#include "tools/capture/progress.h"
#include "tools/capture/sheet.h"
#include "tools/common/png_file.h"
#include "tools/common/stop_signals.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

int captureStill(const CaptureOptions& o) {
  std::vector<uint8_t> rgb;
  drawFrameAt(o.stillTime);
  readFrameReduced(o.width, o.height, o.ssaa, RowOrder::topFirst, &rgb);
  if (stopSignal()) return stopped(0, 1);
  std::string error;
  if (!writePngRgb(o.target, o.width, o.height, rgb, &error)) {
    return failure("cannot write \"" + o.target + "\": " + error);
  }
  return 0;
}

int captureFrames(const CaptureOptions& o) {
  const long total = frameCount(o);
  std::string staging = o.target + "/" + kFramesPrefix + std::to_string(getpid()) + "-XXXXXX";
  if (!mkdtemp(staging.data())) {
    return failure("cannot write into \"" + o.target + "\": " + std::strerror(errno));
  }
  auto discard = [&] {
    removeFramesFrom(staging, 0);
    rmdir(staging.c_str());
  };
  Progress progress(total, "frames");
  std::vector<uint8_t> rgb;
  for (long i = 0; i < total; ++i) {
    if (stopSignal()) {
      discard();
      return stopped(i, total);
    }
    drawFrameAt(frameTime(o, i));
    readFrameReduced(o.width, o.height, o.ssaa, RowOrder::topFirst, &rgb);
    std::string error;
    if (!writePngRgb(framePath(staging, i), o.width, o.height, rgb, &error)) {
      discard();
      return failure("cannot write \"" + framePath(o.target, i) + "\" (frame " + std::to_string(i) +
                     "): " + error);
    }
    progress.update(i + 1);
  }
  for (long i = 0; i < total; ++i) {
    if (rename(framePath(staging, i).c_str(), framePath(o.target, i).c_str()) != 0) {
      const std::string reason = std::strerror(errno);
      discard();
      return failure("cannot write \"" + framePath(o.target, i) + "\": " + reason);
    }
  }
  rmdir(staging.c_str());
  removeFramesFrom(o.target, total);
  progress.finish("wrote " + describeRange(o, total) + " to " + o.target);
  return 0;
}

int captureSheet(const CaptureOptions& o) {
  const std::vector<double> times =
      o.sheetTimes.empty() ? spreadTimes(o.from, o.to, o.sheetCount) : o.sheetTimes;
  const int count = static_cast<int>(times.size());
  ContactSheet sheet(o.width, o.height, count, o.sheetColumns);
  std::vector<uint8_t> rgb;
  for (int i = 0; i < count; ++i) {
    if (stopSignal()) return stopped(i, count);
    drawFrameAt(times[static_cast<size_t>(i)]);
    readFrameReduced(o.width, o.height, o.ssaa, RowOrder::topFirst, &rgb);
    sheet.place(i, times[static_cast<size_t>(i)], rgb);
  }
  std::string error;
  if (!writePngRgb(o.target, sheet.width(), sheet.height(), sheet.pixels(), &error)) {
    return failure("cannot write \"" + o.target + "\": " + error);
  }
  return 0;
}
