// Pictures decoded through SDL_image for the tests.
#include "tests/support/picture.h"

#include <SDL.h>
#include <SDL_image.h>

std::vector<unsigned char> Picture::rgb() const {
  std::vector<unsigned char> out;
  out.reserve(px.size() / 4 * 3);
  for (size_t i = 0; i < px.size(); i += 4) out.insert(out.end(), &px[i], &px[i] + 3);
  return out;
}

bool loadPicture(const std::string& path, Picture& pic) {
  SDL_Surface* s = IMG_Load(path.c_str());
  if (!s) return false;
  SDL_LockSurface(s);
  pic.w = s->w;
  pic.h = s->h;
  pic.hasAlpha = s->format->Amask != 0;
  pic.px.resize(static_cast<size_t>(pic.w) * pic.h * 4);
  const int bpp = s->format->BytesPerPixel;
  for (int y = 0; y < pic.h; ++y)
    for (int x = 0; x < pic.w; ++x) {
      const Uint8* p = static_cast<const Uint8*>(s->pixels) + y * s->pitch + x * bpp;
      Uint32 v = 0;
      switch (bpp) {
        case 1: v = *p; break;
        case 2: v = *reinterpret_cast<const Uint16*>(p); break;
        case 3:
          v = SDL_BYTEORDER == SDL_LIL_ENDIAN ? (p[0] | p[1] << 8 | p[2] << 16)
                                              : (p[2] | p[1] << 8 | p[0] << 16);
          break;
        default: v = *reinterpret_cast<const Uint32*>(p); break;
      }
      Uint8* o = &pic.px[(static_cast<size_t>(y) * pic.w + x) * 4];
      SDL_GetRGBA(v, s->format, &o[0], &o[1], &o[2], &o[3]);
    }
  SDL_UnlockSurface(s);
  SDL_FreeSurface(s);
  return true;
}
