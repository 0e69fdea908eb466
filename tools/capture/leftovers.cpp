// Temporaries of dead captures: told from live ones through /proc, then removed.
#include "tools/capture/leftovers.h"

#include "platform/output_file.h"
#include "platform/regular_file.h"
#include "tools/capture/files.h"

#include <dirent.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

const char kFramesPrefix[] = ".frames-";

bool captureRuns(long pid) {
  std::FILE* comm = std::fopen(("/proc/" + std::to_string(pid) + "/comm").c_str(), "r");
  if (!comm) return false;
  char name[32] = "";
  const bool read = std::fgets(name, sizeof name, comm) != nullptr;
  std::fclose(comm);
  return read && std::strcmp(name, "demo-capture\n") == 0;
}

void removeLeftovers(const CaptureOptions& o) {
  if (o.output == Output::Video || o.output == Output::Animation) {
    removeLeftoverTemporaries(o.target, o.target.c_str() + o.target.find_last_of('.'), captureRuns);
  }
  // The music a --timeline video composes beside it; a run without one
  // clears them too.
  if (o.output == Output::Video && o.segment == 0) {
    removeLeftoverTemporaries(o.target, ".ogg", captureRuns);
  }
  if (o.output != Output::Frames) return;
  DIR* dir = opendir(o.target.c_str());
  if (!dir) return;
  while (const dirent* entry = readdir(dir)) {
    const long pid = temporaryMaker(entry->d_name, kFramesPrefix, "");
    const std::string staging = o.target + "/" + entry->d_name;
    if (pid <= 0 || captureRuns(pid) || !isDirectory(staging)) continue;
    removeFramesFrom(staging, 0);
    rmdir(staging.c_str());
  }
  closedir(dir);
}
