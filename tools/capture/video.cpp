// The one frame loop that feeds the encoder, and the video of a whole range.
#include "tools/capture/video.h"

#include "gpu/supersample.h"
#include "presentation/headless_render.h"
#include "tools/capture/capture_status.h"
#include "tools/capture/presets.h"
#include "tools/common/stop_signals.h"

#include <cstdint>

VideoSettings videoSettings(const CaptureOptions& o, const std::string& musicPath, long frames) {
  VideoSettings settings;
  settings.path = o.target;
  settings.width = o.width;
  settings.height = o.height;
  settings.fps = o.fps;
  settings.musicPath = musicPath;
  settings.musicStart = o.from;
  settings.duration = static_cast<double>(frames) / o.fps;
  applyVideoPreset(o, &settings);
  return settings;
}

int encodeFrames(const CaptureOptions& o, const VideoSettings& settings,
                 const std::vector<FrameSpan>& spans, long total, Progress* progress, long done) {
  VideoEncoder encoder;
  std::string error;
  if (!encoder.start(settings, &error)) return failure(error);
  const long first = spans.empty() ? 0 : spans.front().run.first;
  long drawn = 0;
  std::vector<uint8_t> rgb;
  for (const FrameSpan& span : spans) {
    CaptureOptions range = o;
    range.from = span.from;
    for (long i = span.run.first; i < span.run.first + span.run.count; ++i, ++drawn) {
      if (stopSignal()) {
        encoder.abandon();
        return stopped(first + drawn, total);
      }
      drawFrameAt(frameTime(range, i));
      readFrameReduced(o.width, o.height, o.ssaa, RowOrder::bottomFirst, &rgb);
      if (!encoder.writeFrame(rgb, &error)) {
        encoder.abandon();
        if (stopSignal()) return stopped(first + drawn, total);
        return failure("cannot finish \"" + settings.path + "\": video stopped at frame " +
                       std::to_string(first + drawn) + ": " + error);
      }
      progress->update(done + drawn + 1);
    }
  }
  if (stopSignal()) {
    encoder.abandon();
    return stopped(first + drawn, total);
  }
  if (!encoder.finish(&error)) {
    if (stopSignal()) return stopped(first + drawn, total);
    return failure("cannot finish \"" + settings.path + "\": " + error);
  }
  return 0;
}

int captureVideo(const CaptureOptions& o, const std::string& musicPath) {
  const long total = frameCount(o);
  Progress progress(total, "video");
  const int status = encodeFrames(o, videoSettings(o, musicPath, total), {{o.from, {0, total}}},
                                  total, &progress, 0);
  if (status == 0) progress.finish("wrote " + describeRange(o, total) + " to " + o.target);
  return status;
}
