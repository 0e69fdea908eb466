// The preview montage: each clip's frames drawn at the preview's rate and
// encoded back to back, so one looping picture shows the show's best moments.
#include "tools/capture/montage.h"

#include "gpu/supersample.h"
#include "presentation/headless_render.h"
#include "tools/capture/presets.h"
#include "tools/capture/progress.h"
#include "tools/common/stop_signals.h"
#include "tools/common/video_encoder.h"

#include <cstdio>

namespace {

// One clip as a range of the options, so it has the frames a capture of
// that range would have.
CaptureOptions clipRange(const CaptureOptions& o, const Clip& clip) {
  CaptureOptions range = o;
  range.from = clip.from;
  range.to = clip.to;
  return range;
}

int failed(const std::string& message) {
  std::fprintf(stderr, "demo-capture: %s\n", message.c_str());
  return 1;
}

}  // namespace

int captureMontage(const CaptureOptions& o) {
  long total = 0;
  for (const Clip& clip : o.clips) total += frameCount(clipRange(o, clip));
  VideoSettings settings;
  settings.path = o.target;
  settings.width = o.width;
  settings.height = o.height;
  settings.fps = o.fps;
  settings.duration = static_cast<double>(total) / o.fps;
  applyVideoPreset(o, &settings);

  VideoEncoder encoder;
  std::string error;
  if (!encoder.start(settings, &error)) return failed(error);
  Progress progress(total, "montage");
  std::vector<uint8_t> rgb;
  long done = 0;
  auto stopped = [&] {
    encoder.abandon();
    std::fprintf(stderr, "\ndemo-capture: stopped at frame %ld of %ld\n", done, total);
    return -1;
  };
  for (const Clip& clip : o.clips) {
    const CaptureOptions range = clipRange(o, clip);
    for (long i = 0; i < frameCount(range); ++i, ++done) {
      if (stopSignal()) return stopped();
      drawFrameAt(frameTime(range, i));
      readFrameReduced(o.width, o.height, o.ssaa, RowOrder::bottomFirst, &rgb);
      if (!encoder.writeFrame(rgb, &error)) {
        if (stopSignal()) return stopped();
        encoder.abandon();
        return failed("cannot finish \"" + o.target + "\": stopped at frame " +
                      std::to_string(done) + ": " + error);
      }
      progress.update(done + 1);
    }
  }
  if (stopSignal()) return stopped();
  if (!encoder.finish(&error)) {
    if (stopSignal()) return stopped();
    return failed("cannot finish \"" + o.target + "\": " + error);
  }
  char summary[64];
  std::snprintf(summary, sizeof summary, "wrote %ld frames of %zu clips (%g fps) to ", total,
                o.clips.size(), o.fps);
  progress.finish(summary + o.target);
  return 0;
}
