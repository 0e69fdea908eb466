// realpath() on Windows' C runtime: _fullpath makes the path absolute.
#include "platform/windows/posix.h"

#include <cstdlib>

extern "C" char* realpath(const char* path, char* resolved) {
  return _fullpath(resolved, path, _MAX_PATH);
}
