// Live reload: watches the vertex and fragment sources in a folder and
// rebuilds the presentation's programs from them while it runs.
#pragma once

#include "presentation/timeline.h"

#include <GL/gl.h>

#include <string>

// Starts watching `folder`. Sources that already differ from the ones the
// player embedded are built at the first poll. Needs the current GL context
// in which buildPrograms() ran.
void startShaderWatch(const std::string& folder);

// Looks at the files (one stat each) and rebuilds the programs of those saved
// since the last poll. A file counts as saved once it has stayed the same for
// one poll, so a save caught half-written is not compiled. A program that
// fails to build keeps its last good version; the file and the info log go
// to stderr once per save. A file that is not a regular file (a FIFO, a
// device) is refused like a missing one, without blocking.
void pollShaderWatch();

// Also watches the program and picture of each of the maker's layers of `t`
// (found as the start-up found them): a save builds the layer again, and a
// program that no longer compiles keeps the last good one drawing.
void watchMakerLayers(const Timeline& t, const std::string& mediaDir, bool large);

// The files whose last save does not build, space-separated ("" when none);
// a maker's file as its one line with the compiler's words.
std::string failingShaderFiles();

// Whether the program held in `handle` (&morphProgram, ...) has a vertex or
// fragment file whose last save does not build.
bool programFails(const GLuint* handle);
