// Upload presets, framed and supersampled videos and animated previews: the
// sizes and encoder settings they imply.
#pragma once

#include "tools/capture/options.h"
#include "tools/common/video_encoder.h"

#include <string>

// The largest side a headless frame is drawn at, after supersampling.
constexpr int kMaxRenderSide = 16384;

// The preset's 16:9 frame; false for an unknown name.
bool presetFrame(const std::string& name, int* width, int* height);

// The largest strip of the window's shape that fits a frame, with an even height.
void fitStrip(int frameWidth, int frameHeight, int* width, int* height);

// Fills in what --preset, --frame and --gif leave to defaults (strip size,
// supersampling, the preview's stretch and rate) and checks how they combine.
// False with one line in `error`.
bool finishPresetOptions(CaptureOptions* options, std::string* error);

// The animated preview's defaults, as the help shows them: "10 s from 46 s, 480x44, 15 fps".
std::string previewSummary();

// Where the strip sits in its frame: centred, on even offsets so the
// 4:2:0 chroma rows do not straddle its edges.
int centredOffset(int frame, int strip);

// The ffmpeg filter and encoder arguments of a framed video, a preset or an
// animated preview; a plain video keeps the encoder's defaults.
void applyVideoPreset(const CaptureOptions& options, VideoSettings* settings);
