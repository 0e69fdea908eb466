// Targets checked, folders made and frame sequences cleared for the capture.
#include "tools/capture/files.h"

#include "platform/output_file.h"
#include "platform/regular_file.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

std::string notWritableAsFile(const std::string& path, mode_t mode) {
  return "cannot write \"" + path +
         "\": " + (S_ISDIR(mode) ? "it is a folder" : "not a regular file");
}

bool checkWritableFile(const std::string& path, bool regularOnly, std::string* error) {
  struct stat s;
  const bool exists = stat(path.c_str(), &s) == 0;
  if (exists && (S_ISDIR(s.st_mode) || (regularOnly && !S_ISREG(s.st_mode)))) {
    *error = notWritableAsFile(path, s.st_mode);
    return false;
  }
  const std::string folder = folderOf(path);
  if (access(folder.c_str(), W_OK) != 0) {
    *error = "cannot write \"" + path + "\": " + std::strerror(errno);
    return false;
  }
  return true;
}

bool prepareFolder(const std::string& folder, std::string* error) {
  for (size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
    const std::string part = folder.substr(0, slash);
    if (!isDirectory(part) && mkdir(part.c_str(), 0777) != 0) {
      *error = "cannot make the folder \"" + part + "\": " +
               (errno == EEXIST ? "a file of that name is in the way" : std::strerror(errno));
      return false;
    }
    if (slash == std::string::npos) break;
  }
  if (access(folder.c_str(), W_OK) != 0) {
    *error = "cannot write into \"" + folder + "\": " + std::strerror(errno);
    return false;
  }
  return true;
}

std::string framePath(const std::string& folder, long index) {
  char name[32];
  std::snprintf(name, sizeof name, "/frame_%06ld.png", index);
  return folder + name;
}

void removeFramesFrom(const std::string& folder, long first) {
  DIR* dir = opendir(folder.c_str());
  if (!dir) return;
  while (const dirent* entry = readdir(dir)) {
    const std::string name = entry->d_name;
    char* end = nullptr;
    if (name.compare(0, 6, "frame_") != 0 || name.size() < 7 || !std::isdigit(name[6])) continue;
    const long index = std::strtol(name.c_str() + 6, &end, 10);
    if (std::strcmp(end, ".png") != 0 || index < first) continue;
    removeIfRegularFile(folder + "/" + name);
  }
  closedir(dir);
}
