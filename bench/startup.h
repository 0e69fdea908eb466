// The player's start-up, timed phase by phase in fresh processes: SDL_Init
// to the first swapped frame, with a real SDL window.
#pragma once

#include <string>

// Child mode: runs the player's start-up once in the media folder and prints
// one line of phase times in milliseconds on stdout. Returns the exit status.
int measureOneStartup(const std::string& mediaDir);

// Runs measureOneStartup in fresh processes, first with an empty shader
// cache and then repeatedly with the cache that run filled, and prints the
// phases as a table. Needs DISPLAY.
int printStartupSeries(const std::string& mediaDir);

// The series, under `xvfb-run -a` when there is no DISPLAY; "n/a" when there
// is neither.
void printStartup(const std::string& mediaDir);
