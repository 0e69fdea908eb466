// The start-up failure of a double-clicked program in a message box.
#include "platform/start_failure.h"

#include <windows.h>

#include <cstdlib>
#include <string>

namespace {

// Looked at while static objects are made, before SDL's WinMain replaces
// stderr: whether whoever started the program handed it a standard error.
const bool startedWithStderr = [] {
  const HANDLE given = GetStdHandle(STD_ERROR_HANDLE);
  return given != nullptr && given != INVALID_HANDLE_VALUE;
}();

}  // namespace

void showStartFailure(const std::string& line) {
  const char* off = std::getenv("DEMO_NO_MESSAGE_BOX");
  if ((off && *off) || startedWithStderr || GetConsoleWindow() || line.empty()) return;
  // The title is the program's own name.
  char program[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, program, MAX_PATH);
  std::string title = length > 0 && length < MAX_PATH ? program : "";
  title = title.substr(title.find_last_of("\\/") + 1);
  if (title.size() > 4 && title.compare(title.size() - 4, 4, ".exe") == 0)
    title.resize(title.size() - 4);
  MessageBoxA(nullptr, line.c_str(), title.c_str(), MB_OK | MB_ICONERROR | MB_SETFOREGROUND);
}
