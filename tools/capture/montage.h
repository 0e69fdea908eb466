// Animated previews made of several stretches of the show, one after the other.
#pragma once

#include "tools/capture/options.h"
#include "tools/common/command_line.h"
#include "tools/common/numbers.h"

#include <algorithm>
#include <string>
#include <vector>

constexpr size_t kMaxClips = 100;

// The taker and the check live here, inline, so that the option table's
// library needs nothing of the drawing.
// --clips "A:B,C:D,...": up to 100 stretches in seconds, each with A < B.
inline OptionTaker clipsIn(std::vector<Clip>* clips) {
  const std::string takes =
      "up to " + std::to_string(kMaxClips) +
      " comma-separated FROM:TO stretches, 0 <= FROM < TO <= " + boundText(kMaxSeconds) + " s";
  return [=](const char* const* values) {
    if (!values) return takes;
    std::vector<Clip> taken;
    const std::string text = values[0];
    for (size_t start = 0; start <= text.size();) {
      const size_t comma = std::min(text.find(',', start), text.size());
      const std::string item = text.substr(start, comma - start);
      const size_t colon = item.find(':');
      Clip clip{0, 0};
      if (colon == std::string::npos || !parseNumber(item.substr(0, colon).c_str(), &clip.from) ||
          !parseNumber(item.substr(colon + 1).c_str(), &clip.to) || clip.from < 0 ||
          clip.to <= clip.from || clip.to > kMaxSeconds || taken.size() == kMaxClips) {
        return takes;
      }
      taken.push_back(clip);
      start = comma + 1;
    }
    *clips = taken;
    return std::string();
  };
}

// "" when the clips suit the other options (only an animated preview takes
// them), else the reason.
inline std::string checkClips(const CaptureOptions& o) {
  if (o.clips.empty() || o.output == Output::Animation) return "";
  return "--clips applies only to --gif";
}

// The frames of every clip at the preview's rate, through one encoder into
// the target. 0 when written; 1 with the reason printed; -1 when a stop
// signal ended it, with nothing written.
int captureMontage(const CaptureOptions& options);
