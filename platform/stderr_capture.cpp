// Temporary redirection of stderr around one library call.
#include "platform/stderr_capture.h"

#include <cstdio>
#include <unistd.h>

std::string lastStderrLineOf(const std::function<void()>& call) {
  std::fflush(stderr);
  FILE* caught = std::tmpfile();
  const int saved = caught ? dup(2) : -1;
  if (saved < 0 || dup2(fileno(caught), 2) < 0) {
    if (saved >= 0) close(saved);
    if (caught) std::fclose(caught);
    call();
    return "";
  }
  call();
  std::fflush(stderr);
  dup2(saved, 2);
  close(saved);
  std::rewind(caught);
  std::string last;
  char line[512];
  while (std::fgets(line, sizeof line, caught)) {
    std::string text(line);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    if (!text.empty()) last = text;
  }
  std::fclose(caught);
  return last;
}
