// Parsing and checking of the capture tool's options.
#include "tools/capture/options.h"

#include "presentation/timeline.h"
#include "tools/capture/montage.h"
#include "tools/capture/presets.h"
#include "tools/capture/sheet.h"
#include "tools/common/command_line.h"
#include "tools/common/numbers.h"

#include <strings.h>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <sstream>

namespace {

const int kMaxSide = 8192;
const int kMaxSegments = 10000;

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

bool parseSize(const char* text, int* width, int* height, int step) {
  const char* x = text ? std::strchr(text, 'x') : nullptr;
  double w = 0, h = 0;
  if (!x || !parseNumber(std::string(text, x).c_str(), &w) || !parseNumber(x + 1, &h)) return false;
  for (double side : {w, h}) {
    if (side != std::floor(side) || side < step || side > kMaxSide || std::fmod(side, step) != 0) {
      return false;
    }
  }
  *width = static_cast<int>(w);
  *height = static_cast<int>(h);
  return true;
}

// A time, as timeText takes it, into `text`.
OptionTaker timeTextIn(std::string* text) {
  const std::string takes =
      "seconds from 0 to " + boundText(kMaxSeconds) + ", or FADE, FADE+S, FADE-S of the timeline";
  return [=](const char* const* values) {
    if (!values || !timeText(values[0])) return takes;
    *text = values[0];
    return std::string();
  };
}

// --times: up to 1000 comma-separated times as timeText takes them, or the
// word `storyboard` for the timeline's storyboard frames.
OptionTaker timeTextsIn(std::vector<std::string>* texts) {
  const std::string takes = "up to 1000 comma-separated times, each 0 to " +
                            boundText(kMaxSeconds) +
                            " s or FADE, FADE+S, FADE-S of the timeline; or storyboard";
  return [=](const char* const* values) {
    if (!values || !*values[0]) return takes;
    std::vector<std::string> taken;
    std::stringstream list(values[0]);
    for (std::string item; std::getline(list, item, ',');) {
      if (!timeText(item) || taken.size() == 1000) return takes;
      taken.push_back(item);
    }
    if (taken.empty() || (std::string(values[0]).back() == ',')) return takes;
    *texts = taken;
    return std::string();
  };
}

// A time as given, read against `t`: seconds, or through the timeline's reader.
bool timeOf(const Timeline& t, const std::string& text, double* seconds, std::string* problem) {
  if (text.empty() || !std::isalpha(static_cast<unsigned char>(text[0])))
    return parseNumber(text.c_str(), seconds);
  TimeRef r;
  *problem = readTime(t, text, &r);
  *seconds = t.timeOf(r);
  return problem->empty();
}

std::string windowSize(int extraRow) {
  return std::to_string(kWindowWidth) + "x" + std::to_string(kWindowHeight + extraRow);
}

// The table fills `o`; `sheetOption` keeps the last of --times, --count and
// --columns given, which only a storyboard takes.
std::vector<Option> captureTable(CaptureOptions* o, std::string* sheetOption) {
  const std::string seconds = "seconds";
  const std::string maxSide = std::to_string(kMaxSide);
  // An output option: the first output taken, with a name of one of `endings`.
  auto output = [o](Output kind, std::vector<const char*> endings, std::string takes) {
    return [o, kind, endings, takes](const char* const* values) {
      if (!values || !*values[0]) return takes;
      bool named = endings.empty();
      for (const char* ending : endings) named = named || endsWith(values[0], ending);
      if (!named) return takes;
      if (o->output != Output::None) return std::string("one output only; another came before");
      o->output = kind;
      o->target = values[0];
      return std::string();
    };
  };
  auto sheet = [sheetOption](const char* name, OptionTaker taker) {
    return andThen(taker, [sheetOption, name] { *sheetOption = name; });
  };
  OptionTaker stillTime = timeTextIn(&o->stillText);
  OptionTaker stillFile = output(Output::Still, {".png"}, "a file ending in .png");
  return {
      {"--from", "S", "start of the stretch of the timeline (default 0)",
       andThen(numberIn(&o->from, 0, kMaxSeconds, "seconds"), [o] { o->fromGiven = true; })},
      {"--to", "S", "its end (default " + boundText(kEndTime) + ", the end of the presentation)",
       andThen(numberIn(&o->to, 0, kMaxSeconds, "seconds"), [o] { o->toGiven = true; })},
      {"--fps", "N", "frames per second (default 60)",
       andThen(numberIn(&o->fps, 0.1, 1000, "frames per second"), [o] { o->fpsGiven = true; })},
      {"--size", "WxH", "frame size in pixels (default " + windowSize(0) + ")",
       andThen(
           [o, maxSide](const char* const* values) {
             return values && parseSize(values[0], &o->width, &o->height, 1)
                        ? ""
                        : "WxH, each 1 to " + maxSide;
           },
           [o] { o->sizeGiven = true; })},
      {"--media", "DIR", "folder with the eleven media files (default: working folder)",
       textIn(&o->mediaDir, "a folder")},
      {"--timeline", "FILE",
       "another copy of the timeline file to draw (and for a video,\n"
       "music made for it); default: the built-in one",
       textIn(&o->timelinePath, "a file")},
      {"--ssaa", "N",
       "supersampling: every frame is drawn N times wider and higher\n"
       "and reduced by averaging N x N pixels, which smooths the\n"
       "stepped edges (default 1, 2 with --preset and --gif)",
       andThen(wholeIn(&o->ssaa, 1, 8), [o] { o->ssaaGiven = true; })},
      {"", "", "One output:", nullptr},
      {"--still", "T OUT.png",
       "the frame at T: seconds, or a time of the timeline written\n"
       "from a fade or cut as its file writes it (spaceIn+2.5)",
       [stillTime, stillFile](const char* const* values) {
         if (!values || !stillTime(values).empty()) return stillTime(nullptr);
         const std::string reason = stillFile(values + 1);
         return reason.empty() ? reason : "it is written as PNG: " + reason;
       }},
      {"--frames", "DIR",
       "every frame as DIR/frame_000000.png, ... (made if missing;\n"
       "older frame_*.png files past the new ones are removed)",
       output(Output::Frames, {}, "a folder")},
      {"--video", "OUT",
       "a video with music.ogg from the matching offset; by ending:\n"
       ".mp4 H.264 + AAC, .mkv H.264 + Vorbis, .webm VP9 + Opus.\n"
       "These store 4:2:0 colour, which needs even sizes: an odd\n"
       "width or height gets one more column or row at the\n"
       "right or bottom, a copy of its neighbour (" +
           windowSize(0) + "\nbecomes " + windowSize(kWindowHeight % 2) + "). Needs ffmpeg.",
       output(Output::Video, {".mp4", ".webm", ".mkv"}, "a file ending in .mp4, .webm or .mkv")},
      {"--frame", "WxH",
       "with --video: the strip centred on a black frame of this\n"
       "size; without --size the strip fills the frame's width",
       [o, maxSide](const char* const* values) {
         return values && parseSize(values[0], &o->frameWidth, &o->frameHeight, 2)
                    ? ""
                    : "WxH, even, each 2 to " + maxSide;
       }},
      {"--preset", "1080p|4k",
       "with --video, for video sites, into OUT.mp4: the strip at\n"
       "1920x178 or 3840x356 on a 16:9 frame of 1920x1080 or\n"
       "3840x2160, H.264 High at CRF 16 in BT.709 colours, AAC\n"
       "at 320 kb/s",
       [o](const char* const* values) {
         // Only the name is checked here; the frame is set once all options are read.
         int width = 0, height = 0;
         if (!values || !presetFrame(values[0], &width, &height)) return std::string("1080p or 4k");
         o->preset = values[0];
         return std::string();
       }},
      {"--segments", "N",
       "with --video: draw the video as N parts one after the other\n"
       "in OUT.parts/, then join them; run again after a crash, it\n"
       "reuses the parts already complete",
       [o](const char* const* values) {
         const std::string takes =
             "a whole number from 1 to " + std::to_string(kMaxSegments) + ", without --segment";
         return o->segment == 0 && wholeIn(&o->segments, 1, kMaxSegments)(values).empty() ? ""
                                                                                          : takes;
       }},
      {"--join", "DIR", "with --video: join the parts in DIR (same range and options)",
       andThen(textIn(&o->partsDir, "a folder"), [o] { o->join = true; })},
      {"--remove-parts", "",
       "with --join: once the video is in place, remove the parts and\n"
       "records it joined, and DIR when nothing else is left in it",
       setSwitch(&o->removeParts)},
      {"--segment", "K/N",
       "only part K of the range's N equal runs of frames (the last\n"
       "takes the rest), without sound, into --parts DIR, for a\n"
       "batch of machines; --video OUT.webm or .mkv picks that kind\n"
       "(default .mp4), and nothing is written to OUT",
       [o](const char* const* values) {
         const std::string takes =
             "K/N, whole numbers with 1 <= K <= N <= " + std::to_string(kMaxSegments) +
             ", without --segments";
         const char* slash = values ? std::strchr(values[0], '/') : nullptr;
         double k = 0, n = 0;
         if (!slash || o->segments > 0 || !parseNumber(std::string(values[0], slash).c_str(), &k) ||
             !parseNumber(slash + 1, &n) || k != std::floor(k) || n != std::floor(n) || k < 1 ||
             k > n || n > kMaxSegments) {
           return takes;
         }
         o->segment = static_cast<int>(k);
         o->segments = static_cast<int>(n);
         return std::string();
       }},
      {"--parts", "DIR", "with --segment: the folder of the parts",
       textIn(&o->partsDir, "a folder")},
      {"--gif", "OUT",
       "a looping animated preview without sound, .gif with its own\n"
       "palette or .webp; by default " +
           previewSummary(),
       output(Output::Animation, {".gif", ".webp"}, "a file ending in .gif or .webp")},
      {"--clips", "A:B,...", "with --gif: a montage of these stretches, one after another",
       clipsIn(&o->clipTexts)},
      {"--sheet", "OUT.png",
       "a storyboard: a grid of frames, each labelled with its time,\n"
       "at most 65535 pixels a side and 256 megapixels in all",
       output(Output::Sheet, {".png"}, "a file ending in .png")},
      {"--times", "T,T,...",
       "with --sheet: the times of its frames, as --still takes\n"
       "them; `storyboard`: the timeline's storyboard frames",
       sheet("--times", timeTextsIn(&o->sheetTimeTexts))},
      {"--count", "N", "with --sheet: N times spread over the stretch (default 16)",
       sheet("--count", wholeIn(&o->sheetCount, 1, 1000))},
      {"--columns", "N", "with --sheet: the grid's columns (default 2)",
       sheet("--columns", wholeIn(&o->sheetColumns, 1, 64))},
      {"--print-timeline", "",
       "no output: list the timeline on stdout, one line each: every\n"
       "fade NAME AT RATE in|out WHOLE (where it is full or gone),\n"
       "cut NAME AT, section START NAME, storyboard T..., and\n"
       "layer NAME FRAGMENT PICTURE IN OUT|-",
       setSwitch(&o->printTimeline)},
      {"--check", "",
       "only check the command line: exit 0 when it would be taken,\n"
       "2 with the refusal; nothing is drawn or written",
       setSwitch(&o->check)},
  };
}

}  // namespace

std::string captureUsage() {
  CaptureOptions unused;
  std::string sheetOption;
  return usageText("demo-capture", captureTable(&unused, &sheetOption));
}

std::string captureHelp() {
  CaptureOptions unused;
  std::string sheetOption;
  return captureUsage() +
         "\nRenders the presentation without a display, through the same start-up and\n"
         "layer code as the player, on a demo clock that advances exactly 1/fps per frame,\n"
         "into one output: a still, a frame sequence, a video, an animated preview or a\n"
         "storyboard. Each replaces its target only once complete.\n\n" +
         optionHelp(captureTable(&unused, &sheetOption)) +
         "\nProgress goes to stderr. Exit status: 0 done, 1 failed, 2 bad command line;\n"
         "a stop signal (Ctrl-C) ends it at once, the target left as it was.\n";
}

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
  std::string sheetOption;
  const Parsed parsed = parseCommandLine(captureTable(o, &sheetOption), argc, argv, error);
  o->help = parsed == Parsed::help;
  if (parsed != Parsed::ok) return parsed == Parsed::help;
  if (!checkSegmentOptions(o, error)) return false;
  if (o->removeParts && !o->join) {
    *error = "--remove-parts applies only to --join";
    return false;
  }
  if (o->printTimeline) {
    if (o->output == Output::None) return true;
    *error = "--print-timeline writes no other output";
    return false;
  }
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
  return o->timelinePath.empty() ? resolveCaptureTimes(timeline::builtin(), o, error) : true;
}

bool resolveCaptureTimes(const Timeline& t, CaptureOptions* o, std::string* error) {
  std::string problem;
  const auto refuse = [&](const char* option, const std::string& text) {
    *error = std::string("bad value for ") + option + ": \"" + printable(text) + "\"" +
             (problem.empty() ? "" : " (" + problem + ")");
    return false;
  };
  if (!o->stillText.empty() && !timeOf(t, o->stillText, &o->stillTime, &problem))
    return refuse("--still", o->stillText);
  o->sheetTimes.clear();
  if (o->sheetTimeTexts == std::vector<std::string>{"storyboard"}) {
    for (float time : t.storyboardTimes()) o->sheetTimes.push_back(time);
  } else {
    for (const std::string& text : o->sheetTimeTexts) {
      o->sheetTimes.push_back(0);
      if (!timeOf(t, text, &o->sheetTimes.back(), &problem)) return refuse("--times", text);
    }
  }
  o->clips.clear();
  for (const auto& text : o->clipTexts) {
    Clip clip{0, 0};
    const std::string both = text.first + ":" + text.second;
    if (!timeOf(t, text.first, &clip.from, &problem) || !timeOf(t, text.second, &clip.to, &problem))
      return refuse("--clips", both);
    if (clip.to <= clip.from) {
      problem = "its end is not after its start";
      return refuse("--clips", both);
    }
    o->clips.push_back(clip);
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
