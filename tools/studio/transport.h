// The studio's transport: demo time, pause, speed and loop, moved by keys and
// by the wall clock, with no SDL or GL in it.
#pragma once

#include "presentation/window.h"

#include <string>

constexpr double kStepSeconds = 1.0 / 60.0;
constexpr double kMinSpeed = 0.25;
constexpr double kMaxSpeed = 4.0;

struct Transport {
  double time = 0;
  bool paused = false;
  double speed = 1;
  bool looping = false;
  double loopStart = 0;
  double loopEnd = kEndTime;
  // Why the last key did nothing ("" when it acted), for the title.
  const char* note = "";
};

enum class TransportKey {
  pauseResume,
  forward1,
  back1,
  forward10,
  back10,
  home,
  stepForward,
  stepBack,
  setLoopStart,
  setLoopEnd,
  toggleLoop,
  faster,
  slower,
};

// Applies one key. Returns true when the time jumped (a seek or a step), so
// the music must be put at the new time. I and O set one end of the loop at
// the current time, and are refused with a note when that end would not lie
// before (after) the other: the loop never becomes empty or reversed.
bool applyTransportKey(Transport* transport, TransportKey key);

// Puts the time at `seconds`, kept within 0 to kEndTime (a click in the
// timeline). Always a jump.
bool seekTransport(Transport* transport, double seconds);

// Loops from the earlier to the later of `a` and `b`, both kept within 0 to
// kEndTime, and turns looping on (a drag across the timeline). A range
// shorter than one frame is refused with a note and changes nothing.
void setTransportLoop(Transport* transport, double a, double b);

// Moves the time on by `wallSeconds` × speed while playing. Reaching the loop
// end from inside the loop (or playing on from it) while looping wraps to the
// loop start and returns true (a jump); reaching the end of the timeline
// without a loop pauses there.
bool advanceTransport(Transport* transport, double wallSeconds);

// The music plays only while the transport plays at 1×.
bool musicAudible(const Transport& transport);

// The part of the schedule on screen at `seconds`, e.g. "overlays: space".
const char* scheduleSection(double seconds);

// The window title: time with three decimals, section, paused or playing,
// speed, loop range, frames per second, the note of a refused key, and the
// shader files that fail.
std::string headsUpText(const Transport& transport, double framesPerSecond,
                        const std::string& failingFiles);
