// Progress of a long capture on stderr: a bar on a terminal, a plain line
// every few seconds otherwise, and a summary at the end.
#pragma once

#include <chrono>
#include <string>

class Progress {
 public:
  // `alreadyDone` of the frames were done before: the rate leaves them out.
  Progress(long total, std::string what, long alreadyDone = 0);
  void update(long done);
  void finish(const std::string& summary);

 private:
  using Clock = std::chrono::steady_clock;
  long total_;
  long alreadyDone_;
  std::string what_;
  bool terminal_;
  Clock::time_point start_;
  Clock::time_point lastPrint_;
};

// "2:05" for 125 seconds, "1:02:05" from an hour on.
std::string minutesSeconds(double seconds);
