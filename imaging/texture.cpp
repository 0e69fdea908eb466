// Texture loading: decode, convert to RGBA32, flip, upload.
#include "imaging/texture.h"

#include "platform/stderr_capture.h"

#include <GL/glu.h>
#include <SDL_image.h>

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

bool decodeWithSdlImage(const char* path, DecodedImage* image, std::string* reason) {
  // Decoders may print their own complaint on stderr (libpng does, before it
  // gives up); it is caught and folded into the one line that names the file.
  SDL_Surface* decoded = nullptr;
  const std::string decoderMessage = lastStderrLineOf([&] { decoded = IMG_Load(path); });
  if (!decoded) {
    *reason = IMG_GetError();
    if (!decoderMessage.empty()) *reason += " (" + decoderMessage + ")";
    return false;
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
  if (flipped) {
    image->width = flipped->w;
    image->height = flipped->h;
    const size_t rowBytes = static_cast<size_t>(flipped->w) * 4;
    image->texels.resize(rowBytes * static_cast<size_t>(flipped->h));
    const Uint8* rows = static_cast<const Uint8*>(flipped->pixels);
    for (int y = 0; y < flipped->h; ++y) {
      std::memcpy(&image->texels[y * rowBytes], rows + static_cast<size_t>(y) * flipped->pitch,
                  rowBytes);
    }
    SDL_FreeSurface(flipped);
  } else {
    *reason = SDL_GetError();
  }
  if (converted) SDL_FreeSurface(converted);
  SDL_FreeSurface(decoded);
  return flipped != nullptr;
}

ImageDecoder decoder = decodeWithSdlImage;

}  // namespace

void setImageDecoder(ImageDecoder newDecoder) {
  decoder = newDecoder ? newDecoder : decodeWithSdlImage;
}

GLuint loadTexture(const char* path, bool mipmapped) {
  DecodedImage image;
  std::string reason;
  if (!decoder(path, &image, &reason)) {
    std::fprintf(stderr, "cannot load \"%s\": %s\n", path, reason.c_str());
    return 0;
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
  return name;
}
