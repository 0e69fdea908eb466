// Picture files decoded with SDL_image into RGBA32 texels, bottom row first.
#include "imaging/texture.h"

#include "platform/regular_file.h"
#include "platform/stderr_capture.h"

#include <SDL_image.h>

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

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
  return IMG_LoadTyped_RW(SDL_RWFromFP(file, SDL_TRUE), 1, const_cast<char*>(dot ? dot + 1 : ""));
}

}  // namespace

bool decodeImageFile(const char* path, DecodedImage* image, std::string* reason) {
  // Decoders may print their own complaint on stderr (libpng does, before it
  // gives up); it is caught and folded into the one line that names the file.
  SDL_Surface* decoded = nullptr;
  const std::string decoderMessage = lastStderrLineOf([&] { decoded = decodeRegularFile(path); });
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
