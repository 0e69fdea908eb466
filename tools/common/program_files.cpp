// Finding programs: on the PATH, and beside the running one.
#include "tools/common/program_files.h"

#include <unistd.h>

#include <cstdlib>
#include <sstream>

bool onPath(const std::string& program) {
  const char* path = std::getenv("PATH");
  std::istringstream folders(path ? path : "/usr/bin:/bin");
  std::string folder;
  while (std::getline(folders, folder, ':')) {
    const std::string candidate = (folder.empty() ? "." : folder) + "/" + program;
    if (access(candidate.c_str(), X_OK) == 0) return true;
  }
  return false;
}

std::string selfPath(const std::string& fallback) {
  char path[4096];
  const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  if (n <= 0) return fallback;
  path[n] = '\0';
  return path;
}

std::string programBeside(const std::string& name) {
  const std::string self = selfPath("");
  if (self.empty()) return name;
  return self.substr(0, self.find_last_of('/') + 1) + name;
}
