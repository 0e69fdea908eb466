// Moving fades, undo and redo, and saving the timeline.
#include "tools/studio/timeline_edit.h"

#include "platform/output_file.h"
#include "presentation/window.h"

#include <algorithm>
#include <cmath>

namespace {

// Where a fade's ramp lies: from its start to where it is full for a fade-in,
// from where it starts to go to where it is gone for a fade-out.
void rampOf(const Fade& f, double* from, double* to) {
  *from = std::min(f.at, fadeEdge(f));
  *to = std::max(f.at, fadeEdge(f));
}

}  // namespace

int fadeWithRampAt(const Timeline& t, double seconds) {
  int best = -1;
  double nearest = 0;
  for (int i = 0; i < kFadeCount; ++i) {
    double from = 0, to = 0;
    rampOf(t.fade(i), &from, &to);
    const double distance = std::fabs((from + to) / 2 - seconds);
    if (seconds >= from && seconds <= to && (best < 0 || distance < nearest)) {
      best = i;
      nearest = distance;
    }
  }
  return best;
}

float movedFadeTime(float at, double seconds) {
  const double frames = std::round((static_cast<double>(at) + seconds) * 60);
  return static_cast<float>(std::min(std::max(frames / 60, 0.0), static_cast<double>(kEndTime)));
}

bool changedStretch(const Timeline& a, const Timeline& b, double* from, double* to) {
  bool changed = false;
  for (int i = 0; i < kFadeCount; ++i) {
    const Fade &x = a.fade(i), &y = b.fade(i);
    if (x.at == y.at && x.rate == y.rate) continue;
    double x0, x1, y0, y1;
    rampOf(x, &x0, &x1);
    rampOf(y, &y0, &y1);
    const double lo = std::min(x0, y0), hi = std::max(x1, y1);
    *from = changed ? std::min(*from, lo) : lo;
    *to = changed ? std::max(*to, hi) : hi;
    changed = true;
  }
  return changed;
}

void TimelineEditor::beginMove(int fade) {
  fade_ = fade;
  before_ = now_;
}

void TimelineEditor::moveBy(double seconds) {
  if (fade_ < 0) return;
  now_.fade(fade_).at = movedFadeTime(before_.fade(fade_).at, seconds);
}

bool TimelineEditor::endMove() {
  const bool moved = fade_ >= 0 && !now_.sameFades(before_);
  if (moved) {
    undo_.push_back(before_);
    redo_.clear();
  }
  fade_ = -1;
  return moved;
}

bool TimelineEditor::undo() {
  if (undo_.empty() || fade_ >= 0) return false;
  redo_.push_back(now_);
  now_ = undo_.back();
  undo_.pop_back();
  return true;
}

bool TimelineEditor::redo() {
  if (redo_.empty() || fade_ >= 0) return false;
  undo_.push_back(now_);
  now_ = redo_.back();
  redo_.pop_back();
  return true;
}

bool saveTimeline(const std::string& path, const Timeline& t, std::string* error) {
  const std::string text = timelineText(t);
  return writeOutputFile(path, text.data(), text.size(), error);
}
