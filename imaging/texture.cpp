// Texture loading: decode, convert to RGBA32, flip, upload.
#include "imaging/texture.h"

#include <GL/glu.h>

#include <cstdio>
#include <cstring>
#include <string>

SDL_Surface* flipSurface(SDL_Surface* source) {
  SDL_PixelFormat* f = source->format;
  SDL_Surface* copy = SDL_CreateRGBSurface(0, source->w, source->h, f->BitsPerPixel, f->Rmask,
                                           f->Gmask, f->Bmask, f->Amask);
  if (!copy) return nullptr;
  SDL_LockSurface(source);
  SDL_LockSurface(copy);
  // Whole rows are copied, padding included. The two pitches agree for every
  // surface of the same width and depth; each side is still addressed with
  // its own, so a differing pitch can never write past the copy.
  const size_t fromPitch = source->pitch;
  const size_t toPitch = copy->pitch;
  const size_t rowBytes = fromPitch < toPitch ? fromPitch : toPitch;
  const Uint8* from = static_cast<const Uint8*>(source->pixels);
  Uint8* to = static_cast<Uint8*>(copy->pixels);
  for (int i = 0; i < source->h; ++i) {
    std::memcpy(to + static_cast<size_t>(i) * toPitch,
                from + static_cast<size_t>(source->h - 1 - i) * fromPitch, rowBytes);
  }
  SDL_UnlockSurface(copy);
  SDL_UnlockSurface(source);
  return copy;
}

namespace {

// The name of a GL error code, for messages.
const char* glErrorName(GLenum error) {
  switch (error) {
    case GL_INVALID_ENUM: return "GL_INVALID_ENUM";
    case GL_INVALID_VALUE: return "GL_INVALID_VALUE";
    case GL_INVALID_OPERATION: return "GL_INVALID_OPERATION";
    case GL_OUT_OF_MEMORY: return "GL_OUT_OF_MEMORY";
    default: return "a GL error";
  }
}

}  // namespace

GLuint loadTexture(const char* path, bool mipmapped, std::string* reason) {
  DecodedImage image;
  if (!decodeImageFile(path, &image, reason)) return 0;

  // A picture past the GL size limit would upload as nothing and sample as
  // opaque black; it is refused like an undecodable file.
  GLint limit = 0;
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &limit);
  if (!mipmapped && (image.width > limit || image.height > limit)) {
    *reason = std::to_string(image.width) + "x" + std::to_string(image.height) +
              " pixels is more than this GL's texture limit of " + std::to_string(limit);
    return 0;
  }

  // Earlier errors are cleared so that the check after the upload sees its own.
  for (int i = 0; i < 16 && glGetError() != GL_NO_ERROR; ++i) {
  }
  GLuint name = 0;
  glGenTextures(1, &name);
  glBindTexture(GL_TEXTURE_2D, name);
  if (mipmapped) {
    gluBuild2DMipmaps(GL_TEXTURE_2D, 4, image.width, image.height, GL_RGBA, GL_UNSIGNED_BYTE,
                      image.texels.data());
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
  } else {
    glTexImage2D(GL_TEXTURE_2D, 0, 4, image.width, image.height, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                 image.texels.data());
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  }
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  // The driver may still refuse the upload (no memory for it).
  const GLenum uploadError = glGetError();
  if (uploadError != GL_NO_ERROR) {
    *reason = "the GL upload of " + std::to_string(image.width) + "x" +
              std::to_string(image.height) + " pixels failed (" + glErrorName(uploadError) + ")";
    glBindTexture(GL_TEXTURE_2D, 0);
    glDeleteTextures(1, &name);
    name = 0;
  }
  return name;
}

GLuint loadTexture(const char* path, bool mipmapped) {
  std::string reason;
  const GLuint name = loadTexture(path, mipmapped, &reason);
  if (!name) std::fprintf(stderr, "cannot load \"%s\": %s\n", path, reason.c_str());
  return name;
}
