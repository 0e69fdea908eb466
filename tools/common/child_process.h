// Child processes of the tools, started from argument vectors: no shell
// reads the arguments, so a quote or a space in a path is just a character.
// The one place that starts processes for the capture and the benchmark.
#pragma once

#include <sys/types.h>

#include <csignal>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

enum class ChildOutput { inherit, discard, keep };

struct ChildRun {
  std::vector<std::string> args;                         // args[0] is looked up on PATH
  std::vector<std::pair<std::string, std::string>> env;  // added to the environment
  ChildOutput out = ChildOutput::keep;
  ChildOutput err = ChildOutput::inherit;
  // Its own process group: a terminal's Ctrl-C then reaches only this
  // process, which ends the child and removes what it was writing.
  bool ownGroup = false;
  // What ends it when a stop signal arrives or this process dies. A child
  // that cleans up after itself gets SIGTERM; ffmpeg, which finishes its
  // current pass first (a GIF's palette takes long), gets SIGKILL: what it
  // was writing is removed by this process.
  int endSignal = SIGTERM;
  // startChild(): the child's standard input is a pipe whose write end is
  // Child::input. Otherwise the child reads /dev/null (or `input` below).
  bool pipedInput = false;
  // runChild(): fills `chunk` with the next bytes of the child's standard
  // input; false when there are no more.
  std::function<bool(std::vector<uint8_t>* chunk)> input;
};

struct ChildResult {
  int status = -1;       // as waitpid reports it; -1 when the child never started
  std::string out, err;  // what was kept
  bool succeeded() const;
  // "exit status N", "signal N" or "could not start", for messages.
  std::string describe() const;
};

// A started child. Kept output goes to files that are gone from their
// folder as soon as they are made: nothing is left behind, and a child
// writing much while it is fed never waits on a full pipe.
struct Child {
  pid_t pid = -1;
  int input = -1;  // write end of its standard input, with pipedInput
  int out = -1, err = -1;
};

// Starts the child. It ends with this process (PR_SET_PDEATHSIG), and a stop
// signal held by holdStopSignals() ends it, both by `run.endSignal`. A write to a child
// that stopped reading fails with EPIPE instead of ending this process.
// False, with errno set, when it could not start (or a stop was recorded).
bool startChild(const ChildRun& run, Child* child);
// Closes its input, waits for its end and returns how it ended with what was kept.
ChildResult waitChild(Child* child);
// Ends the child at once (SIGKILL) and reaps it; nothing when none runs.
void endChild(Child* child);

// Starts the child, feeds `run.input`, and waits for its end.
ChildResult runChild(const ChildRun& run);
