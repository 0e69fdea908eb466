// The studio's edits of the timeline: a fade moved by dragging its ramp,
// snapped to frames, undone and redone, and saved. No SDL or GL in it.
#pragma once

#include "presentation/timeline.h"

#include <string>
#include <vector>

// The fade whose ramp holds `seconds` (the one whose ramp's middle is
// nearest when several do), -1 for none.
int fadeWithRampAt(const Timeline& t, double seconds);

// `at` moved by `seconds` and put on the nearest frame of the 60 fps clock,
// kept within 0 to 130 s.
float movedFadeTime(float at, double seconds);

// The stretch of time in which the fades of `a` and `b` can differ: the
// ramps of every fade that differs, at both places, and what lies between.
// False when the fades are the same.
bool changedStretch(const Timeline& a, const Timeline& b, double* from, double* to);

class TimelineEditor {
 public:
  explicit TimelineEditor(const Timeline& loaded) : now_(loaded), saved_(loaded) {}

  const Timeline& timeline() const { return now_; }

  // A drag of fade `fade`: each move puts it `seconds` from where it was
  // when the drag began (on a frame); the end makes the whole drag one step
  // to undo, if it moved the fade at all, and says whether it did.
  void beginMove(int fade);
  void moveBy(double seconds);
  bool endMove();

  // False when there is nothing to undo (redo).
  bool undo();
  bool redo();

  // The fades differ from the file as loaded or last saved.
  bool unsaved() const { return !now_.sameFades(saved_); }
  void markSaved() { saved_ = now_; }

 private:
  Timeline now_, saved_, before_;
  std::vector<Timeline> undo_, redo_;
  int fade_ = -1;
};

// Writes the timeline's text to `path` under a temporary name in its folder,
// renamed into place when complete; false with one line in `error`.
bool saveTimeline(const std::string& path, const Timeline& t, std::string* error);
