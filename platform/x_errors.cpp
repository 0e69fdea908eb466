// Xlib's error handler swapped for one that keeps the first error's text.
#include "platform/x_errors.h"

#include <X11/Xlib.h>

namespace {

std::string firstError;

int keepFirstError(Display* display, XErrorEvent* event) {
  char text[256];
  XGetErrorText(display, event->error_code, text, sizeof text);
  if (firstError.empty()) firstError = text;
  return 0;
}

}  // namespace

std::string firstXErrorDuring(const std::function<void()>& work) {
  firstError.clear();
  const XErrorHandler previous = XSetErrorHandler(keepFirstError);
  work();
  XSetErrorHandler(previous);
  return firstError;
}
