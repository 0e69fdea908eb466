// Child processes of the benchmark, started from argument vectors: no shell
// reads the arguments, so a quote or a space in a path is just a character.
#pragma once

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
  // Fills `chunk` with the next bytes of the child's standard input; false
  // when there are no more. Without it the child reads /dev/null.
  std::function<bool(std::vector<uint8_t>* chunk)> input;
};

struct ChildResult {
  int status = -1;       // as waitpid reports it; -1 when the child never started
  std::string out, err;  // what was kept
  bool succeeded() const;
  // "exit status N", "signal N" or "could not start", for messages.
  std::string describe() const;
};

// Runs the child to its end and returns how it ended. A stop signal held by
// holdStopSignals() ends the child with SIGTERM, and it is waited for, so no
// child outlives the run; this process's death ends it too (PR_SET_PDEATHSIG).
ChildResult runChild(const ChildRun& run);

// From here on SIGINT, SIGTERM and SIGHUP are only recorded, so that what a
// run has made can be removed before the process ends.
void holdStopSignals();
// The recorded stop signal, or 0.
int stopSignal();
// Gives the stop signals their default action back; when one was recorded,
// ends the process by it (the shell sees 128 + its number).
void releaseStopSignals();
