// Test-only Windows program: starts PROGRAM as Explorer does (no standard
// handles, no console), waits for the message box it shows, prints the box's
// text, presses OK and prints PROGRAM's exit status.
//   message-box.exe PROGRAM [ARGUMENT]
// Exit status 0 when a box came and PROGRAM ended after OK; 1 otherwise.
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

struct Search {
  DWORD process;
  HWND box = nullptr;
};

// A dialog (class "#32770", which MessageBox makes) of the process.
BOOL CALLBACK findBox(HWND window, LPARAM data) {
  Search* search = reinterpret_cast<Search*>(data);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  char name[16] = "";
  GetClassNameA(window, name, sizeof name);
  if (owner != search->process || std::string(name) != "#32770") return TRUE;
  search->box = window;
  return FALSE;
}

// The box's message: the text of its static control that has any (the
// icon's static has none).
BOOL CALLBACK findText(HWND control, LPARAM data) {
  char name[16] = "", text[1024] = "";
  GetClassNameA(control, name, sizeof name);
  GetWindowTextA(control, text, sizeof text);
  if (std::string(name) != "Static" || !*text) return TRUE;
  *reinterpret_cast<std::string*>(data) = text;
  return FALSE;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || argc > 3) {
    std::fprintf(stderr, "usage: message-box PROGRAM [ARGUMENT]\n");
    return 2;
  }
  std::string command = std::string("\"") + argv[1] + "\"";
  if (argc == 3) command += std::string(" ") + argv[2];
  STARTUPINFOA start = {};
  start.cb = sizeof start;
  start.dwFlags = STARTF_USESTDHANDLES;  // and every handle null
  PROCESS_INFORMATION child = {};
  if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, DETACHED_PROCESS, nullptr,
                      nullptr, &start, &child)) {
    std::printf("cannot start %s: error %lu\n", argv[1], GetLastError());
    return 1;
  }
  Search search;
  search.process = child.dwProcessId;
  for (int tries = 0; tries < 600 && !search.box; ++tries) {
    if (WaitForSingleObject(child.hProcess, 100) == WAIT_OBJECT_0) break;
    EnumWindows(findBox, reinterpret_cast<LPARAM>(&search));
  }
  if (!search.box) {
    std::printf("no message box\n");
    TerminateProcess(child.hProcess, 1);
    return 1;
  }
  std::string text;
  EnumChildWindows(search.box, findText, reinterpret_cast<LPARAM>(&text));
  std::printf("box: %s\n", text.c_str());
  PostMessageA(search.box, WM_COMMAND, IDOK, 0);
  if (WaitForSingleObject(child.hProcess, 30000) != WAIT_OBJECT_0) {
    std::printf("still running after OK\n");
    TerminateProcess(child.hProcess, 1);
    return 1;
  }
  DWORD status = 0;
  GetExitCodeProcess(child.hProcess, &status);
  std::printf("status: %lu\n", status);
  return 0;
}
