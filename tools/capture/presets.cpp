// Sizes, defaults and encoder settings of the capture's presets and previews.
#include "tools/capture/presets.h"

#include "tools/common/numbers.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

namespace {

struct Preset {
  const char* name;
  int width, height;
};

constexpr Preset kPresets[] = {{"1080p", 1920, 1080}, {"4k", 3840, 2160}};

// The animated preview: the oldschool picture comes and goes as the bar fades in.
constexpr double kPreviewFrom = 20;
constexpr double kPreviewSeconds = 10;
constexpr double kPreviewFps = 15;
constexpr int kPreviewWidth = 480;

std::string size(int width, int height) {
  return std::to_string(width) + "x" + std::to_string(height);
}

}  // namespace

bool presetFrame(const std::string& name, int* width, int* height) {
  for (const Preset& p : kPresets) {
    if (name == p.name) {
      *width = p.width;
      *height = p.height;
      return true;
    }
  }
  return false;
}

void fitStrip(int frameWidth, int frameHeight, int* width, int* height) {
  const double aspect = static_cast<double>(kWindowWidth) / kWindowHeight;
  *width = frameWidth;
  *height = 2 * static_cast<int>(std::lround(frameWidth / aspect / 2));
  if (*height > frameHeight) {
    *height = frameHeight - frameHeight % 2;
    *width = static_cast<int>(std::lround(*height * aspect));
  }
  if (*height < 2) *height = 2;
}

int centredOffset(int frame, int strip) { return (frame - strip) / 4 * 2; }

bool finishPresetOptions(CaptureOptions* o, std::string* error) {
  const bool framed = o->frameWidth > 0;
  if (!o->preset.empty() && !presetFrame(o->preset, &o->frameWidth, &o->frameHeight)) {
    *error = "unknown preset \"" + o->preset + "\" (1080p or 4k)";
    return false;
  }
  if (!o->preset.empty() && framed) {
    *error = "--preset sets the frame; give --frame or --preset, not both";
    return false;
  }
  if (!o->preset.empty() && (o->output != Output::Video || !endsWith(o->target, ".mp4"))) {
    *error = "--preset writes H.264 and AAC for upload: use it with --video OUT.mp4";
    return false;
  }
  if (o->frameWidth > 0 && o->output != Output::Video) {
    *error = "--frame applies only to --video";
    return false;
  }
  const bool preview = o->output == Output::Animation;
  if (!o->ssaaGiven && (!o->preset.empty() || preview)) o->ssaa = 2;
  if (o->frameWidth > 0) {
    if (!o->sizeGiven) fitStrip(o->frameWidth, o->frameHeight, &o->width, &o->height);
    if (o->width > o->frameWidth || o->height > o->frameHeight) {
      *error = "the strip (" + size(o->width, o->height) + ") does not fit the frame (" +
               size(o->frameWidth, o->frameHeight) + ")";
      return false;
    }
  }
  if (preview) {
    if (!o->fromGiven) o->from = o->toGiven ? std::fmax(0, o->to - kPreviewSeconds) : kPreviewFrom;
    if (!o->toGiven) o->to = o->from + kPreviewSeconds;
    if (!o->fpsGiven) o->fps = kPreviewFps;
    if (!o->sizeGiven) fitStrip(kPreviewWidth, kPreviewWidth, &o->width, &o->height);
  }
  if (static_cast<long>(o->width) * o->ssaa > kMaxRenderSide ||
      static_cast<long>(o->height) * o->ssaa > kMaxRenderSide) {
    *error = "drawing " + size(o->width, o->height) + " at --ssaa " + std::to_string(o->ssaa) +
             " needs more than " + std::to_string(kMaxRenderSide) + " pixels a side";
    return false;
  }
  return true;
}

std::string previewSummary() {
  int width = 0, height = 0;
  fitStrip(kPreviewWidth, kPreviewWidth, &width, &height);
  char text[96];
  std::snprintf(text, sizeof text, "%g s from %g s, %s, %g fps", kPreviewSeconds, kPreviewFrom,
                size(width, height).c_str(), kPreviewFps);
  return text;
}

void applyVideoPreset(const CaptureOptions& o, VideoSettings* s) {
  if (o.output == Output::Animation) {
    s->withAudio = false;
    if (endsWith(o.target, ".gif")) {
      // One palette for the whole stretch, built from what changes between
      // frames; ordered dither keeps the frames' differences small, and only
      // the changed rectangle of each frame is stored.
      s->filter =
          "split[a][b];[a]palettegen=max_colors=256:stats_mode=diff[p];"
          "[b][p]paletteuse=dither=bayer:bayer_scale=3:diff_mode=rectangle";
      s->codec = {"-loop", "0"};
    } else {
      s->filter = "format=yuv420p";
      s->codec = {"-c:v", "libwebp_anim", "-lossless", "0", "-quality", "75", "-loop", "0"};
    }
    return;
  }
  if (o.frameWidth <= 0) return;
  s->filter = "pad=" + std::to_string(o.frameWidth) + ":" + std::to_string(o.frameHeight) + ":" +
              std::to_string(centredOffset(o.frameWidth, o.width)) + ":" +
              std::to_string(centredOffset(o.frameHeight, o.height)) + ":black,";
  if (o.preset.empty()) {
    s->filter += "format=yuv420p";
    return;
  }
  // HD players read the colours as BT.709; converting with that matrix and
  // saying so below keeps the strip's colours on every site.
  s->filter += "scale=out_color_matrix=bt709:out_range=tv,format=yuv420p";
  // What video sites ask of an upload: H.264 High at a quality-based rate well
  // above what they re-encode to, closed groups of half a second, B-frames,
  // the index first, AAC at 320 kb/s.
  const int gop = std::max(1, static_cast<int>(std::lround(o.fps / 2)));
  s->codec = {"-c:v",      "libx264",    "-profile:v", "high",        "-preset",
              "medium",    "-crf",       "16",         "-g",          std::to_string(gop),
              "-bf",       "2",          "-flags",     "+cgop",       "-color_primaries",
              "bt709",     "-color_trc", "bt709",      "-colorspace", "bt709",
              "-c:a",      "aac",        "-b:a",       "320k",        "-movflags",
              "+faststart"};
}
