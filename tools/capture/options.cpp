// Parsing and checking of the capture tool's options.
#include "tools/capture/options.h"

#include "tools/capture/presets.h"
#include "tools/capture/sheet.h"
#include "tools/common/numbers.h"

#include <strings.h>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <sstream>

const char kCaptureUsage[] =
    "usage: demo-capture [--from S] [--to S] [--fps N] [--size WxH] [--media DIR]\n"
    "                    [--ssaa N] (--still T OUT.png | --frames DIR |\n"
    "                    --video OUT.mp4|.webm|.mkv [--preset 1080p|4k] [--frame WxH]\n"
    "                    [--segments N | --join DIR] | --segment K/N --parts DIR |\n"
    "                    --gif OUT.gif|.webp |\n"
    "                    --sheet OUT.png [--times T,T,...] [--count N] [--columns N])\n";

const char kCaptureHelp[] =
    "Renders the presentation without a display, through the same start-up and\n"
    "layer code as the player, on a demo clock that advances exactly 1/fps per frame.\n"
    "\n"
    "  --from S, --to S    the stretch of the timeline in seconds (default 0 and 130,\n"
    "                      at most 86400)\n"
    "  --fps N             frames per second (default 60)\n"
    "  --size WxH          frame size in pixels (default 960x89)\n"
    "  --media DIR         folder with the eleven media files (default: working folder)\n"
    "  --ssaa N            supersampling: every frame is drawn N times wider and higher\n"
    "                      and reduced by averaging N x N pixels, which smooths the\n"
    "                      stepped edges (1 to 8; default 1, 2 with --preset and --gif)\n"
    "\n"
    "One output:\n"
    "  --still T OUT.png   the frame at T seconds\n"
    "  --frames DIR        every frame as DIR/frame_000000.png, ... (made if missing;\n"
    "                      older frame_*.png files past the new ones are removed)\n"
    "  --video OUT         a video with music.ogg from the matching offset; by ending:\n"
    "                      .mp4 H.264 + AAC, .mkv H.264 + Vorbis, .webm VP9 + Opus.\n"
    "                      These store 4:2:0 colour, which needs even sizes: an odd\n"
    "                      width or height gets one more column or row at the\n"
    "                      right or bottom, a copy of its neighbour (960x89\n"
    "                      becomes 960x90). Needs ffmpeg.\n"
    "    --frame WxH       the strip centred on a black frame of this size (even sides);\n"
    "                      without --size the strip fills the frame's width\n"
    "    --preset 1080p|4k for video sites, into OUT.mp4: the strip at 1920x178 or\n"
    "                      3840x356 on a 16:9 frame of 1920x1080 or 3840x2160,\n"
    "                      H.264 High at CRF 16 in BT.709 colours, AAC at 320 kb/s\n"
    "    --segments N      render the video as N parts one after the other in\n"
    "                      OUT.parts/, then join them; run again after a crash, it\n"
    "                      reuses the parts already complete\n"
    "    --join DIR        join the parts in DIR (same range and options) into OUT\n"
    "  --segment K/N --parts DIR\n"
    "                      only part K (1 to N) of the video's N equal runs of frames,\n"
    "                      without sound, into DIR (for a batch of machines); --video\n"
    "                      OUT.webm or .mkv beside it picks that kind (default .mp4)\n"
    "  --gif OUT           a looping animated preview without sound, .gif with its own\n"
    "                      palette or .webp; by default 10 s from 20 s, 480x45, 15 fps\n"
    "  --sheet OUT.png     a storyboard: a grid of frames, each labelled with its time;\n"
    "                      at --times T,T,... or --count N times spread over the\n"
    "                      stretch (default 16), in --columns N columns (default 2);\n"
    "                      at most 65535 pixels a side and 256 megapixels in all\n"
    "\n"
    "Progress goes to stderr. Exit status: 0 done, 1 failed, 2 bad command line.\n";

namespace {

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

bool parseSeconds(const char* text, double* value) {
  return parseNumber(text, value) && *value >= 0 && *value <= kMaxSeconds;
}

constexpr int kMaxSegments = 10000;

// How --segment, --segments, --parts and --join combine; --segment alone
// makes the output a video in DIR whose ending says the part's kind.
bool checkSegmentOptions(CaptureOptions* o, std::string* error) {
  const bool one = o->segment > 0;
  const bool all = o->segments > 0 && !one;
  if (!one && !all && o->partsDir.empty()) return true;
  auto refuse = [&](const std::string& reason) {
    *error = reason;
    return false;
  };
  if (one + all + o->join > 1) return refuse("choose one of --segment, --segments and --join");
  if (one && o->partsDir.empty()) return refuse("--segment needs --parts DIR");
  if (all && !o->partsDir.empty()) return refuse("--segments keeps its parts in OUT.parts/");
  if (one && o->output == Output::None) {
    o->output = Output::Video;
    o->target = o->partsDir + "/video.mp4";
  }
  if (!one && !all && !o->join) return refuse("--parts applies only to --segment");
  if (o->output != Output::Video) {
    return refuse(std::string(one   ? "--segment"
                              : all ? "--segments"
                                    : "--join") +
                  " applies only to --video");
  }
  if (all) o->partsDir = o->target + ".parts";
  return true;
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

bool parseCaptureOptions(int argc, const char* const* argv, CaptureOptions* o, std::string* error) {
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
  std::string sheetOption;  // the last of --times, --count, --columns given
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
    auto bad = [&](const char* what) {
      *error = "bad value for " + arg + ": " +
               (value ? "\"" + std::string(value) + "\"" : "missing") + " (" + what + ")";
      return false;
    };
    if (arg == "--help" || arg == "-h") {
      o->help = true;
      return true;
    } else if (arg == "--from") {
      if (!parseSeconds(value, &o->from)) return bad("seconds, 0 to 86400");
      o->fromGiven = true;
      ++i;
    } else if (arg == "--to") {
      if (!parseSeconds(value, &o->to) || o->to <= 0)
        return bad("seconds, more than 0 and at most 86400");
      o->toGiven = true;
      ++i;
    } else if (arg == "--fps") {
      if (!parseNumber(value, &o->fps) || o->fps <= 0 || o->fps > 1000) {
        return bad("frames per second, more than 0 and at most 1000");
      }
      o->fpsGiven = true;
      ++i;
    } else if (arg == "--size") {
      if (!parseSize(value, &o->width, &o->height)) return bad("WxH, each 1 to 8192");
      o->sizeGiven = true;
      ++i;
    } else if (arg == "--ssaa") {
      if (!parseCount(value, &o->ssaa, 1, 8)) return bad("a whole number, 1 to 8");
      o->ssaaGiven = true;
      ++i;
    } else if (arg == "--preset") {
      // Only the name is checked here; the frame is set once all options are read.
      int width = 0, height = 0;
      if (!value || !presetFrame(value, &width, &height)) return bad("1080p or 4k");
      o->preset = value;
      ++i;
    } else if (arg == "--frame") {
      if (!parseSize(value, &o->frameWidth, &o->frameHeight) || o->frameWidth % 2 ||
          o->frameHeight % 2) {
        return bad("WxH, even, each 2 to 8192");
      }
      ++i;
    } else if (arg == "--gif") {
      if (!setOutput(Output::Animation, value, "--gif")) return false;
      if (!endsWith(o->target, ".gif") && !endsWith(o->target, ".webp")) {
        return bad("a file ending in .gif or .webp");
      }
      ++i;
    } else if (arg == "--media") {
      if (!value || !*value) return bad("a folder");
      o->mediaDir = value;
      ++i;
    } else if (arg == "--still") {
      if (!parseSeconds(value, &o->stillTime)) return bad("seconds, 0 to 86400");
      if (!setOutput(Output::Still, i + 2 < argc ? argv[i + 2] : nullptr, "--still")) return false;
      if (!endsWith(o->target, ".png")) {
        *error = "bad file name for --still: \"" + o->target +
                 "\" (it is written as PNG: end it in .png)";
        return false;
      }
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
    } else if (arg == "--segment" || (arg == "--segments" && o->segment > 0)) {
      if (o->segments > 0) {
        *error = "choose one of --segment, --segments and --join";
        return false;
      }
      const char* slash = value ? std::strchr(value, '/') : nullptr;
      if (!slash || !parseCount(std::string(value, slash).c_str(), &o->segment, 1, kMaxSegments) ||
          !parseCount(slash + 1, &o->segments, o->segment, kMaxSegments)) {
        return bad("K/N, whole numbers with 1 <= K <= N <= 10000");
      }
      ++i;
    } else if (arg == "--segments") {
      if (!parseCount(value, &o->segments, 1, kMaxSegments))
        return bad("a whole number, 1 to 10000");
      ++i;
    } else if (arg == "--parts" || arg == "--join") {
      if (!value || !*value) return bad("a folder");
      if (!o->partsDir.empty()) {
        *error = arg + " names a second parts folder";
        return false;
      }
      o->partsDir = value;
      o->join = arg == "--join";
      ++i;
    } else if (arg == "--sheet") {
      if (!setOutput(Output::Sheet, value, "--sheet")) return false;
      if (!endsWith(o->target, ".png")) return bad("a file ending in .png");
      ++i;
    } else if (arg == "--times" || arg == "--count" || arg == "--columns") {
      sheetOption = arg;
      if (arg == "--times") {
        if (!parseTimes(value, &o->sheetTimes)) {
          return bad("a comma-separated list of up to 1000 times, each 0 to 86400 seconds");
        }
      } else if (arg == "--count") {
        if (!parseCount(value, &o->sheetCount, 1, 1000)) return bad("a whole number, 1 to 1000");
      } else if (!parseCount(value, &o->sheetColumns, 1, 64)) {
        return bad("a whole number, 1 to 64");
      }
      ++i;
    } else {
      *error = "unknown option \"" + arg + "\"";
      return false;
    }
  }
  if (!checkSegmentOptions(o, error)) return false;
  if (o->output == Output::None) {
    *error = "no output: give one of --still, --frames, --video, --gif, --sheet";
    return false;
  }
  if (!finishPresetOptions(o, error)) return false;
  if (o->to <= o->from) {
    *error = "--to must be later than --from";
    return false;
  }
  if (o->segments > frameCount(*o)) {
    *error = "the range has " + std::to_string(frameCount(*o)) + " frames, fewer than " +
             std::to_string(o->segments) + " parts";
    return false;
  }
  if (!sheetOption.empty() && o->output != Output::Sheet) {
    *error = sheetOption + " applies only to --sheet";
    return false;
  }
  if (o->output == Output::Sheet) {
    const int frames =
        o->sheetTimes.empty() ? o->sheetCount : static_cast<int>(o->sheetTimes.size());
    const SheetSize size = sheetSize(o->width, o->height, frames, o->sheetColumns);
    if (size.width > kMaxSheetSide || size.height > kMaxSheetSide ||
        size.width * size.height > kMaxSheetPixels) {
      *error = "the storyboard would be " + std::to_string(size.width) + "x" +
               std::to_string(size.height) +
               " pixels; the limit is 65535 a side and 256 megapixels in all "
               "(fewer frames, other --columns or a smaller --size)";
      return false;
    }
  }
  return true;
}
