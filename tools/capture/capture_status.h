// How a capture ends: the status it returns and the one line that says why.
#pragma once

#include "tools/capture/options.h"

#include <string>

// The status a capture returns when a stop signal ended it: main then ends
// the process by that signal, so the shell sees 128 + its number.
const int kStopped = -1;

// Says on stderr where the stop came; returns kStopped.
int stopped(long frame, long total);

// Prints `message` on stderr with its control characters escaped, since it
// may hold a path the user gave; returns 1.
int failure(const std::string& message);

// "N frames (FROM-TO s at FPS fps)", for the summaries.
std::string describeRange(const CaptureOptions& options, long frames);
