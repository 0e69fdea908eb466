// The browser has no X server: there are no X errors to catch.
#include "platform/x_errors.h"

std::string firstXErrorDuring(const std::function<void()>& work) {
  work();
  return "";
}
