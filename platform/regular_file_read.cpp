// Reading whole regular files, the same on every port: the size checks and
// their messages, on top of the port's descriptor calls.
#include "platform/file_descriptor.h"
#include "platform/regular_file.h"

#include <cstdint>

bool readFromStart(int fd, std::string* text, std::string* reason) {
  return readUpTo(fd, SIZE_MAX, text, reason);
}

bool readRegularFile(const char* path, std::string* text, std::string* reason, size_t maxBytes) {
  const int fd = openRegularFile(path, reason);
  if (fd < 0) return false;
  unsigned long long size = 0;
  bool read = sizeOfOpenFile(fd, &size, reason);
  if (read && size > maxBytes) {
    *reason = "too large: " + std::to_string(size) + " bytes, at most " + std::to_string(maxBytes);
    read = false;
  } else if (read) {
    read = readUpTo(fd, maxBytes, text, reason);
    if (read && text->size() > maxBytes) {
      *reason = "too large: it grew past " + std::to_string(maxBytes) + " bytes while being read";
      text->clear();
      read = false;
    }
  }
  closeOpenFile(fd);
  return read;
}

bool isReadableRegularFile(const char* path, std::string* reason) {
  const int fd = openRegularFile(path, reason);
  if (fd < 0) return false;
  closeOpenFile(fd);
  return true;
}
