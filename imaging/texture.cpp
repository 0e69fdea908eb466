// Texture loading: decode, convert to RGBA32, flip, upload.
#include "imaging/texture.h"

#include "platform/regular_file.h"
#include "platform/stderr_capture.h"

#include <GL/glu.h>
#include <SDL_image.h>

#include <unistd.h>

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

// IMG_Load on a file that is known to be regular: a FIFO would block the
// open, or the first read, for good.
SDL_Surface* decodeRegularFile(const char* path) {
  std::string reason;
  const int fd = openRegularFile(path, &reason);
  FILE* file = fd >= 0 ? fdopen(fd, "rb") : nullptr;
  if (!file) {
    if (fd >= 0) close(fd);
    IMG_SetError("%s", reason.c_str());
    return nullptr;
  }
  // IMG_Load passes the name's ending as a type hint; so does this.
  const char* dot = std::strrchr(path, '.');
  return IMG_LoadTyped_RW(SDL_RWFromFP(file, 1), 1, const_cast<char*>(dot ? dot + 1 : ""));
}

}  // namespace

GLuint loadTexture(const char* path, bool mipmapped) {
  // Decoders may print their own complaint on stderr (libpng does, before it
  // gives up); it is caught and folded into the one line that names the file.
  SDL_Surface* decoded = nullptr;
  const std::string decoderMessage = lastStderrLineOf([&] { decoded = decodeRegularFile(path); });
  if (!decoded) {
    std::fprintf(stderr, "cannot load \"%s\": %s%s%s%s\n", path, IMG_GetError(),
                 decoderMessage.empty() ? "" : " (", decoderMessage.c_str(),
                 decoderMessage.empty() ? "" : ")");
    return 0;
  }

  // The decoded format with only depth and masks replaced: SDL converts into it.
  SDL_PixelFormat target = *decoded->format;
  target.BitsPerPixel = 32;
  target.BytesPerPixel = 4;
  target.Rmask = kRgba32Rmask;
  target.Gmask = kRgba32Gmask;
  target.Bmask = kRgba32Bmask;
  target.Amask = kRgba32Amask;

  SDL_Surface* converted = SDL_ConvertSurface(decoded, &target, 0);
  SDL_Surface* flipped = converted ? flipSurface(converted) : nullptr;
  if (!flipped) {
    std::fprintf(stderr, "cannot load \"%s\": %s\n", path, SDL_GetError());
    if (converted) SDL_FreeSurface(converted);
    SDL_FreeSurface(decoded);
    return 0;
  }

  // A picture past the GL size limit would upload as nothing and sample as
  // opaque black; it is refused like an undecodable file.
  GLint limit = 0;
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &limit);
  if (!mipmapped && (flipped->w > limit || flipped->h > limit)) {
    std::fprintf(stderr, "cannot load \"%s\": %dx%d pixels is more than this GL's texture limit of %d\n",
                 path, flipped->w, flipped->h, limit);
    SDL_FreeSurface(flipped);
    SDL_FreeSurface(converted);
    SDL_FreeSurface(decoded);
    return 0;
  }

  // Earlier errors are cleared so that the check after the upload sees its own.
  for (int i = 0; i < 16 && glGetError() != GL_NO_ERROR; ++i) {
  }
  GLuint name = 0;
  glGenTextures(1, &name);
  glBindTexture(GL_TEXTURE_2D, name);
  if (mipmapped) {
    gluBuild2DMipmaps(GL_TEXTURE_2D, 4, flipped->w, flipped->h, GL_RGBA, GL_UNSIGNED_BYTE,
                      flipped->pixels);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
  } else {
    glTexImage2D(GL_TEXTURE_2D, 0, 4, flipped->w, flipped->h, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                 flipped->pixels);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  }
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  // The driver may still refuse the upload (no memory for it).
  const GLenum uploadError = glGetError();
  if (uploadError != GL_NO_ERROR) {
    std::fprintf(stderr, "cannot load \"%s\": the GL upload of %dx%d pixels failed (%s)\n", path,
                 flipped->w, flipped->h, reinterpret_cast<const char*>(gluErrorString(uploadError)));
    glBindTexture(GL_TEXTURE_2D, 0);
    glDeleteTextures(1, &name);
    name = 0;
  }

  SDL_FreeSurface(flipped);
  SDL_FreeSurface(converted);
  SDL_FreeSurface(decoded);
  return name;
}
