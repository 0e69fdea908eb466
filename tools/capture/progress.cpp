// Progress lines for the capture tool.
#include "tools/capture/progress.h"

#include "tools/common/command_line.h"

#include <unistd.h>
#include <algorithm>
#include <cstdio>

std::string minutesSeconds(double seconds) {
  if (seconds < 0) seconds = 0;
  // Frame counts are bounded, but a slow machine can still make an estimate of days.
  const long s = static_cast<long>(std::min(seconds, 1e9) + 0.5);
  char text[32];
  if (s < 3600) {
    std::snprintf(text, sizeof text, "%ld:%02ld", s / 60, s % 60);
  } else {
    std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", s / 3600, s / 60 % 60, s % 60);
  }
  return text;
}

Progress::Progress(long total, std::string what, long alreadyDone)
    : total_(total),
      alreadyDone_(alreadyDone),
      what_(std::move(what)),
      terminal_(isatty(2) != 0),
      start_(Clock::now()),
      lastPrint_(start_) {}

void Progress::update(long done) {
  const Clock::time_point now = Clock::now();
  const double since = std::chrono::duration<double>(now - lastPrint_).count();
  if (done < total_ && since < (terminal_ ? 0.1 : 5.0)) return;
  lastPrint_ = now;
  const double elapsed = std::chrono::duration<double>(now - start_).count();
  const double rate = elapsed > 0 ? static_cast<double>(done - alreadyDone_) / elapsed : 0;
  const double left = rate > 0 ? static_cast<double>(total_ - done) / rate : 0;
  if (terminal_) {
    const int width = 30;
    const int filled = static_cast<int>(width * done / (total_ > 0 ? total_ : 1));
    std::string bar(static_cast<size_t>(filled), '#');
    bar.resize(width, '.');
    std::fprintf(stderr, "\r%s [%s] %ld/%ld frames  %.1f fps  %s left ", what_.c_str(), bar.c_str(),
                 done, total_, rate, minutesSeconds(left).c_str());
  } else {
    std::fprintf(stderr, "%s: %ld/%ld frames, %.1f fps, %s left\n", what_.c_str(), done, total_,
                 rate, minutesSeconds(left).c_str());
  }
  std::fflush(stderr);
}

void Progress::finish(const std::string& summary) {
  const double elapsed = std::chrono::duration<double>(Clock::now() - start_).count();
  const long drawn = total_ - alreadyDone_;
  if (terminal_) std::fprintf(stderr, "\r\033[K");
  std::fprintf(stderr, "%s in %s", printable(summary).c_str(), minutesSeconds(elapsed).c_str());
  if (drawn > 0)
    std::fprintf(stderr, " (%.1f fps)", elapsed > 0 ? static_cast<double>(drawn) / elapsed : 0.0);
  std::fprintf(stderr, "\n");
}
