// The studio's transport and its heads-up text.
#include "tools/studio/transport.h"

#include "presentation/timeline.h"

#include <algorithm>
#include <cstdio>

namespace {

double clampTime(double t) { return std::min(std::max(t, 0.0), static_cast<double>(kEndTime)); }

bool seek(Transport* t, double to) {
  t->time = clampTime(to);
  return true;
}

}  // namespace

bool applyTransportKey(Transport* t, TransportKey key) {
  t->note = "";
  switch (key) {
    case TransportKey::pauseResume: t->paused = !t->paused; return false;
    case TransportKey::forward1: return seek(t, t->time + 1);
    case TransportKey::back1: return seek(t, t->time - 1);
    case TransportKey::forward10: return seek(t, t->time + 10);
    case TransportKey::back10: return seek(t, t->time - 10);
    case TransportKey::home: return seek(t, t->looping ? t->loopStart : 0);
    case TransportKey::stepForward: return t->paused && seek(t, t->time + kStepSeconds);
    case TransportKey::stepBack: return t->paused && seek(t, t->time - kStepSeconds);
    case TransportKey::setLoopStart:
      if (t->time < t->loopEnd) {
        t->loopStart = t->time;
      } else {
        t->note = "loop start refused: not before the loop end";
      }
      return false;
    case TransportKey::setLoopEnd:
      if (t->time > t->loopStart) {
        t->loopEnd = t->time;
      } else {
        t->note = "loop end refused: not after the loop start";
      }
      return false;
    case TransportKey::toggleLoop:
      // An empty range would never play; it stays off.
      t->looping = !t->looping && t->loopStart < t->loopEnd;
      return false;
    case TransportKey::faster: t->speed = std::min(t->speed * 2, kMaxSpeed); return false;
    case TransportKey::slower: t->speed = std::max(t->speed / 2, kMinSpeed); return false;
  }
  return false;
}

bool seekTransport(Transport* t, double seconds) {
  t->note = "";
  return seek(t, seconds);
}

void setTransportLoop(Transport* t, double a, double b) {
  const double start = clampTime(std::min(a, b)), end = clampTime(std::max(a, b));
  if (end - start < kStepSeconds) {
    t->note = "loop refused: shorter than a frame";
    return;
  }
  t->note = "";
  t->loopStart = start;
  t->loopEnd = end;
  t->looping = true;
}

bool advanceTransport(Transport* t, double wallSeconds) {
  if (t->paused) return false;
  const double next = t->time + wallSeconds * t->speed;
  // Reaching the end wraps, also from a time that stands at it (a loop that
  // ends with the timeline, an end just set): a seek past the loop plays on.
  if (t->looping && t->time <= t->loopEnd && next >= t->loopEnd) return seek(t, t->loopStart);
  t->time = clampTime(next);
  if (t->time >= kEndTime) t->paused = true;
  return false;
}

bool musicAudible(const Transport& t) { return !t.paused && t.speed == 1.0; }

const char* scheduleSection(double seconds) {
  // The latest section that has begun; an edit may have moved a fade past
  // another, so the file's order is not relied on.
  const Timeline& tl = timeline::active();
  const char* name = "";
  double latest = -1;
  for (const Section& s : tl.sections) {
    const double start = tl.sectionStart(s);
    if (seconds >= start && start >= latest) {
      latest = start;
      name = s.name.c_str();
    }
  }
  return name;
}

std::string headsUpText(const Transport& t, double framesPerSecond,
                        const std::string& failingFiles) {
  char text[256];
  std::snprintf(text, sizeof text, "%.3f s | %s | %s | %gx | loop %.3f-%.3f %s | %.0f fps", t.time,
                scheduleSection(t.time), t.paused ? "paused" : "playing", t.speed, t.loopStart,
                t.loopEnd, t.looping ? "on" : "off", framesPerSecond);
  std::string title = text;
  if (*t.note) title += std::string(" | ") + t.note;
  if (!failingFiles.empty()) title += " | ERROR in " + failingFiles;
  return title;
}
