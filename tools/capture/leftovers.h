// What captures killed outright left beside or inside their target, found
// by the PID in the temporaries' names and /proc.
#pragma once

#include "tools/capture/options.h"

// The folder of a frame sequence being written, inside the target: the PID
// tells a later run whether its maker still runs.
extern const char kFramesPrefix[];

// Whether `pid` is a capture that still runs, and so owns its temporaries.
bool captureRuns(long pid);

// Removes what captures to the same target left when they were killed: a
// video's temporary beside it, or a frame folder's staging folder inside it
// with its PNGs. Only files and folders of processes that no longer run as a
// capture are removed, and only regular files and the folders they leave empty.
void removeLeftovers(const CaptureOptions& options);
