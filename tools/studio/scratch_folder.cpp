// The studio's temporary folder and its record of the files made in it.
#include "tools/studio/scratch_folder.h"

#include "platform/output_file.h"
#include "platform/regular_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <set>
#include <sstream>

namespace {

const char kPrefix[] = "demo-studio-";
const char kRecord[] = ".demo-studio-record";

std::string recordHeading(long pid) { return "demo-studio " + std::to_string(pid); }

bool fail(const std::string& what, std::string* error) {
  *error = what + ": " + std::strerror(errno);
  return false;
}

bool isRegularAt(int dir, const char* name) {
  struct stat s;
  return fstatat(dir, name, &s, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(s.st_mode);
}

// The names the record of the folder open as `dir` lists, when its heading
// names `pid`; false for a missing record, a link or another maker's record.
bool readRecord(int dir, long pid, std::set<std::string>* names) {
  const int fd = openat(dir, kRecord, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat s;
  std::string text, reason;
  const bool read = fstat(fd, &s) == 0 && S_ISREG(s.st_mode) && readFromStart(fd, &text, &reason);
  close(fd);
  std::istringstream lines(text);
  std::string line;
  if (!read || !std::getline(lines, line) || line != recordHeading(pid)) return false;
  while (std::getline(lines, line)) {
    if (!line.empty() && line != "." && line != ".." && line.find('/') == std::string::npos &&
        line != kRecord) {
      names->insert(line);
    }
  }
  return true;
}

// Whether `entry` is a recorded file or a temporary the output writer of
// process `pid` made for one.
bool made(const std::string& entry, const std::set<std::string>& names, long pid) {
  if (names.count(entry)) return true;
  for (const std::string& name : names) {
    if (temporaryMaker(entry, "." + name + "-", "") == pid) return true;
  }
  return false;
}

// Removes what the record accounts for; false when anything else is left.
bool removeMade(int dir, const std::set<std::string>& names, long pid) {
  const int listed = dup(dir);
  DIR* d = listed < 0 ? nullptr : fdopendir(listed);
  if (!d) {
    if (listed >= 0) close(listed);
    return false;
  }
  bool onlyMade = true;
  while (const dirent* entry = readdir(d)) {
    const std::string name = entry->d_name;
    if (name == "." || name == ".." || name == kRecord) continue;
    if (made(name, names, pid) && isRegularAt(dir, name.c_str()) &&
        unlinkat(dir, name.c_str(), 0) == 0) {
      continue;
    }
    onlyMade = false;
  }
  closedir(d);
  return onlyMade;
}

}  // namespace

std::string temporaryParent() {
  const char* tmp = std::getenv("TMPDIR");
  return tmp && *tmp ? tmp : "/tmp";
}

bool processRuns(long pid) { return kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM; }

bool makeScratchFolder(const std::string& parent, std::string* folder, std::string* error) {
  std::string pattern = parent + "/" + kPrefix + std::to_string(getpid()) + "-XXXXXX";
  if (!mkdtemp(pattern.data())) return fail("cannot make a folder in \"" + parent + "\"", error);
  const std::string record = pattern + "/" + kRecord;
  const int fd = open(record.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  const std::string heading = recordHeading(getpid()) + "\n";
  if (fd < 0 || write(fd, heading.data(), heading.size()) != static_cast<ssize_t>(heading.size())) {
    fail("cannot write \"" + record + "\"", error);
    if (fd >= 0) close(fd);
    removeIfRegularFile(record);
    rmdir(pattern.c_str());
    return false;
  }
  close(fd);
  *folder = pattern;
  return true;
}

bool recordScratchFile(const std::string& folder, const std::string& name, std::string* error) {
  const std::string record = folder + "/" + kRecord;
  const int fd = open(record.c_str(), O_WRONLY | O_APPEND | O_NOFOLLOW | O_CLOEXEC);
  const std::string line = name + "\n";
  const bool written =
      fd >= 0 && write(fd, line.data(), line.size()) == static_cast<ssize_t>(line.size());
  if (!written) fail("cannot write \"" + record + "\"", error);
  if (fd >= 0) close(fd);
  return written;
}

void removeScratchFile(const std::string& folder, const std::string& name) {
  const int dir = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (dir < 0) return;
  removeMade(dir, {name}, getpid());
  close(dir);
}

bool removeScratchFolder(const std::string& folder, long pid) {
  const int dir = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (dir < 0) return errno == ENOENT;
  struct stat s;
  std::set<std::string> names;
  bool gone = false;
  if (fstat(dir, &s) == 0 && s.st_uid == geteuid() && readRecord(dir, pid, &names)) {
    // A writer of this run may still add a temporary after the listing; the
    // folder then is not empty, and is listed again. Once it is gone,
    // nothing can be made in it.
    for (int attempt = 0; attempt < 5 && !gone; ++attempt) {
      if (!removeMade(dir, names, pid)) break;
      if (isRegularAt(dir, kRecord)) unlinkat(dir, kRecord, 0);
      gone = rmdir(folder.c_str()) == 0;
      if (!gone && errno != ENOTEMPTY && errno != EEXIST) break;
    }
  }
  close(dir);
  return gone;
}

void removeLeftoverScratchFolders(const std::string& parent, bool (*makerRuns)(long pid)) {
  DIR* d = opendir(parent.c_str());
  if (!d) return;
  while (const dirent* entry = readdir(d)) {
    const long pid = temporaryMaker(entry->d_name, kPrefix, "");
    if (pid > 0 && pid != getpid() && !makerRuns(pid)) {
      removeScratchFolder(parent + "/" + entry->d_name, pid);
    }
  }
  closedir(d);
}
