// Image files to GL textures, and the row-order flip between SDL and GL.
#pragma once

#include <GL/gl.h>
#include <SDL.h>

#include <string>
#include <vector>

// Masks of the RGBA32 layout: bytes R, G, B, A in address order on a
// little-endian machine, the order GL_RGBA / GL_UNSIGNED_BYTE reads.
enum : Uint32 {
  kRgba32Rmask = 0x000000FF,
  kRgba32Gmask = 0x0000FF00,
  kRgba32Bmask = 0x00FF0000,
  kRgba32Amask = 0xFF000000,
};

// A decoded picture: RGBA32 texels, rows bottom first as glTexImage2D reads them.
struct DecodedImage {
  int width = 0;
  int height = 0;
  std::vector<Uint8> texels;
};

// How loadTexture() decodes a file: false, with the reason, when it cannot.
// The default decodes with SDL_image; a platform whose SDL cannot hand over
// the file's exact texels (the browser's) installs its own. nullptr
// restores the default.
using ImageDecoder = bool (*)(const char* path, DecodedImage* image, std::string* reason);
void setImageDecoder(ImageDecoder decoder);

// Decodes `path` (with SDL_image unless setImageDecoder() says otherwise) and uploads it with its bottom row first, so
// texture coordinate t = 1 samples the file's top row. Linear filtering,
// default (repeat) wrapping; with `mipmapped` the whole chain via GLU.
// Returns the texture name, left bound to GL_TEXTURE_2D, or 0 when the file
// cannot be decoded (one line on stderr names the file and the reason; no GL
// call is made then).
GLuint loadTexture(const char* path, bool mipmapped);

// A new surface with the source's size, depth and masks and its rows in
// reverse order; the source is not changed. The caller frees the copy.
// Returns null when the copy cannot be made.
SDL_Surface* flipSurface(SDL_Surface* source);
