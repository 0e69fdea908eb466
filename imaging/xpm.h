// Cursor XPM text: two-colour mouse cursors as an array of strings, exported
// from an image file as C source and turned into SDL cursors.
#pragma once

#include <SDL.h>

#include <vector>

// The text, element by element:
//   0          " W H 3 1 " - width (a multiple of 8) and height; the rest is ignored
//   1 to 3     colour lines, never read
//   4 to 3+H   pixel rows, top row first: 'X' black, '.' white, anything else
//              transparent; only the first W characters count
//   4+H        the hot spot "x,y"

// Decodes `imagePath` with SDL_image and writes it to `outPath` as C source
// that declares `const char *NAME[]`, NAME being `imagePath` up to its first
// '.'. Rows are widened with transparent pixels to the next multiple of 8;
// a pixel with alpha below 128 is transparent, one with any of red, green or
// blue at 128 or above white, any other black; the hot spot is 0,0.
// Returns 0 once the whole text is on disk (the stream is closed). Returns -1
// with one line on stderr naming the file and the reason when the image
// cannot be decoded (no file is created), when `outPath` cannot be opened, or
// when a write fails (the half-written file is removed).
int exportXpm(const char* imagePath, const char* outPath);

// The decoded text: `data` and `mask` are the bit planes that SDL_CreateCursor
// takes, width / 8 bytes per row, rows from the top, the leftmost pixel of
// each byte in its most significant bit.
struct CursorBits {
  int width = 0;
  int height = 0;
  int hotX = 0;
  int hotY = 0;
  std::vector<Uint8> data;
  std::vector<Uint8> mask;
};

// Largest cursor accepted, in pixels; anything bigger is taken as a broken
// header rather than a cursor.
constexpr long kMaxCursorPixels = 1024L * 1024L;

// Longest side accepted: SDL keeps cursor coordinates in 16-bit signed
// integers, and an X server refuses a cursor side past 32767 with an error
// that ends the process.
constexpr int kMaxCursorSide = 32767;

// Checks the whole text before anything is allocated: the header gives a
// positive width that is a multiple of 8 and a positive height, within
// kMaxCursorSide and kMaxCursorPixels; each of the H pixel rows has at least width characters
// before its NUL; the hot spot parses and lies inside the cursor. Fills `out`
// and returns true, or returns false and leaves `out` alone.
// Elements are read strictly in order and a null element (colour lines
// included) makes the text malformed, so an array that ends in a null pointer
// is never read past its end. Otherwise `lines` must hold at least 5 + H
// elements: like any C array, its length is the caller's promise.
bool xpmCursorBits(const char* const* lines, CursorBits* out);

// The SDL cursor described by `lines` (see xpmCursorBits), or null when the
// text is malformed, SDL video is not initialised or SDL refuses the cursor.
// The caller owns the cursor and frees it with SDL_FreeCursor.
SDL_Cursor* cursorFromXpm(const char* const* lines);
