// Frame capture: viewport pixels to an upright BMP file via SDL's BMP writer.
#include "imaging/screenshot.h"

#include "imaging/texture.h"
#include "platform/output_file.h"

#include <cstdio>
#include <string>

int saveScreenshot(const char* path) {
  GLint viewport[4] = {0, 0, 0, 0};
  glGetIntegerv(GL_VIEWPORT, viewport);
  const GLint width = viewport[2];
  const GLint height = viewport[3];

  // Rows of width * 4 bytes with no gap: what glReadPixels writes for
  // GL_RGBA / GL_UNSIGNED_BYTE under the default pack alignment of 4.
  SDL_Surface* capture = SDL_CreateRGBSurface(0, width, height, 32, kRgba32Rmask, kRgba32Gmask,
                                              kRgba32Bmask, kRgba32Amask);
  if (!capture) return -1;
  SDL_LockSurface(capture);
  glReadPixels(viewport[0], viewport[1], width, height, GL_RGBA, GL_UNSIGNED_BYTE, capture->pixels);
  SDL_UnlockSurface(capture);

  // The GL delivers the bottom row first; SDL surfaces start at the top.
  SDL_Surface* flipped = flipSurface(capture);
  if (!flipped) {
    SDL_FreeSurface(capture);
    return -1;
  }

  // The BMP goes to a temporary name and replaces the path only when complete,
  // so a failed write leaves what was there; a device such as /dev/full is
  // written in place. SDL_SaveBMP_RW reports failed writes and seeks; the
  // seeks flush the stdio buffer, so a full disk shows up before the close,
  // and the close itself is checked too.
  OutputFile target;
  std::string error;
  std::FILE* file = beginOutputStream(path, &target, &error);
  SDL_RWops* stream = file ? SDL_RWFromFP(file, 0) : nullptr;
  const bool saved = stream && SDL_SaveBMP_RW(flipped, stream, 1) == 0;
  SDL_FreeSurface(flipped);
  SDL_FreeSurface(capture);
  if (!file) return -1;
  return finishOutputStream(file, saved, &target, &error) ? 0 : -1;
}
