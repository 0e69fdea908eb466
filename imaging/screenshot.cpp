// Frame capture: viewport pixels to an upright BMP file via SDL's BMP writer.
#include "imaging/screenshot.h"

#include "imaging/texture.h"
#include "platform/output_file.h"

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

  // SDL_SaveBMP_RW accepts a null stream, writes nothing and closes nothing,
  // but then answers from SDL's last error string alone, so a stream that
  // could not be opened is counted as a failure here whatever it answers.
  // With a stream it reports failed writes and seeks; the seeks flush the
  // stdio buffer, so a full disk shows up before the stream is closed.
  SDL_RWops* stream = SDL_RWFromFile(path, "wb");
  const bool opened = stream != nullptr;
  const int saved = SDL_SaveBMP_RW(flipped, stream, 1);
  SDL_FreeSurface(flipped);
  SDL_FreeSurface(capture);

  if (opened && saved == 0) return 0;
  // The path may also name a device such as /dev/full, which stays.
  if (opened) removeIfRegularFile(path);
  return -1;
}
