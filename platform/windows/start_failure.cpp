// The start-up failure of a double-clicked program in a message box.
#include "platform/start_failure.h"

#include <io.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

// Looked at while static objects are made, before SDL's WinMain replaces
// stderr: whether whoever started the program handed it a standard error.
const bool startedWithStderr = [] {
  const HANDLE given = GetStdHandle(STD_ERROR_HANDLE);
  return given != nullptr && given != INVALID_HANDLE_VALUE;
}();

// The last non-empty line of the disk file stderr writes to; "" when stderr
// is not such a file or cannot be read back.
std::string lastLineOfStderrFile() {
  std::fflush(stderr);
  const HANDLE file = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stderr)));
  if (file == INVALID_HANDLE_VALUE || GetFileType(file) != FILE_TYPE_DISK) return "";
  wchar_t path[MAX_PATH + 8];
  const DWORD length = GetFinalPathNameByHandleW(file, path, MAX_PATH + 8, FILE_NAME_NORMALIZED);
  if (length == 0 || length >= MAX_PATH + 8) return "";
  std::FILE* in = _wfopen(path, L"rb");
  if (!in) return "";
  std::string text;
  char buffer[4096];
  for (size_t got; (got = std::fread(buffer, 1, sizeof buffer, in)) > 0;) text.append(buffer, got);
  std::fclose(in);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  return text.substr(text.find_last_of('\n') + 1);
}

}  // namespace

void showStartFailure() {
  const char* off = std::getenv("DEMO_NO_MESSAGE_BOX");
  if ((off && *off) || startedWithStderr || GetConsoleWindow()) return;
  const std::string line = lastLineOfStderrFile();
  if (line.empty()) return;
  // The title is the program's own name.
  char program[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, program, MAX_PATH);
  std::string title = length > 0 && length < MAX_PATH ? program : "";
  title = title.substr(title.find_last_of("\\/") + 1);
  if (title.size() > 4 && title.compare(title.size() - 4, 4, ".exe") == 0)
    title.resize(title.size() - 4);
  MessageBoxA(nullptr, line.c_str(), title.c_str(), MB_OK | MB_ICONERROR | MB_SETFOREGROUND);
}
