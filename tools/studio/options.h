// The studio's command line.
#pragma once

#include <string>

struct StudioOptions {
  std::string mediaDir = ".";
  std::string shaderDir;     // empty: the source tree's gpu/shaders
  std::string timelinePath;  // empty: the built-in timeline, saved as ./timeline.txt
  double at = 0;
  bool paused = false;
  bool looping = false;
  double loopStart = 0;
  double loopEnd = 0;
  double speed = 1;
  int scale = 1;
  bool help = false;
};

// Parses argv. On a bad command line returns false with one line in `error`.
bool parseStudioOptions(int argc, const char* const* argv, StudioOptions* options,
                        std::string* error);

// The usage line, and the whole help: the usage, the options and the keys.
std::string studioUsage();
std::string studioHelp();
