// The capture's encoded outputs: every frame that reaches the encoder, for a
// whole video, a part of one, a preview or a montage of clips, goes through
// the one loop here.
#pragma once

#include "tools/capture/options.h"
#include "tools/capture/progress.h"
#include "tools/capture/segments.h"
#include "tools/common/video_encoder.h"

#include <string>
#include <vector>

// The encoder's settings for `frames` frames of the options' range into the
// target: its size and rate, `musicPath` from the range's start (empty: a
// silent track), and what a preset or a preview adds.
VideoSettings videoSettings(const CaptureOptions& options, const std::string& musicPath,
                            long frames);

// A stretch the encoder takes: `run`'s frames of the times from `from` on
// at the options' rate.
struct FrameSpan {
  double from = 0;
  FrameRun run;
};

// Draws the spans' frames one after another through one encoder on
// `settings`. Messages number the frames from the first span's first frame
// on, of `total`; `progress` counts on from `done`. 0, kStopped, or 1 with
// the reason printed.
int encodeFrames(const CaptureOptions& options, const VideoSettings& settings,
                 const std::vector<FrameSpan>& spans, long total, Progress* progress, long done);

// The options' whole range as one video (or one animated preview) with `musicPath`'s sound.
int captureVideo(const CaptureOptions& options, const std::string& musicPath);
