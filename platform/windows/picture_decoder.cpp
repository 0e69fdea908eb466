// PNG and JPEG pictures into SDL surfaces for the Windows build, with
// libpng's simplified reader and libjpeg's default decompression (the
// settings SDL_image uses), so the texels match the Linux player's.
#include "platform/windows/SDL_image.h"

#include <csetjmp>
#include <cstddef>
#include <cstdio>

// After <cstddef> and <cstdio>: jpeglib.h uses size_t and FILE undeclared.
#include <jpeglib.h>
#include <png.h>

#include <cstring>
#include <vector>

namespace {

// Masks of a surface whose bytes are R, G, B (and A) in memory order.
const Uint32 kRmask = 0x000000FF, kGmask = 0x0000FF00, kBmask = 0x00FF0000, kAmask = 0xFF000000;

bool readAll(SDL_RWops* source, std::vector<unsigned char>* bytes) {
  unsigned char chunk[65536];
  for (;;) {
    const int got = SDL_RWread(source, chunk, 1, sizeof chunk);
    if (got < 0) return false;
    if (got == 0) return true;
    bytes->insert(bytes->end(), chunk, chunk + got);
  }
}

SDL_Surface* decodePng(const std::vector<unsigned char>& bytes) {
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&image, bytes.data(), bytes.size())) {
    SDL_SetError("damaged PNG: %s", image.message);
    return nullptr;
  }
  const bool alpha = (image.format & PNG_FORMAT_FLAG_ALPHA) != 0;
  image.format = alpha ? PNG_FORMAT_RGBA : PNG_FORMAT_RGB;
  SDL_Surface* surface = SDL_CreateRGBSurface(SDL_SWSURFACE, static_cast<int>(image.width),
                                              static_cast<int>(image.height), alpha ? 32 : 24,
                                              kRmask, kGmask, kBmask, alpha ? kAmask : 0);
  if (!surface) {
    png_image_free(&image);
    return nullptr;
  }
  if (!png_image_finish_read(&image, nullptr, surface->pixels, surface->pitch, nullptr)) {
    SDL_SetError("damaged PNG: %s", image.message);
    SDL_FreeSurface(surface);
    return nullptr;
  }
  return surface;
}

// libjpeg reports errors through a callback that must not return.
struct JpegError {
  jpeg_error_mgr manager;
  std::jmp_buf back;
  char message[JMSG_LENGTH_MAX];
};

void leaveJpeg(j_common_ptr info) {
  JpegError* error = reinterpret_cast<JpegError*>(info->err);
  (*info->err->format_message)(info, error->message);
  std::longjmp(error->back, 1);
}

void ignoreJpegMessage(j_common_ptr) {}

SDL_Surface* decodeJpeg(const std::vector<unsigned char>& bytes) {
  jpeg_decompress_struct info;
  JpegError error;
  info.err = jpeg_std_error(&error.manager);
  error.manager.error_exit = leaveJpeg;
  error.manager.output_message = ignoreJpegMessage;
  SDL_Surface* volatile surface = nullptr;
  if (setjmp(error.back)) {
    jpeg_destroy_decompress(&info);
    if (surface) SDL_FreeSurface(surface);
    SDL_SetError("damaged JPEG: %s", error.message);
    return nullptr;
  }
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, bytes.data(), static_cast<unsigned long>(bytes.size()));
  jpeg_read_header(&info, TRUE);
  info.out_color_space = JCS_RGB;
  info.quantize_colors = FALSE;
  jpeg_start_decompress(&info);
  surface =
      SDL_CreateRGBSurface(SDL_SWSURFACE, static_cast<int>(info.output_width),
                           static_cast<int>(info.output_height), 24, kRmask, kGmask, kBmask, 0);
  if (!surface) {
    jpeg_destroy_decompress(&info);
    return nullptr;
  }
  while (info.output_scanline < info.output_height) {
    JSAMPROW row = static_cast<JSAMPROW>(surface->pixels) +
                   static_cast<size_t>(info.output_scanline) * surface->pitch;
    jpeg_read_scanlines(&info, &row, 1);
  }
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  return surface;
}

}  // namespace

extern "C" SDL_Surface* IMG_LoadTyped_RW(SDL_RWops* source, int freeSource, char*) {
  if (!source) return nullptr;
  std::vector<unsigned char> bytes;
  const bool read = readAll(source, &bytes);
  if (freeSource) SDL_RWclose(source);
  if (!read) {
    SDL_SetError("cannot read the picture");
    return nullptr;
  }
  static const unsigned char kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  if (bytes.size() >= 8 && std::memcmp(bytes.data(), kPngSignature, 8) == 0) {
    return decodePng(bytes);
  }
  if (bytes.size() >= 3 && bytes[0] == 0xFF && bytes[1] == 0xD8 && bytes[2] == 0xFF) {
    return decodeJpeg(bytes);
  }
  SDL_SetError("Unsupported image format");
  return nullptr;
}
