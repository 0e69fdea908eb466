// The benchmark's command line.
#pragma once

#include "tools/common/command_line.h"

#include <string>
#include <vector>

struct BenchOptions {
  std::string mediaDir = "media";
  int repetitions = 5;
  std::vector<double> times;  // empty: the 2 s grid and the cue times
  bool startup = true;
  bool capture = true;
  bool wholeCapture = true;
};

// The option table, filling `options`.
std::vector<Option> benchOptionTable(BenchOptions* options);
