// Opening media files without ever blocking on a FIFO or a device.
#include "platform/regular_file.h"
#include "platform/file_descriptor.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

const char* kindOf(mode_t mode) {
  if (S_ISDIR(mode)) return "a folder";
  if (S_ISFIFO(mode)) return "a FIFO";
  if (S_ISCHR(mode)) return "a character device";
  if (S_ISBLK(mode)) return "a block device";
  if (S_ISSOCK(mode)) return "a socket";
  return "of an unknown kind";
}

}  // namespace

int openRegularFile(const char* path, std::string* reason) {
  // O_NONBLOCK makes opening a FIFO return at once; fstat then refuses it.
  const int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    *reason = std::strerror(errno);
    return -1;
  }
  struct stat s;
  if (fstat(fd, &s) != 0) {
    *reason = std::strerror(errno);
    close(fd);
    return -1;
  }
  if (!S_ISREG(s.st_mode)) {
    *reason = std::string("not a regular file (") + kindOf(s.st_mode) + ")";
    close(fd);
    return -1;
  }
  // Reads of a regular file never block; the flag is cleared for the stdio
  // layers that read it later all the same.
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  return fd;
}

bool sizeOfOpenFile(int fd, unsigned long long* bytes, std::string* reason) {
  struct stat s;
  if (fstat(fd, &s) != 0) {
    *reason = std::strerror(errno);
    return false;
  }
  *bytes = static_cast<unsigned long long>(s.st_size);
  return true;
}

bool readUpTo(int fd, size_t limit, std::string* text, std::string* reason) {
  text->clear();
  char buffer[4096];
  for (off_t at = 0; text->size() <= limit;) {
    const ssize_t got = pread(fd, buffer, sizeof buffer, at);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      *reason = std::strerror(errno);
      return false;
    }
    if (got == 0) return true;
    text->append(buffer, static_cast<size_t>(got));
    at += got;
  }
  return true;
}

void closeOpenFile(int fd) { close(fd); }

bool isDirectory(const std::string& path) {
  struct stat s;
  return stat(path.c_str(), &s) == 0 && S_ISDIR(s.st_mode);
}

std::string folderOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}
