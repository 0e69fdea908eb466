// The benchmark's option table.
#include "bench/options.h"

std::vector<Option> benchOptionTable(BenchOptions* o) {
  return {
      {"--media", "DIR", "folder with the media files (default: media)",
       textIn(&o->mediaDir, "a folder")},
      {"--reps", "N", "repetitions of each frame at each time (default 5)",
       wholeIn(&o->repetitions, 1, 1000)},
      {"--times", "T,T,...", "the demo times to sample (default: every 2 s and the cue times)",
       timesIn(&o->times)},
      {"--no-startup", "", "skip the player's start-up phases", setSwitch(&o->startup, false)},
      {"--no-capture", "", "skip the capture throughput", setSwitch(&o->capture, false)},
      {"--no-whole-capture", "", "skip the whole capture timed end to end",
       setSwitch(&o->wholeCapture, false)},
  };
}
