// Saving the current GL viewport as a BMP file.
#pragma once

// Reads back the pixels of the current viewport (from the current read
// buffer) and writes them top row first as a BMP file at `path`, replacing
// any earlier file. Returns 0 when the whole file was written, -1 otherwise:
// a path that cannot be opened, a failed write (a full disk, for instance) or
// no memory for the surfaces. A file that could not be completely written is
// removed rather than left half-written. Prints nothing; needs a current GL
// context and leaves its state unchanged.
int saveScreenshot(const char* path);
