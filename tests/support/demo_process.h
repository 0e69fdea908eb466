// Runs the real presentation binary as a child process and talks to its
// window through the X server the test runs under (Xvfb).
#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace testing_support {

struct DemoRun {
  int status = -1;        // exit status, or 128 + signal when killed
  bool timedOut = false;  // killed after the time limit
  std::string output;     // stdout and stderr, interleaved
  double seconds = 0;     // wall time from start to exit
};

struct DemoWindow;  // an open X connection, the demo's window and its process

struct DemoOptions {
  std::string binary;                                    // path of the program
  std::string workingDir;                                // where it runs (its media)
  std::vector<std::pair<std::string, std::string>> env;  // set ("" value: unset)
  std::vector<std::string> args;
  double timeLimit = 20;  // seconds before SIGKILL
  // Called once the demo's window is mapped; nothing is done without it.
  std::function<void(DemoWindow&)> onWindow;
};

// The presentation built beside the tests, run in `folder` with SDL's dummy
// audio driver: the test machine has no sound card, and that driver plays
// for real but outputs nothing.
DemoOptions presentationIn(const std::string& folder);

DemoRun runDemo(const DemoOptions& options);

// Actions on the window, as a user would do them. Modifiers are X11 state
// bits; Shift is the one the tests use.
enum : unsigned { kShiftModifier = 1u << 0 };
void pressKey(DemoWindow& window, const char* keysym, unsigned modifiers = 0);
void closeWindow(DemoWindow& window);  // the window manager's close request
// A press and release of mouse button `button` at x, y in the window.
void clickAt(DemoWindow& window, int x, int y, unsigned button = 1);
void sleepSeconds(double seconds);
bool windowFound(const DemoWindow& window);
// The X window id, for tools such as xdotool (0 when there is none).
unsigned long windowId(const DemoWindow& window);

// How many pixels of the window's current picture are not black.
int litPixels(DemoWindow& window);

// The window's current picture as RGB rows, top row first (empty when gone).
struct WindowPicture {
  int width = 0, height = 0;
  std::vector<unsigned char> rgb;
};
// With `rows` above 0, only that many rows from the top are read.
WindowPicture windowPicture(DemoWindow& window, int rows = 0);

// The whole screen as it shows now (the root window), top row first.
WindowPicture screenPicture(DemoWindow& window);

// The window's title ("" when gone).
std::string windowTitle(DemoWindow& window);

// Sends `signal` to the demo's process, as a terminal or a service manager would.
void signalDemo(DemoWindow& window, int signal);

// The child's resident memory in kB (VmRSS), read while it runs; -1 if gone.
long residentKilobytes(const DemoWindow& window);

}  // namespace testing_support
