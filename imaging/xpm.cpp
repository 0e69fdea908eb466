// Cursor XPM text: export from an image file, and the text to an SDL cursor.
#include "imaging/xpm.h"

#include "imaging/texture.h"
#include "platform/output_file.h"

#include <SDL_image.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// Reads an int the way sscanf's "%d" does (leading white space, an optional
// sign, decimal digits) and moves `text` past it. A value beyond int is a
// failure here; for sscanf it would be undefined.
bool readInt(const char*& text, int* value) {
  char* end = nullptr;
  errno = 0;
  const long parsed = std::strtol(text, &end, 10);
  if (end == text || errno == ERANGE || parsed < INT_MIN || parsed > INT_MAX) return false;
  *value = static_cast<int>(parsed);
  text = end;
  return true;
}

// True when `row` has at least `count` characters before its NUL; never
// looks past the NUL.
bool hasAtLeast(const char* row, int count) {
  for (int i = 0; i < count; ++i) {
    if (row[i] == '\0') return false;
  }
  return true;
}

char pixelChar(Uint8 r, Uint8 g, Uint8 b, Uint8 a) {
  if (a < 128) return ' ';
  if (r >= 128 || g >= 128 || b >= 128) return '.';
  return 'X';
}

// The C source text for the RGBA32 surface `image`, rows widened to `width8`.
std::string xpmSource(const std::string& name, SDL_Surface* image, int width8) {
  const int width = image->w;
  const int height = image->h;
  std::string text = "const char *" + name + "[] =\n";
  text += "\t{\n";
  text += "\t\t/* width height num_colors chars_per_pixel */\n";
  text += "\t\t\" " + std::to_string(width8) + " " + std::to_string(height) + " 3 1 \",\n";
  text += "\t\t/* colors */\n";
  text += "\t\t\"X c #000000\",\n";
  text += "\t\t\". c #ffffff\",\n";
  text += "\t\t\"  c None\",\n";
  text += "\t\t/* pixels */\n";
  SDL_LockSurface(image);
  const Uint8* pixels = static_cast<const Uint8*>(image->pixels);
  for (int y = 0; y < height; ++y) {
    text += "\t\t\"";
    for (int x = 0; x < width; ++x) {
      Uint32 value = 0;
      std::memcpy(&value,
                  pixels + static_cast<size_t>(y) * image->pitch + 4 * static_cast<size_t>(x),
                  sizeof value);
      Uint8 r = 0, g = 0, b = 0, a = 0;
      SDL_GetRGBA(value, image->format, &r, &g, &b, &a);
      text += pixelChar(r, g, b, a);
    }
    text.append(static_cast<size_t>(width8 - width), ' ');
    text += "\",\n";
  }
  SDL_UnlockSurface(image);
  text += "\t\t\"0,0\"\n";
  text += "\t};\n";
  return text;
}

}  // namespace

int exportXpm(const char* imagePath, const char* outPath) {
  SDL_Surface* decoded = IMG_Load(imagePath);
  if (!decoded) {
    std::fprintf(stderr, "cannot load \"%s\": %s\n", imagePath, IMG_GetError());
    return -1;
  }
  SDL_Surface* converted = SDL_CreateRGBSurface(0, decoded->w, decoded->h, 32, kRgba32Rmask,
                                                kRgba32Gmask, kRgba32Bmask, kRgba32Amask);
  // SDL 1.2 blends a source with SDL_SRCALPHA over the destination and keeps
  // the destination's own alpha, 0 in a new surface, which would make every
  // pixel transparent. Without the flag the blit copies red, green, blue and
  // alpha unchanged and makes an image without alpha opaque; a colour key
  // still applies and leaves the keyed pixels transparent.
  SDL_SetAlpha(decoded, 0, SDL_ALPHA_OPAQUE);
  if (!converted || SDL_UpperBlit(decoded, nullptr, converted, nullptr) < 0) {
    std::fprintf(stderr, "cannot load \"%s\": %s\n", imagePath, SDL_GetError());
    if (converted) SDL_FreeSurface(converted);
    SDL_FreeSurface(decoded);
    return -1;
  }
  SDL_FreeSurface(decoded);

  // The array is named after the path up to its first '.', written as it is.
  const std::string name(imagePath, std::strcspn(imagePath, "."));
  const int width = converted->w;
  const int width8 = width % 8 == 0 ? width : 8 * (width / 8) + 8;
  const std::string text = xpmSource(name, converted, width8);
  SDL_FreeSurface(converted);

  // The text goes to a temporary name and replaces the output only when
  // complete, so a failed write leaves what was there.
  std::string error;
  if (!writeOutputFile(outPath, text.data(), text.size(), &error)) {
    std::fprintf(stderr, "cannot write \"%s\": %s\n", outPath, error.c_str());
    return -1;
  }
  return 0;
}

bool xpmCursorBits(const char* const* lines, CursorBits* out) {
  // Elements are looked at strictly in order and a null one ends the text,
  // so a null-terminated array is never read past its end.
  if (!lines || !lines[0]) return false;
  const char* header = lines[0];
  int width = 0;
  int height = 0;
  if (!readInt(header, &width) || !readInt(header, &height)) return false;
  if (width <= 0 || height <= 0 || width % 8 != 0) return false;
  if (width > kMaxCursorSide || height > kMaxCursorSide) return false;
  if (width > kMaxCursorPixels / height) return false;

  for (int i = 1; i <= 3; ++i) {
    if (!lines[i]) return false;
  }
  const char* const* rows = lines + 4;
  for (int r = 0; r < height; ++r) {
    if (!rows[r] || !hasAtLeast(rows[r], width)) return false;
  }

  const char* hotSpot = rows[height];
  if (!hotSpot) return false;
  int hotX = 0;
  int hotY = 0;
  if (!readInt(hotSpot, &hotX) || *hotSpot != ',') return false;
  ++hotSpot;
  if (!readInt(hotSpot, &hotY)) return false;
  if (hotX < 0 || hotX >= width || hotY < 0 || hotY >= height) return false;

  const size_t rowBytes = static_cast<size_t>(width / 8);
  out->width = width;
  out->height = height;
  out->hotX = hotX;
  out->hotY = hotY;
  out->data.assign(rowBytes * static_cast<size_t>(height), 0);
  out->mask.assign(rowBytes * static_cast<size_t>(height), 0);
  for (int r = 0; r < height; ++r) {
    for (int c = 0; c < width; ++c) {
      const size_t k = static_cast<size_t>(r) * rowBytes + static_cast<size_t>(c / 8);
      const Uint8 bit = static_cast<Uint8>(0x80u >> (c % 8));
      switch (rows[r][c]) {
        case 'X':
          out->data[k] |= bit;
          out->mask[k] |= bit;
          break;
        case '.': out->mask[k] |= bit; break;
        default: break;
      }
    }
  }
  return true;
}

SDL_Cursor* cursorFromXpm(const char* const* lines) {
  // SDL 1.2 makes a cursor through the video device it was initialised with
  // and dereferences it unchecked.
  if (!SDL_WasInit(SDL_INIT_VIDEO)) return nullptr;
  CursorBits bits;
  if (!xpmCursorBits(lines, &bits)) return nullptr;
  // SDL copies both planes; `bits` frees its own on return.
  return SDL_CreateCursor(bits.data.data(), bits.mask.data(), bits.width, bits.height, bits.hotX,
                          bits.hotY);
}
