// Child-process runs of the presentation, with X11 input sent to its window.
#include "tests/support/demo_process.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>

namespace testing_support {

struct DemoWindow {
  Display* display = nullptr;
  Window window = 0;
  pid_t pid = 0;
};

namespace {

using Clock = std::chrono::steady_clock;

bool hasClass(Display* d, Window w, const char* name) {
  XClassHint hint;
  if (!XGetClassHint(d, w, &hint)) return false;
  bool match = (hint.res_name && std::strcmp(hint.res_name, name) == 0) ||
               (hint.res_class && std::strcmp(hint.res_class, name) == 0);
  if (hint.res_name) XFree(hint.res_name);
  if (hint.res_class) XFree(hint.res_class);
  return match;
}

Window findByClass(Display* d, Window root, const char* name) {
  Window parent, *children = nullptr;
  unsigned count = 0;
  Window found = 0;
  if (!XQueryTree(d, root, &root, &parent, &children, &count)) return 0;
  for (unsigned i = 0; i < count && !found; ++i) {
    XWindowAttributes a;
    if (hasClass(d, children[i], name) && XGetWindowAttributes(d, children[i], &a) &&
        a.map_state == IsViewable) {
      found = children[i];
    } else {
      found = findByClass(d, children[i], name);
    }
  }
  if (children) XFree(children);
  return found;
}

// The demo's window can vanish between two requests while it exits; such
// errors are expected and must not end the test process.
int ignoreXErrors(Display*, XErrorEvent*) { return 0; }

// One connection for the whole test process. An X server that regenerates
// itself when its last client leaves (a bare Xvfb does) refuses connections
// while it does so, so the first one is retried and then kept; held open, it
// also keeps such a server from regenerating between the demo's runs.
Display* sharedDisplay() {
  static Display* display = nullptr;
  for (int attempt = 0; !display && attempt < 40; ++attempt) {
    XSetErrorHandler(ignoreXErrors);
    display = XOpenDisplay(nullptr);
    if (!display) usleep(50000);
  }
  return display;
}

double secondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

}  // namespace

void sleepSeconds(double seconds) {
  std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
}

bool windowFound(const DemoWindow& window) { return window.window != 0; }

unsigned long windowId(const DemoWindow& window) { return window.window; }

namespace {

WindowPicture pictureOf(Display* display, Window window, int rows) {
  WindowPicture picture;
  XWindowAttributes a;
  if (!window || !XGetWindowAttributes(display, window, &a)) return picture;
  if (rows > 0 && rows < a.height) a.height = rows;
  XImage* image = XGetImage(display, window, 0, 0, static_cast<unsigned>(a.width),
                            static_cast<unsigned>(a.height), AllPlanes, ZPixmap);
  if (!image) return picture;
  picture.width = a.width;
  picture.height = a.height;
  for (int y = 0; y < a.height; ++y) {
    for (int x = 0; x < a.width; ++x) {
      const unsigned long pixel = XGetPixel(image, x, y);
      for (int shift : {16, 8, 0}) {
        picture.rgb.push_back(static_cast<unsigned char>((pixel >> shift) & 0xFF));
      }
    }
  }
  XDestroyImage(image);
  return picture;
}

}  // namespace

WindowPicture windowPicture(DemoWindow& w, int rows) {
  return pictureOf(w.display, w.window, rows);
}

WindowPicture screenPicture(DemoWindow& w) {
  return w.display ? pictureOf(w.display, DefaultRootWindow(w.display), 0) : WindowPicture{};
}

int litPixels(DemoWindow& w) {
  const WindowPicture picture = windowPicture(w);
  int lit = 0;
  for (size_t i = 0; i < picture.rgb.size(); i += 3) {
    if (picture.rgb[i] || picture.rgb[i + 1] || picture.rgb[i + 2]) ++lit;
  }
  return lit;
}

std::string windowTitle(DemoWindow& w) {
  char* name = nullptr;
  if (!w.window || !XFetchName(w.display, w.window, &name) || !name) return "";
  std::string title = name;
  XFree(name);
  return title;
}

void signalDemo(DemoWindow& w, int signal) { kill(w.pid, signal); }

long residentKilobytes(const DemoWindow& w) {
  std::ifstream status("/proc/" + std::to_string(w.pid) + "/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
  }
  return -1;
}

void pressKey(DemoWindow& w, const char* keysym, unsigned modifiers) {
  if (!w.window) return;
  XKeyEvent e{};
  e.display = w.display;
  e.window = w.window;
  e.root = DefaultRootWindow(w.display);
  e.same_screen = True;
  e.state = modifiers;
  e.keycode = XKeysymToKeycode(w.display, XStringToKeysym(keysym));
  for (int type : {KeyPress, KeyRelease}) {
    e.type = type;
    XSendEvent(w.display, w.window, True, type == KeyPress ? KeyPressMask : KeyReleaseMask,
               reinterpret_cast<XEvent*>(&e));
  }
  XFlush(w.display);
}

void clickAt(DemoWindow& w, int x, int y, unsigned button) {
  if (!w.window) return;
  // SDL 1.2 takes keys on its top-level window but the mouse on the child
  // window it draws in, at the same origin.
  Window root, parent, *children = nullptr, target = w.window;
  unsigned count = 0;
  if (XQueryTree(w.display, w.window, &root, &parent, &children, &count) && count > 0) {
    target = children[0];
  }
  if (children) XFree(children);
  XButtonEvent e{};
  e.display = w.display;
  e.window = target;
  e.root = DefaultRootWindow(w.display);
  e.same_screen = True;
  e.x = x;
  e.y = y;
  e.button = button;
  // SDL places a button where the last motion left the pointer, so the
  // pointer moves there first.
  XMotionEvent m{};
  m.type = MotionNotify;
  m.display = w.display;
  m.window = target;
  m.root = e.root;
  m.same_screen = True;
  m.x = x;
  m.y = y;
  XSendEvent(w.display, target, True, PointerMotionMask, reinterpret_cast<XEvent*>(&m));
  for (int type : {ButtonPress, ButtonRelease}) {
    e.type = type;
    XSendEvent(w.display, target, True, type == ButtonPress ? ButtonPressMask : ButtonReleaseMask,
               reinterpret_cast<XEvent*>(&e));
  }
  XFlush(w.display);
}

void closeWindow(DemoWindow& w) {
  if (!w.window) return;
  XEvent e{};
  e.xclient.type = ClientMessage;
  e.xclient.window = w.window;
  e.xclient.message_type = XInternAtom(w.display, "WM_PROTOCOLS", False);
  e.xclient.format = 32;
  e.xclient.data.l[0] = static_cast<long>(XInternAtom(w.display, "WM_DELETE_WINDOW", False));
  e.xclient.data.l[1] = CurrentTime;
  XSendEvent(w.display, w.window, False, NoEventMask, &e);
  XFlush(w.display);
}

static DemoRun runDemoOnce(const DemoOptions& options) {
  DemoRun run;
  char logPath[] = "/tmp/demo-run-XXXXXX";
  int log = mkstemp(logPath);
  const auto start = Clock::now();
  pid_t pid = fork();
  if (pid == 0) {
    dup2(log, 1);
    dup2(log, 2);
    if (chdir(options.workingDir.c_str()) != 0) _exit(126);
    for (const auto& [name, value] : options.env) {
      if (value.empty()) {
        unsetenv(name.c_str());
      } else {
        setenv(name.c_str(), value.c_str(), 1);
      }
    }
    std::vector<char*> argv{const_cast<char*>(options.binary.c_str())};
    for (const std::string& a : options.args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(options.binary.c_str(), argv.data());
    _exit(127);
  }

  DemoWindow window;
  window.pid = pid;
  int status = 0;
  bool exited = false;
  auto poll = [&] {
    if (!exited && waitpid(pid, &status, WNOHANG) == pid) exited = true;
    return exited;
  };
  if (options.onWindow) {
    window.display = sharedDisplay();
    while (window.display && !poll() && secondsSince(start) < options.timeLimit) {
      // SDL names the window's class after the program.
      const std::string program = options.binary.substr(options.binary.find_last_of('/') + 1);
      window.window =
          findByClass(window.display, DefaultRootWindow(window.display), program.c_str());
      if (window.window) break;
      sleepSeconds(0.02);
    }
    if (window.window && !exited) options.onWindow(window);
  }
  while (!poll()) {
    if (secondsSince(start) > options.timeLimit) {
      kill(pid, SIGKILL);
      run.timedOut = true;
    }
    sleepSeconds(0.01);
  }
  run.seconds = secondsSince(start);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);

  close(log);
  std::ifstream in(logPath);
  std::stringstream text;
  text << in.rdbuf();
  run.output = text.str();
  unlink(logPath);
  return run;
}

DemoOptions presentationIn(const std::string& folder) {
  DemoOptions o;
  o.binary = DEMO_BINARY_DIR "/demo";
  o.workingDir = folder;
  o.env = {{"SDL_AUDIODRIVER", "dummy"}};
  return o;
}

DemoRun runDemo(const DemoOptions& options) {
  DemoRun run = runDemoOnce(options);
  // A regenerating server can refuse the demo's own connection too; a run
  // that was meant to open its window is then tried again.
  for (int retry = 0; retry < 3 && options.onWindow &&
                      run.output.find("Couldn't open X11 display") != std::string::npos;
       ++retry) {
    sleepSeconds(0.2);
    run = runDemoOnce(options);
  }
  return run;
}

}  // namespace testing_support
