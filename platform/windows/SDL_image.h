// The part of SDL_image's interface the player uses, for the Windows build:
// PNG and JPEG pictures decoded into SDL surfaces (picture_decoder.cpp).
#pragma once

#include <SDL.h>

#ifdef __cplusplus
extern "C" {
#endif

// Decodes the PNG or JPEG picture that `source` holds, told apart by its
// first bytes (`type` is only a hint, as in SDL_image); frees `source` when
// `freeSource` is non-zero. PNG gives a 32-bit RGBA surface (24-bit RGB when
// it has no alpha), JPEG a 24-bit RGB one, as SDL_image makes them. Null
// with the reason in SDL_GetError() when the data is neither or is damaged.
SDL_Surface* IMG_LoadTyped_RW(SDL_RWops* source, int freeSource, char* type);

#define IMG_SetError SDL_SetError
#define IMG_GetError SDL_GetError

#ifdef __cplusplus
}
#endif
