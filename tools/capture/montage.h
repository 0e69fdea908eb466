// Animated previews made of several stretches of the show, one after the other.
#pragma once

#include "presentation/timeline.h"
#include "tools/capture/options.h"
#include "tools/common/command_line.h"
#include "tools/common/numbers.h"

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

constexpr size_t kMaxClips = 100;

// Whether `text` may be a time: seconds from 0 to kMaxSeconds, or the shape
// of a time the timeline file writes (FADE, FADE+S, FADE-S), which is read
// once the timeline is known.
inline bool timeText(const std::string& text) {
  double seconds = 0;
  if (!text.empty() && std::isalpha(static_cast<unsigned char>(text[0])))
    return timeFieldProblem(text).empty();
  return parseNumber(text.c_str(), &seconds) && seconds >= 0 && seconds <= kMaxSeconds;
}

// The taker and the check live here, inline, so that the option table's
// library needs nothing of the drawing.
// --clips "A:B,C:D,...": up to 100 stretches, each end seconds or a time of
// the timeline (spaceIn+2); resolveCaptureTimes reads them and checks A < B.
inline OptionTaker clipsIn(std::vector<std::pair<std::string, std::string>>* clips) {
  const std::string takes =
      "up to " + std::to_string(kMaxClips) +
      " comma-separated FROM:TO stretches, 0 <= FROM < TO <= " + boundText(kMaxSeconds) +
      " s, each end seconds or FADE, FADE+S, FADE-S";
  return [=](const char* const* values) {
    if (!values) return takes;
    std::vector<std::pair<std::string, std::string>> taken;
    const std::string text = values[0];
    for (size_t start = 0; start <= text.size();) {
      const size_t comma = std::min(text.find(',', start), text.size());
      const std::string item = text.substr(start, comma - start);
      const size_t colon = item.find(':');
      if (colon == std::string::npos || !timeText(item.substr(0, colon)) ||
          !timeText(item.substr(colon + 1)) || taken.size() == kMaxClips) {
        return takes;
      }
      taken.push_back({item.substr(0, colon), item.substr(colon + 1)});
      start = comma + 1;
    }
    *clips = taken;
    return std::string();
  };
}

// "" when the clips suit the other options (only an animated preview takes
// them), else the reason.
inline std::string checkClips(const CaptureOptions& o) {
  if (o.clipTexts.empty() || o.output == Output::Animation) return "";
  return "--clips applies only to --gif";
}

// The frames of every clip at the preview's rate, through one encoder into
// the target. 0 when written; 1 with the reason printed; -1 when a stop
// signal ended it, with nothing written.
int captureMontage(const CaptureOptions& options);
