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

// Decodes a picture file for loadTexture(): false, with the reason, when it
// cannot. On the desktop SDL_image decodes it (imaging/image_file.cpp) and
// anything but a regular file is refused; the browser's SDL cannot hand over
// a file's exact texels, so its platform layer decodes in the module.
bool decodeImageFile(const char* path, DecodedImage* image, std::string* reason);

// Decodes `path` with decodeImageFile() and uploads it with its bottom row first, so texture
// coordinate t = 1 samples the file's top row. Linear filtering, default (repeat) wrapping; with
// `mipmapped` the whole chain via GLU. Returns the texture name, left bound to GL_TEXTURE_2D, or 0
// when the file is not a regular file, cannot be decoded, or is larger than the GL texture limit
// (one line on stderr names the file and the reason; no texture is made then).
GLuint loadTexture(const char* path, bool mipmapped);
// The same without printing: 0 with the reason in `reason` (the file's name is
// left to the caller, which knows where it came from).
GLuint loadTexture(const char* path, bool mipmapped, std::string* reason);

// A new surface with the source's size, depth and masks and its rows in
// reverse order; the source is not changed. The caller frees the copy.
// Returns null when the copy cannot be made.
SDL_Surface* flipSurface(SDL_Surface* source);
