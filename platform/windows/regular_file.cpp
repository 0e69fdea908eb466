// Opening media files on Windows: only regular files, never a device such
// as CON or NUL, whose reads would wait on the console or give nothing.
#include "platform/regular_file.h"
#include "platform/file_descriptor.h"

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>

namespace {

std::string notRegular(unsigned mode) {
  const unsigned kind = mode & _S_IFMT;
  return std::string("not a regular file (") +
         (kind == _S_IFDIR   ? "a folder"
          : kind == _S_IFCHR ? "a character device"
                             : "of an unknown kind") +
         ")";
}

}  // namespace

int openRegularFile(const char* path, std::string* reason) {
  const int fd = _open(path, _O_RDONLY | _O_BINARY | _O_NOINHERIT);
  struct _stat64 s;
  if (fd < 0) {
    // Windows refuses to open a folder as a file with "Permission denied";
    // the reason is its kind, as on Linux.
    const int error = errno;
    const bool other = _stat64(path, &s) == 0 && (s.st_mode & _S_IFMT) != _S_IFREG;
    *reason = other ? notRegular(s.st_mode) : std::strerror(error);
    return -1;
  }
  if (_fstat64(fd, &s) != 0) {
    *reason = std::strerror(errno);
    _close(fd);
    return -1;
  }
  if ((s.st_mode & _S_IFMT) != _S_IFREG) {
    *reason = notRegular(s.st_mode);
    _close(fd);
    return -1;
  }
  return fd;
}

bool sizeOfOpenFile(int fd, unsigned long long* bytes, std::string* reason) {
  struct _stat64 s;
  if (_fstat64(fd, &s) != 0) {
    *reason = std::strerror(errno);
    return false;
  }
  *bytes = static_cast<unsigned long long>(s.st_size);
  return true;
}

bool readUpTo(int fd, size_t limit, std::string* text, std::string* reason) {
  text->clear();
  if (_lseeki64(fd, 0, SEEK_SET) < 0) {
    *reason = std::strerror(errno);
    return false;
  }
  char buffer[4096];
  while (text->size() <= limit) {
    const int got = _read(fd, buffer, sizeof buffer);
    if (got < 0) {
      *reason = std::strerror(errno);
      return false;
    }
    if (got == 0) return true;
    text->append(buffer, static_cast<size_t>(got));
  }
  return true;
}

void closeOpenFile(int fd) { _close(fd); }

bool isDirectory(const std::string& path) {
  struct _stat64 s;
  return _stat64(path.c_str(), &s) == 0 && (s.st_mode & _S_IFMT) == _S_IFDIR;
}

std::string folderOf(const std::string& path) {
  // Either slash separates; a drive's root keeps its slash ("C:\").
  const size_t slash = path.find_last_of("/\\");
  if (slash == std::string::npos) return ".";
  if (slash == 0 || (slash == 2 && path[1] == ':')) return path.substr(0, slash + 1);
  return path.substr(0, slash);
}
