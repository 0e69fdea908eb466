// The running executable's folder: /proc/self/exe on Linux, the module's
// file name on Windows.
#include "platform/executable_folder.h"

#include "platform/regular_file.h"

#if defined(_WIN32)
#include <windows.h>
#elif defined(__linux__)
#include <unistd.h>

#include <climits>
#endif

std::string executableFolder() {
#if defined(_WIN32)
  // Narrow names, as the C runtime's chdir and fopen that take the folder.
  char path[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return "";
  return folderOf(std::string(path, length));
#elif defined(__linux__)
  char path[PATH_MAX];
  const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
  if (length <= 0) return "";
  return folderOf(std::string(path, static_cast<size_t>(length)));
#else
  return "";
#endif
}
