// Moving fades, undo and redo, and saving the timeline.
#include "tools/studio/timeline_edit.h"

#include "platform/output_file.h"
#include "platform/regular_file.h"
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
  for (int i = 0; i < t.fadeCount(); ++i) {
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

int pairedFade(const Timeline& t, int fade) {
  for (const std::pair<int, int>& p : fadePairs(t)) {
    if (p.first == fade) return p.second;
    if (p.second == fade) return p.first;
  }
  return -1;
}

float clampedToPair(const Timeline& t, int fade, float at) {
  const int other = pairedFade(t, fade);
  if (other < 0) return at;
  const Fade &f = t.fade(fade), &pair = t.fade(other);
  // On whole frames, on the pair's side of the limit.
  const double limit = (f.in ? -1 : 1) / static_cast<double>(f.rate) + fadeEdge(pair);
  const double frames = f.in ? std::floor(limit * 60 + 1e-6) : std::ceil(limit * 60 - 1e-6);
  const double bound = std::min(std::max(frames / 60, 0.0), static_cast<double>(kEndTime));
  return (f.in ? at > bound : at < bound) ? static_cast<float>(bound) : at;
}

bool changedStretch(const Timeline& a, const Timeline& b, double* from, double* to) {
  bool changed = false;
  for (int i = 0; i < std::min(a.fadeCount(), b.fadeCount()); ++i) {
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
  // Kept on its side of its pair, and where every time written from it stays
  // within the show, so that the saved file loads again.
  const float at = clampedToPair(now_, fade_, movedFadeTime(before_.fade(fade_).at, seconds));
  now_.fade(fade_).at =
      std::min(std::max(at, fadeLimit(now_, fade_, true)), fadeLimit(now_, fade_, false));
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

FileContent fileContentOf(const std::string& path) {
  FileContent content;
  std::string reason;
  // Capped as the reader is, so a huge file is refused unread.
  content.readable = readRegularFile(path.c_str(), &content.text, &reason, kMaxTimelineBytes);
  if (!content.readable) content.text = reason;
  return content;
}

TimelineFile::Save TimelineFile::save(const Timeline& t, std::string* error) {
  const FileContent now = fileContentOf(path_);
  if (now != known_ && !(warnedOf_ && now == warned_)) {
    warned_ = now;
    warnedOf_ = true;
    return Save::changedOnDisk;
  }
  const std::string text = timelineText(t);
  if (!writeOutputFile(path_, text.data(), text.size(), error)) return Save::failed;
  known_ = {true, text};
  warnedOf_ = false;
  return Save::saved;
}
