// The preview montage: each clip's frames drawn at the preview's rate and
// encoded back to back, so one looping picture shows the show's best moments.
#include "tools/capture/montage.h"

#include "tools/capture/progress.h"
#include "tools/capture/video.h"

#include <cstdio>

int captureMontage(const CaptureOptions& o) {
  // Each clip has the frames a capture of its stretch would have.
  std::vector<FrameSpan> spans;
  long total = 0;
  for (const Clip& clip : o.clips) {
    CaptureOptions range = o;
    range.from = clip.from;
    range.to = clip.to;
    spans.push_back({clip.from, {0, frameCount(range)}});
    total += spans.back().run.count;
  }
  Progress progress(total, "montage");
  const int status = encodeFrames(o, videoSettings(o, "", total), spans, total, &progress, 0);
  if (status != 0) return status;
  char summary[64];
  std::snprintf(summary, sizeof summary, "wrote %ld frames of %zu clips (%g fps) to ", total,
                o.clips.size(), o.fps);
  progress.finish(summary + o.target);
  return 0;
}
