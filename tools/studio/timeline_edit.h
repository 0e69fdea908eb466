// The studio's edits of the timeline: a fade moved by dragging its ramp,
// snapped to frames, undone and redone, and saved. No SDL or GL in it.
#pragma once

#include "presentation/timeline.h"

#include <string>
#include <utility>
#include <vector>

// The fade whose ramp holds `seconds` (the one whose ramp's middle is
// nearest when several do), -1 for none.
int fadeWithRampAt(const Timeline& t, double seconds);

// `at` moved by `seconds` and put on the nearest frame of the 60 fps clock,
// kept within 0 to 130 s.
float movedFadeTime(float at, double seconds);

// The other fade of the picture that fade `fade` shows or hides: `<x>In`
// pairs with `<x>Out`, a maker's layer's IN with its OUT; -1 for none.
int pairedFade(const Timeline& t, int fade);

// `at` for fade `fade`, kept on its side of its pair: a fade-in full no later
// than its fade-out begins, a fade-out beginning no earlier than its fade-in
// is full (on whole frames), so the picture always shows whole.
float clampedToPair(const Timeline& t, int fade, float at);

// The stretch of time in which the fades of `a` and `b` can differ: the
// ramps of every fade that differs, at both places, and what lies between.
// False when the fades are the same.
bool changedStretch(const Timeline& a, const Timeline& b, double* from, double* to);

class TimelineEditor {
 public:
  explicit TimelineEditor(const Timeline& loaded) : now_(loaded), saved_(loaded) {}

  const Timeline& timeline() const { return now_; }

  // A drag of fade `fade`: each move puts it `seconds` from where it was
  // when the drag began (on a frame), stopping at its pair; the end makes the whole drag one step
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

// What a file holds as the studio sees it: its bytes, or why it cannot be
// read (the file missing included).
struct FileContent {
  bool readable = false;
  std::string text;  // the bytes, or the reason
  bool operator==(const FileContent& o) const { return readable == o.readable && text == o.text; }
  bool operator!=(const FileContent& o) const { return !(*this == o); }
};
FileContent fileContentOf(const std::string& path);

// The file the edits are saved to, and what the studio last read from it or
// wrote to it, so that a save never replaces unseen what another program
// wrote in between.
class TimelineFile {
 public:
  TimelineFile() = default;
  // `path` as it was read (`known`: its bytes then, or unreadable when the
  // studio did not read it).
  TimelineFile(std::string path, FileContent known)
      : path_(std::move(path)), known_(std::move(known)) {}

  const std::string& path() const { return path_; }

  enum class Save { saved, changedOnDisk, failed };
  // Writes the timeline's text to the file (through a link to the file it
  // names) under a temporary name in its folder, renamed into place when
  // complete. When the file is not what the studio last read or wrote,
  // nothing is written and changedOnDisk comes back, until a second save
  // finds the file as the first one did. `failed` with one line in `error`.
  Save save(const Timeline& t, std::string* error);

 private:
  std::string path_;
  FileContent known_, warned_;
  bool warnedOf_ = false;
};

// Writes the timeline's text to `path` under a temporary name in its folder,
// renamed into place when complete; false with one line in `error`.
bool saveTimeline(const std::string& path, const Timeline& t, std::string* error);
