// The player's start-up, timed phase by phase in fresh processes: SDL_Init
// to the first swapped frame, with a real SDL window.
#pragma once

#include <string>

// Child mode: runs the player's start-up once in the media folder and prints
// one line of phase times in milliseconds on stdout; `literal` builds the
// literal programs in place of the presentation's. Returns the exit status.
int measureOneStartup(const std::string& mediaDir, bool literal);

// Runs measureOneStartup in fresh processes for both program sets in turn,
// first with an empty shader cache and then repeatedly with the cache that
// run filled, and prints the phases as a table; `brief` times the
// presentation's programs only and prints the medians of SDL_Init and of the
// total of the repeated starts, as two numbers. Needs DISPLAY.
int printStartupSeries(const std::string& mediaDir, bool brief);

// The series on DISPLAY; when there is none, under `xvfb-run -a` on an Xvfb
// that does not regenerate itself, followed by the totals on one that does.
// "n/a" when there is neither a display nor xvfb-run.
void printStartup(const std::string& mediaDir);
