// Opening media files without ever blocking on a FIFO or a device.
#pragma once

#include <cstdint>
#include <string>

// Opens `path` read-only and non-blocking and keeps it only when it is a
// regular file (a FIFO without a writer would otherwise hang the open or the
// first read). Returns the descriptor, or -1 with the reason in `reason`
// ("not a regular file (a FIFO)", or the system's message).
int openRegularFile(const char* path, std::string* reason);

// The same check, with the descriptor closed again: for libraries that open
// the file by name themselves.
bool isReadableRegularFile(const char* path, std::string* reason);

// Everything in the file behind `fd` from its first byte, whatever the
// descriptor's offset (a log a child has written to through a shared
// descriptor included); false with the reason when a read fails.
bool readFromStart(int fd, std::string* text, std::string* reason);

// The whole of the regular file `path`, opened as openRegularFile() does (a
// FIFO or a device is refused, never waited on); false with the reason. A
// file of more than `maxBytes` is refused by its size before any of it is
// read ("too large: N bytes, at most M"), and so is one that grows past it.
bool readRegularFile(const char* path, std::string* text, std::string* reason,
                     size_t maxBytes = SIZE_MAX);

// Whether `path` names a folder (or a link to one).
bool isDirectory(const std::string& path);
// The folder part of `path`: "." for a bare name, "/" for a name at the root.
std::string folderOf(const std::string& path);
