// The capture's closing lines: a stop, a failure and the range a summary names.
#include "tools/capture/capture_status.h"

#include "tools/common/command_line.h"

#include <cstdio>

int stopped(long frame, long total) {
  std::fprintf(stderr, "\ndemo-capture: stopped at frame %ld of %ld\n", frame, total);
  return kStopped;
}

int failure(const std::string& message) {
  std::fprintf(stderr, "demo-capture: %s\n", printable(message).c_str());
  return 1;
}

std::string describeRange(const CaptureOptions& o, long frames) {
  char text[160];
  std::snprintf(text, sizeof text, "%ld frames (%.2f-%.2f s at %g fps)", frames, o.from, o.to,
                o.fps);
  return text;
}
