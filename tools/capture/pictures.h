// The capture's PNG outputs: one still, a frame sequence, a storyboard.
#pragma once

#include "tools/capture/options.h"

// Each returns 0 when written, 1 with the reason printed, or kStopped when a
// stop signal ended it with nothing written.
int captureStill(const CaptureOptions& options);
// The frames go to a hidden folder inside the target and move into place
// once all are written, so a failed or stopped run leaves the folder as it was.
int captureFrames(const CaptureOptions& options);
int captureSheet(const CaptureOptions& options);
