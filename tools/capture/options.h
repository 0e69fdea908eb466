// The capture tool's command line.
#pragma once

#include "presentation/window.h"

#include <string>
#include <utility>
#include <vector>

struct Timeline;

enum class Output { None, Still, Frames, Video, Sheet, Animation };

// A stretch of the timeline, in seconds.
struct Clip {
  double from, to;
};

struct CaptureOptions {
  double from = 0;
  double to = 130;
  double fps = 60;
  int width = kWindowWidth;
  int height = kWindowHeight;
  std::string mediaDir = ".";
  std::string timelinePath;  // --timeline; empty: the built-in timeline
  Output output = Output::None;
  std::string target;              // file or folder of the output
  double stillTime = 0;            // --still
  std::vector<double> sheetTimes;  // --times; empty: spread evenly
  // The times as given, seconds or a time of the timeline (spaceIn+2, the
  // word `storyboard` for --times), which resolveCaptureTimes reads into
  // stillTime, sheetTimes and clips once the timeline is known.
  std::string stillText;
  std::vector<std::string> sheetTimeTexts;
  std::vector<std::pair<std::string, std::string>> clipTexts;
  int sheetCount = 16;      // --count, when no --times
  int sheetColumns = 2;     // --columns
  int ssaa = 1;             // --ssaa: drawn this many times larger, then reduced
  std::string preset;       // --preset
  std::vector<Clip> clips;  // --clips: a preview of these stretches
  int frameWidth = 0;       // --frame or the preset's; 0: the video is the strip
  int frameHeight = 0;
  // A video in parts: --segment K/N renders part K (from 1) of N into
  // --parts DIR, --join DIR joins the parts, --video OUT --segments N does
  // both in OUT.parts/. With --segment, `target` only names the ending.
  int segment = 0;
  int segments = 0;  // N; 0 for a video in one piece
  std::string partsDir;
  bool join = false;
  bool removeParts = false;    // --remove-parts, with --join
  bool check = false;          // --check: the command line is only checked
  bool printTimeline = false;  // --print-timeline: the timeline listed, nothing drawn
  // Which of the defaults the command line set: presets and previews fill in the rest.
  bool fromGiven = false, toGiven = false, fpsGiven = false, sizeGiven = false, ssaaGiven = false;
  bool help = false;
};

// Parses argv. On a bad command line returns false with one line in `error`.
// Without --timeline the times are resolved against the built-in timeline;
// with it, the caller resolves them once the file is read.
bool parseCaptureOptions(int argc, const char* const* argv, CaptureOptions* options,
                         std::string* error);

// Reads the times given as text against `t` (a fade's or cut's time through
// the timeline's own reader) and checks what depends on them: each clip's
// end after its start, the storyboard's size. False with one line in `error`.
bool resolveCaptureTimes(const Timeline& t, CaptureOptions* options, std::string* error);

// The times a range of frames covers: from + i / fps for every i with a time before `to`.
long frameCount(const CaptureOptions& options);

// The demo time of frame `index`: every clock reading of that frame returns it.
double frameTime(const CaptureOptions& options, long index);

// The usage line, and the whole help: what the tool does and every option.
std::string captureUsage();
std::string captureHelp();
