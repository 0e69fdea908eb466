// PNG encoding through libpng into a byte vector.
#include "tools/common/png_encoder.h"

#include <png.h>

#include <csetjmp>
#include <cstdio>

namespace {

struct PngError {
  std::jmp_buf jump;
  char message[256];
};

void onPngError(png_structp png, png_const_charp message) {
  auto* err = static_cast<PngError*>(png_get_error_ptr(png));
  std::snprintf(err->message, sizeof err->message, "%s", message);
  std::longjmp(err->jump, 1);
}

void onPngWarning(png_structp, png_const_charp) {}

void appendPngBytes(png_structp png, png_bytep data, png_size_t length) {
  auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + length);
}

void flushNothing(png_structp) {}

int colourType(const PngPicture& picture) {
  switch (picture.channels) {
    case 1: return PNG_COLOR_TYPE_PALETTE;
    case 3: return PNG_COLOR_TYPE_RGB;
    default: return PNG_COLOR_TYPE_RGBA;
  }
}

// Encodes with one row filter (0: libpng's own choice and level). Only
// trivially destructible objects live in this frame, so longjmp out of libpng
// is safe. Returns an empty string on success, else the reason.
const char* encodeWith(const PngPicture& picture, const png_color* palette, int filter,
                       std::vector<uint8_t>* out, PngError* err) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, err, onPngError, onPngWarning);
  if (!png) return "cannot start the PNG encoder";
  png_infop info = png_create_info_struct(png);
  if (setjmp(err->jump)) {
    png_destroy_write_struct(&png, &info);
    return err->message;
  }
  if (!info) png_error(png, "cannot start the PNG encoder");
  png_set_write_fn(png, out, appendPngBytes, flushNothing);
  png_set_IHDR(png, info, static_cast<png_uint_32>(picture.width),
               static_cast<png_uint_32>(picture.height), 8, colourType(picture), PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  if (picture.channels == 1) {
    png_set_PLTE(png, info, palette, static_cast<int>(picture.palette.size()));
    if (!picture.paletteAlpha.empty()) {
      png_set_tRNS(png, info, picture.paletteAlpha.data(),
                   static_cast<int>(picture.paletteAlpha.size()), nullptr);
    }
  }
  if (filter != 0) {
    png_set_filter(png, PNG_FILTER_TYPE_BASE, filter);
    png_set_compression_level(png, 9);
  }
  png_write_info(png, info);
  const size_t stride = static_cast<size_t>(picture.width) * picture.channels;
  for (int y = 0; y < picture.height; ++y) {
    png_write_row(png, picture.pixels + static_cast<size_t>(y) * stride);
  }
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return "";
}

}  // namespace

bool encodePng(const PngPicture& picture, PngCompression compression, std::vector<uint8_t>* png,
               std::string* error) {
  std::vector<png_color> palette;
  for (const auto& c : picture.palette) palette.push_back({c[0], c[1], c[2]});
  // libpng's adaptive filter choice mixes filters row by row, and undoing
  // Paeth and Average rows costs a decoder far more than inflating a few more
  // bytes; sparse pictures compress best unfiltered, smooth ones with Up.
  const std::vector<int> filters = compression == PngCompression::smallest
                                       ? std::vector<int>{PNG_FILTER_NONE, PNG_FILTER_UP}
                                       : std::vector<int>{0};
  png->clear();
  for (int filter : filters) {
    std::vector<uint8_t> encoded;
    PngError err{};
    const std::string reason = encodeWith(picture, palette.data(), filter, &encoded, &err);
    if (!reason.empty()) {
      *error = reason;
      return false;
    }
    if (png->empty() || encoded.size() < png->size()) png->swap(encoded);
  }
  return true;
}
