// Parsing and checking of the capture tool's options.
#include "tools/capture/options.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <sstream>

const char kCaptureUsage[] =
    "usage: demo-capture [--from S] [--to S] [--fps N] [--size WxH] [--media DIR]\n"
    "                    (--still T OUT.png | --frames DIR | --video OUT.mp4|.webm|.mkv |\n"
    "                     --sheet OUT.png [--times T,T,...] [--count N] [--columns N])\n";

const char kCaptureHelp[] =
    "Renders the presentation without a display, through the same start-up and\n"
    "layer code as the player, on a demo clock that advances exactly 1/fps per frame.\n"
    "\n"
    "  --from S, --to S    the stretch of the timeline in seconds (default 0 and 130)\n"
    "  --fps N             frames per second (default 60)\n"
    "  --size WxH          frame size in pixels (default 960x89)\n"
    "  --media DIR         folder with the eleven media files (default: working folder)\n"
    "\n"
    "One output:\n"
    "  --still T OUT.png   the frame at T seconds\n"
    "  --frames DIR        every frame as DIR/frame_000000.png, ... (made if missing)\n"
    "  --video OUT         a video with music.ogg from the matching offset; by ending:\n"
    "                      .mp4 H.264 + AAC, .mkv H.264 + Vorbis, .webm VP9 + Opus.\n"
    "                      These store 4:2:0 colour, which needs even sizes: an odd\n"
    "                      width or height gets one more column or row at the\n"
    "                      right or bottom, a copy of its neighbour (960x89\n"
    "                      becomes 960x90). Needs ffmpeg.\n"
    "  --sheet OUT.png     a storyboard: a grid of frames, each labelled with its time;\n"
    "                      at --times T,T,... or --count N times spread over the\n"
    "                      stretch (default 16), in --columns N columns (default 2)\n"
    "\n"
    "Progress goes to stderr. Exit status: 0 done, 1 failed, 2 bad command line.\n";

namespace {

bool parseNumber(const char* text, double* value) {
  if (!text || !*text) return false;
  char* end = nullptr;
  errno = 0;
  double v = std::strtod(text, &end);
  if (errno != 0 || *end != '\0' || !std::isfinite(v)) return false;
  *value = v;
  return true;
}

bool parseCount(const char* text, int* value, int low, int high) {
  double v = 0;
  if (!parseNumber(text, &v) || v != std::floor(v) || v < low || v > high) return false;
  *value = static_cast<int>(v);
  return true;
}

bool parseSize(const char* text, int* width, int* height) {
  if (!text) return false;
  const char* x = std::strchr(text, 'x');
  if (!x) return false;
  std::string w(text, x), h(x + 1);
  return parseCount(w.c_str(), width, 1, 8192) && parseCount(h.c_str(), height, 1, 8192);
}

bool parseTimes(const char* text, std::vector<double>* times) {
  if (!text || !*text) return false;
  std::stringstream list(text);
  std::string item;
  while (std::getline(list, item, ',')) {
    double t = 0;
    if (!parseNumber(item.c_str(), &t) || t < 0) return false;
    times->push_back(t);
  }
  return !times->empty() && times->size() <= 1000;
}

bool endsWith(const std::string& s, const char* suffix) {
  const size_t n = std::strlen(suffix);
  return s.size() >= n && s.compare(s.size() - n, n, suffix) == 0;
}

}  // namespace

long frameCount(const CaptureOptions& o) {
  // Frame i shows from + i / fps; the last one is the last before `to`.
  const double span = (o.to - o.from) * o.fps;
  long n = static_cast<long>(std::ceil(span - 1e-9));
  return n < 1 ? 1 : n;
}

double frameTime(const CaptureOptions& o, long index) {
  return o.from + static_cast<double>(index) / o.fps;
}

bool parseCaptureOptions(int argc, const char* const* argv, CaptureOptions* o,
                         std::string* error) {
  auto setOutput = [&](Output kind, const char* target, const char* name) {
    if (o->output != Output::None) {
      *error = std::string("choose one output; ") + name + " comes after another";
      return false;
    }
    if (!target || !*target) {
      *error = std::string(name) + " needs a path";
      return false;
    }
    o->output = kind;
    o->target = target;
    return true;
  };
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
    auto bad = [&](const char* what) {
      *error = "bad value for " + arg + ": " + (value ? "\"" + std::string(value) + "\"" : "missing") +
               " (" + what + ")";
      return false;
    };
    if (arg == "--help" || arg == "-h") {
      o->help = true;
      return true;
    } else if (arg == "--from") {
      if (!parseNumber(value, &o->from) || o->from < 0) return bad("seconds, 0 or more");
      ++i;
    } else if (arg == "--to") {
      if (!parseNumber(value, &o->to) || o->to <= 0) return bad("seconds, more than 0");
      ++i;
    } else if (arg == "--fps") {
      if (!parseNumber(value, &o->fps) || o->fps <= 0 || o->fps > 1000) {
        return bad("frames per second, more than 0 and at most 1000");
      }
      ++i;
    } else if (arg == "--size") {
      if (!parseSize(value, &o->width, &o->height)) return bad("WxH, each 1 to 8192");
      ++i;
    } else if (arg == "--media") {
      if (!value || !*value) return bad("a folder");
      o->mediaDir = value;
      ++i;
    } else if (arg == "--still") {
      if (!parseNumber(value, &o->stillTime) || o->stillTime < 0) return bad("seconds, 0 or more");
      if (!setOutput(Output::Still, i + 2 < argc ? argv[i + 2] : nullptr, "--still")) return false;
      i += 2;
    } else if (arg == "--frames") {
      if (!setOutput(Output::Frames, value, "--frames")) return false;
      ++i;
    } else if (arg == "--video") {
      if (!setOutput(Output::Video, value, "--video")) return false;
      if (!endsWith(o->target, ".mp4") && !endsWith(o->target, ".webm") &&
          !endsWith(o->target, ".mkv")) {
        return bad("a file ending in .mp4, .webm or .mkv");
      }
      ++i;
    } else if (arg == "--sheet") {
      if (!setOutput(Output::Sheet, value, "--sheet")) return false;
      ++i;
    } else if (arg == "--times") {
      if (!parseTimes(value, &o->sheetTimes)) return bad("a comma-separated list of seconds");
      ++i;
    } else if (arg == "--count") {
      if (!parseCount(value, &o->sheetCount, 1, 1000)) return bad("a whole number, 1 to 1000");
      ++i;
    } else if (arg == "--columns") {
      if (!parseCount(value, &o->sheetColumns, 1, 64)) return bad("a whole number, 1 to 64");
      ++i;
    } else {
      *error = "unknown option \"" + arg + "\"";
      return false;
    }
  }
  if (o->output == Output::None) {
    *error = "no output: give one of --still, --frames, --video, --sheet";
    return false;
  }
  if (o->to <= o->from) {
    *error = "--to must be later than --from";
    return false;
  }
  return true;
}
