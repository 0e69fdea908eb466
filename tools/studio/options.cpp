// Parsing of the studio's command line.
#include "tools/studio/options.h"

#include "presentation/window.h"
#include "tools/common/numbers.h"
#include "tools/studio/transport.h"

#include <cstring>

const char kStudioUsage[] =
    "usage: demo-studio [--media DIR] [--shaders DIR] [--at T] [--paused] [--loop A:B]\n"
    "                   [--speed X] [--scale N]\n";

const char kStudioKeys[] =
    "Space pause/resume   Right/Left +1/-1 s   Up/Down +10/-10 s   Home start (of the loop)\n"
    ". and , one frame forward/back while paused   I/O loop start/end here   L loop on/off\n"
    "] and [ double/halve the speed   F12 save the strip as a PNG   Esc quit\n"
    "Tab uniforms at the playhead   0 whole timeline   in the panel: click seek,\n"
    "shift-drag set the loop, wheel zoom, middle-drag pan\n";

namespace {

bool inRange(double value, double low, double high) { return value >= low && value <= high; }

}  // namespace

bool parseStudioOptions(int argc, const char* const* argv, StudioOptions* o, std::string* error) {
  const double end = kEndTime;
  for (int i = 1; i < argc; ++i) {
    const std::string flag = argv[i];
    if (flag == "--help" || flag == "-h") {
      o->help = true;
      continue;
    }
    if (flag == "--paused") {
      o->paused = true;
      continue;
    }
    const bool takesValue = flag == "--media" || flag == "--shaders" || flag == "--at" ||
                            flag == "--loop" || flag == "--speed" || flag == "--scale";
    if (!takesValue) {
      *error = "unknown option \"" + flag + "\"";
      return false;
    }
    if (i + 1 >= argc) {
      *error = flag + " needs a value";
      return false;
    }
    const char* value = argv[++i];
    const std::string bad = "bad value \"" + std::string(value) + "\" for " + flag;
    double number = 0;
    if (flag == "--media") {
      o->mediaDir = value;
    } else if (flag == "--shaders") {
      o->shaderDir = value;
    } else if (flag == "--at") {
      if (!parseNumber(value, &number) || !inRange(number, 0, end)) {
        *error = bad + " (seconds from 0 to 130)";
        return false;
      }
      o->at = number;
    } else if (flag == "--loop") {
      const char* colon = std::strchr(value, ':');
      const std::string start = colon ? std::string(value, colon) : "";
      if (!colon || !parseNumber(start.c_str(), &o->loopStart) ||
          !parseNumber(colon + 1, &o->loopEnd) || !inRange(o->loopStart, 0, end) ||
          !inRange(o->loopEnd, 0, end) || o->loopStart >= o->loopEnd) {
        *error = bad + " (A:B with 0 <= A < B <= 130)";
        return false;
      }
      o->looping = true;
    } else if (flag == "--speed") {
      if (!parseNumber(value, &number) || !inRange(number, kMinSpeed, kMaxSpeed)) {
        *error = bad + " (0.25 to 4)";
        return false;
      }
      o->speed = number;
    } else {
      if (!parseNumber(value, &number) || !inRange(number, 1, 8) || number != int(number)) {
        *error = bad + " (a whole number from 1 to 8)";
        return false;
      }
      o->scale = static_cast<int>(number);
    }
  }
  return true;
}
