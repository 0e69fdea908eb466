// Temporary redirection of stderr around one library call.
#include "platform/stderr_capture.h"

#include <unistd.h>

#include <cstdio>
#include <sstream>

std::string stderrOf(const std::function<void()>& call) {
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
  std::string text;
  char chunk[512];
  size_t n = 0;
  while ((n = std::fread(chunk, 1, sizeof chunk, caught)) > 0) text.append(chunk, n);
  std::fclose(caught);
  return text;
}

std::string lastStderrLineOf(const std::function<void()>& call) {
  std::istringstream lines(stderrOf(call));
  std::string line, last;
  while (std::getline(lines, line)) {
    while (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty()) last = line;
  }
  return last;
}
