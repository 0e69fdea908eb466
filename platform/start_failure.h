// A start-up failure shown where the user of a double-clicked program sees it.
#pragma once

#include <string>

#ifdef _WIN32
// On Windows, SDL's WinMain sends stderr to stderr.txt beside the program,
// which someone who double-clicked it never opens. When the program was
// started with no standard error of its own (as Explorer starts it) and has
// no console, `line` (the one the program has printed) is also shown in a
// message box, which waits for OK. Whoever starts it with a standard error (a
// console, a test harness's pipe or file) gets no box, and neither does a
// run with DEMO_NO_MESSAGE_BOX set to anything but "".
void showStartFailure(const std::string& line);
#else
// Elsewhere stderr is where the user looks already.
inline void showStartFailure(const std::string&) {}
#endif
