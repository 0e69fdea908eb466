// The descriptor calls each port of regular_file.h supplies (POSIX in
// regular_file.cpp, Windows in windows/regular_file.cpp) to the reading
// that both ports share in regular_file_read.cpp.
#pragma once

#include <cstddef>
#include <string>

// The size in bytes of the file open on `fd`; false with the system's reason.
bool sizeOfOpenFile(int fd, unsigned long long* bytes, std::string* reason);

// Everything from the first byte, but no more than one byte past `limit`
// (enough to tell that a file grew past it).
bool readUpTo(int fd, size_t limit, std::string* text, std::string* reason);

void closeOpenFile(int fd);
