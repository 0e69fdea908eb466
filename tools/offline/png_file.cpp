// PNG output through libpng, with no time stamp so equal pixels give equal bytes.
#include "tools/offline/png_file.h"

#include "platform/output_file.h"

#include <png.h>

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace {

struct ErrorText {
  std::string text;
};

void onPngError(png_structp png, png_const_charp message) {
  static_cast<ErrorText*>(png_get_error_ptr(png))->text = message;
  png_longjmp(png, 1);
}

void onPngWarning(png_structp, png_const_charp) {}

// Encodes into `file` and closes it; false with the reason in `error`.
bool encodePng(FILE* file, int width, int height, const std::vector<uint8_t>& rgb,
               std::string* error) {
  ErrorText pngError;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &pngError, onPngError,
                                            onPngWarning);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  bool ok = png && info;
  if (ok && setjmp(png_jmpbuf(png)) == 0) {
    png_init_io(png, file);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height),
                 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < height; ++y) {
      png_write_row(png, rgb.data() + static_cast<size_t>(y) * static_cast<size_t>(width) * 3);
    }
    png_write_end(png, info);
  } else {
    ok = false;
  }
  png_destroy_write_struct(png ? &png : nullptr, info ? &info : nullptr);
  // A full disk may only show when the buffered tail is flushed.
  if (std::fflush(file) != 0 && ok) {
    ok = false;
    pngError.text = std::strerror(errno);
  }
  if (std::fclose(file) != 0 && ok) {
    ok = false;
    pngError.text = std::strerror(errno);
  }
  if (!ok) *error = pngError.text.empty() ? "cannot encode the PNG" : pngError.text;
  return ok;
}

}  // namespace

bool writePngRgb(const std::string& path, int width, int height,
                 const std::vector<uint8_t>& rgb, std::string* error) {
  OutputFile output;
  const int fd = beginOutput(path, ".png", true, &output, error);
  if (fd < 0) return false;
  FILE* file = fdopen(fd, "wb");
  if (!file) {
    *error = std::strerror(errno);
    close(fd);
    abandonOutput(&output);
    return false;
  }
  if (!encodePng(file, width, height, rgb, error)) {
    abandonOutput(&output);
    return false;
  }
  return commitOutput(&output, error);
}
