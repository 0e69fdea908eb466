// Outputs that replace their target only when complete.
#include "platform/output_file.h"

#include "platform/regular_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

std::string nameOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Renaming onto a link would replace the link; the file it names is replaced
// instead. The links are followed one by one, so a link whose file does not
// exist yet (realpath() fails there) names the file to make; false with the
// reason when a link cannot be followed (a loop, an unreadable link).
bool replacedPath(const std::string& target, std::string* path, std::string* error) {
  *path = target;
  for (int links = 0; links < 40; ++links) {
    struct stat s;
    if (lstat(path->c_str(), &s) != 0 || !S_ISLNK(s.st_mode)) return true;
    std::vector<char> named(PATH_MAX + 1);
    const ssize_t length = readlink(path->c_str(), named.data(), PATH_MAX);
    if (length <= 0) {
      *error = "cannot read the link \"" + *path + "\": " + std::strerror(errno);
      return false;
    }
    const std::string next(named.data(), static_cast<size_t>(length));
    *path = next[0] == '/' ? next : folderOf(*path) + "/" + next;
  }
  *error = "too many links from \"" + target + "\"";
  return false;
}

std::string temporaryPrefix(const std::string& finalPath) { return "." + nameOf(finalPath) + "-"; }

int fail(const std::string& reason, std::string* error) {
  *error = reason;
  return -1;
}

}  // namespace

int beginOutput(const std::string& target, const char* suffix, bool allowInPlace, OutputFile* out,
                std::string* error) {
  *out = OutputFile();
  out->finalPath = target;
  struct stat s;
  const bool exists = stat(target.c_str(), &s) == 0;
  if (exists && S_ISDIR(s.st_mode)) return fail("it is a folder", error);
  if (exists && !S_ISREG(s.st_mode)) {
    if (!allowInPlace) return fail("not a regular file", error);
    // Non-blocking, so a FIFO without a reader fails (ENXIO) instead of hanging.
    const int fd = open(target.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return fail(std::strerror(errno), error);
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    out->writePath = target;
    out->inPlace = true;
    return fd;
  }
  if (!replacedPath(target, &out->finalPath, error)) return -1;
  const std::string tmp = folderOf(out->finalPath) + "/" + temporaryPrefix(out->finalPath) +
                          std::to_string(getpid()) + "-XXXXXX" + (suffix ? suffix : "");
  std::vector<char> name(tmp.begin(), tmp.end());
  name.push_back('\0');
  const int fd = mkstemps(name.data(), suffix ? static_cast<int>(std::strlen(suffix)) : 0);
  if (fd < 0 && out->finalPath != target) {
    return fail(std::string(std::strerror(errno)) + " (its link names \"" + out->finalPath + "\")",
                error);
  }
  if (fd < 0) return fail(std::strerror(errno), error);
  out->writePath = name.data();
  // mkstemp makes the file private; the output gets the mode a new file (or
  // the file it replaces) would have.
  mode_t mode = 0;
  if (exists) {
    mode = s.st_mode & 07777;
  } else {
    const mode_t mask = umask(0);
    umask(mask);
    mode = 0666 & ~mask;
  }
  fchmod(fd, mode);
  fcntl(fd, F_SETFD, FD_CLOEXEC);
  return fd;
}

bool commitOutput(OutputFile* out, std::string* error) {
  if (out->inPlace || out->writePath.empty()) return true;
  if (rename(out->writePath.c_str(), out->finalPath.c_str()) != 0) {
    const std::string reason = std::strerror(errno);
    abandonOutput(out);
    fail(reason, error);
    return false;
  }
  out->writePath.clear();
  return true;
}

void abandonOutput(OutputFile* out) {
  if (out->inPlace || out->writePath.empty()) return;
  removeIfRegularFile(out->writePath);
  out->writePath.clear();
}

void removeIfRegularFile(const std::string& path) {
  struct stat s;
  if (lstat(path.c_str(), &s) == 0 && S_ISREG(s.st_mode)) unlink(path.c_str());
}

std::FILE* beginOutputStream(const std::string& target, OutputFile* out, std::string* error) {
  const int fd = beginOutput(target, "", true, out, error);
  if (fd < 0) return nullptr;
  std::FILE* file = fdopen(fd, "wb");
  if (!file) {
    *error = std::strerror(errno);
    close(fd);
    abandonOutput(out);
  }
  return file;
}

bool finishOutputStream(std::FILE* file, bool written, OutputFile* out, std::string* error) {
  error->clear();
  // A full disk may only show when the buffered tail is flushed by the close.
  const bool closed = std::fclose(file) == 0;
  if (written && !closed) *error = std::strerror(errno);
  if (!written || !closed) {
    abandonOutput(out);
    return false;
  }
  return commitOutput(out, error);
}

bool writeOutputFile(const std::string& target, const void* bytes, size_t size,
                     std::string* error) {
  OutputFile output;
  std::FILE* file = beginOutputStream(target, &output, error);
  if (!file) return false;
  errno = 0;
  const bool written = std::fwrite(bytes, 1, size, file) == size;
  const std::string writeError = errno ? std::strerror(errno) : "the write stopped short";
  if (finishOutputStream(file, written, &output, error)) return true;
  if (error->empty()) *error = writeError;
  return false;
}

long temporaryMaker(const std::string& name, const std::string& prefix, const std::string& suffix) {
  if (name.size() < prefix.size() + suffix.size() + 9 || name.compare(0, prefix.size(), prefix) ||
      name.compare(name.size() - suffix.size(), suffix.size(), suffix)) {
    return -1;
  }
  const std::string middle =
      name.substr(prefix.size(), name.size() - prefix.size() - suffix.size());
  const size_t dash = middle.size() - 7;
  if (middle[dash] != '-' || middle.find_first_not_of("0123456789") != dash || dash == 0 ||
      dash > 9) {
    return -1;
  }
  return std::strtol(middle.c_str(), nullptr, 10);
}

void removeLeftoverTemporaries(const std::string& target, const char* suffix,
                               bool (*makerRuns)(long pid)) {
  std::string finalPath, error;
  if (!replacedPath(target, &finalPath, &error)) return;
  const std::string folder = folderOf(finalPath), prefix = temporaryPrefix(finalPath);
  DIR* dir = opendir(folder.c_str());
  if (!dir) return;
  while (const dirent* entry = readdir(dir)) {
    const long pid = temporaryMaker(entry->d_name, prefix, suffix ? suffix : "");
    if (pid > 0 && !makerRuns(pid)) removeIfRegularFile(folder + "/" + entry->d_name);
  }
  closedir(dir);
}
