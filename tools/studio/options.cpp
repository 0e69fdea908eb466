// The studio's option table.
#include "tools/studio/options.h"

#include "presentation/window.h"
#include "tools/common/command_line.h"
#include "tools/common/numbers.h"
#include "tools/studio/transport.h"

#include <cstring>
#include <vector>

namespace {

const char kStudioKeys[] =
    "Space pause/resume   Right/Left +1/-1 s   Up/Down +10/-10 s   Home start (of the loop)\n"
    ". and , one frame forward/back while paused   I/O loop start/end here   L loop on/off\n"
    "] and [ double/halve the speed   F12 save the strip as a PNG   Esc quit\n"
    "Tab uniforms at the playhead   0 whole timeline   in the panel: click seek,\n"
    "shift-drag set the loop, drag a fade's ramp to move it, wheel zoom, middle-drag pan\n"
    "Ctrl+Z/Ctrl+Y undo/redo an edit   Ctrl+S save the timeline\n";

std::vector<Option> studioTable(StudioOptions* o) {
  const double end = kEndTime;
  const std::string loopTaken = "A:B, each 0 to " + boundText(end) + ", A before B";
  return {
      {"--media", "DIR", "folder with the media files (default: working folder)",
       textIn(&o->mediaDir, "a folder")},
      {"--shaders", "DIR", "folder of the programs' sources, rebuilt as they are saved",
       textIn(&o->shaderDir, "a folder")},
      {"--timeline", "FILE", "the timeline file to show, edit and save (default: the built-in one)",
       textIn(&o->timelinePath, "a file")},
      {"--at", "T", "start at T seconds", numberIn(&o->at, 0, end, "seconds")},
      {"--paused", "", "start paused", setSwitch(&o->paused)},
      {"--loop", "A:B", "play from A to B seconds over and over",
       [o, loopTaken, end](const char* const* values) {
         const char* colon = values ? std::strchr(values[0], ':') : nullptr;
         double a = 0, b = 0;
         if (!colon || !parseNumber(std::string(values[0], colon).c_str(), &a) ||
             !parseNumber(colon + 1, &b) || a < 0 || b > end || a >= b) {
           return loopTaken;
         }
         o->loopStart = a;
         o->loopEnd = b;
         o->looping = true;
         return std::string();
       }},
      {"--speed", "X", "playing speed (default 1)",
       numberIn(&o->speed, kMinSpeed, kMaxSpeed, "a factor")},
      {"--scale", "N",
       "window size as a multiple of " + std::to_string(kWindowWidth) + "x" +
           std::to_string(kWindowHeight),
       wholeIn(&o->scale, 1, 8)},
  };
}

}  // namespace

bool parseStudioOptions(int argc, const char* const* argv, StudioOptions* o, std::string* error) {
  const Parsed parsed = parseCommandLine(studioTable(o), argc, argv, error);
  o->help = parsed == Parsed::help;
  return parsed != Parsed::bad;
}

std::string studioUsage() {
  StudioOptions unused;
  return usageText("demo-studio", studioTable(&unused));
}

std::string studioHelp() {
  StudioOptions unused;
  return studioUsage() + "\n" + optionHelp(studioTable(&unused)) + "\nKeys:\n" + kStudioKeys;
}
