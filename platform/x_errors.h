// Errors of the X server caught while a window opens.
#pragma once

#include <functional>
#include <string>

// Runs `work` with Xlib's error handler replaced, so that an error the X
// server reports (which by default prints several lines and ends the
// process) is kept instead; returns the first error's text, "" when none.
// Where there is no X (the browser) it only runs `work`.
std::string firstXErrorDuring(const std::function<void()>& work);
