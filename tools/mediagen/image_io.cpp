// PNG and JPEG files from 8-bit images: repeatable bytes, sized for fast decoding.
#include "tools/mediagen/image_io.h"

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>

#include <jpeglib.h>
#include <png.h>

namespace mediagen {

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

// Encodes the whole image with one row filter at the strongest compression.
// Only trivially destructible objects live in this frame, so longjmp out of
// libpng is safe. Returns an empty string on success, else the reason.
const char* encodePng(const Image& image, int filter, std::vector<uint8_t>* out, PngError* err) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, err, onPngError, onPngWarning);
  if (!png) return "cannot start the PNG encoder";
  png_infop info = png_create_info_struct(png);
  if (setjmp(err->jump)) {
    png_destroy_write_struct(&png, &info);
    return err->message;
  }
  if (!info) png_error(png, "cannot start the PNG encoder");
  png_set_write_fn(png, out, appendPngBytes, flushNothing);
  png_set_IHDR(png, info, static_cast<png_uint_32>(image.width),
               static_cast<png_uint_32>(image.height), 8,
               image.channels == 4 ? PNG_COLOR_TYPE_RGBA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_set_filter(png, PNG_FILTER_TYPE_BASE, filter);
  png_set_compression_level(png, 9);
  png_write_info(png, info);
  const size_t stride = static_cast<size_t>(image.width) * image.channels;
  for (int y = 0; y < image.height; ++y)
    png_write_row(png, const_cast<png_bytep>(image.pixels.data() + y * stride));
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return "";
}

}  // namespace

bool writePng(const std::string& path, const Image& image, std::string* error) {
  // The player decodes every picture while it starts, so the file is
  // written for decoding speed as much as for size. libpng's adaptive
  // filter choice mixes filters row by row, and undoing Paeth and Average
  // rows costs the decoder far more than inflating a few more bytes. Each
  // picture is encoded twice, unfiltered and with the Up filter (both
  // nearly free to undo), and the smaller file is kept: sparse pictures
  // (stars, text on clear ground) compress best unfiltered, smooth ones
  // with Up. No time stamp is written, so the bytes are repeatable.
  std::vector<uint8_t> best;
  for (int filter : {PNG_FILTER_NONE, PNG_FILTER_UP}) {
    std::vector<uint8_t> encoded;
    PngError err{};
    const std::string reason = encodePng(image, filter, &encoded, &err);
    if (!reason.empty()) {
      *error = path + ": cannot write PNG: " + reason;
      return false;
    }
    if (best.empty() || encoded.size() < best.size()) best.swap(encoded);
  }
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) {
    *error = path + ": cannot open for writing: " + std::strerror(errno);
    return false;
  }
  const bool writeFailed = std::fwrite(best.data(), 1, best.size(), file) != best.size();
  const bool closeFailed = std::fclose(file) != 0;
  if (writeFailed || closeFailed) {
    *error = path + ": write error (disk full?)";
    return false;
  }
  return true;
}

namespace {

struct JpegError {
  jpeg_error_mgr mgr;
  std::jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
};

void onJpegError(j_common_ptr cinfo) {
  auto* err = reinterpret_cast<JpegError*>(cinfo->err);
  (*cinfo->err->format_message)(cinfo, err->message);
  std::longjmp(err->jump, 1);
}

// Only trivially destructible objects live in this frame, so longjmp out of
// libjpeg is safe. Returns an empty string on success, else the reason.
const char* encodeJpeg(std::FILE* file, const uint8_t* rgb, int width, int height, int quality,
                       JpegError* err) {
  jpeg_compress_struct cinfo;
  cinfo.err = jpeg_std_error(&err->mgr);
  err->mgr.error_exit = onJpegError;
  if (setjmp(err->jump)) {
    jpeg_destroy_compress(&cinfo);
    return err->message;
  }
  jpeg_create_compress(&cinfo);
  jpeg_stdio_dest(&cinfo, file);
  cinfo.image_width = static_cast<JDIMENSION>(width);
  cinfo.image_height = static_cast<JDIMENSION>(height);
  cinfo.input_components = 3;
  cinfo.in_color_space = JCS_RGB;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, quality, TRUE);
  // Full-resolution chroma: the pictures have thin coloured text, which 2x2
  // chroma subsampling would smear.
  for (int c = 0; c < cinfo.num_components; ++c) {
    cinfo.comp_info[c].h_samp_factor = 1;
    cinfo.comp_info[c].v_samp_factor = 1;
  }
  jpeg_start_compress(&cinfo, TRUE);
  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW row = const_cast<JSAMPROW>(rgb + static_cast<size_t>(cinfo.next_scanline) * width * 3);
    jpeg_write_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  return "";
}

}  // namespace

bool writeJpeg(const std::string& path, const Image& image, int quality, std::string* error) {
  std::vector<uint8_t> rgb(static_cast<size_t>(image.width) * image.height * 3);
  const size_t count = static_cast<size_t>(image.width) * image.height;
  for (size_t i = 0; i < count; ++i)
    for (int c = 0; c < 3; ++c) rgb[i * 3 + c] = image.pixels[i * image.channels + c];

  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) {
    *error = path + ": cannot open for writing: " + std::strerror(errno);
    return false;
  }
  JpegError err{};
  std::string reason = encodeJpeg(file, rgb.data(), image.width, image.height, quality, &err);
  const bool writeFailed = std::ferror(file) != 0;
  const bool closeFailed = std::fclose(file) != 0;
  if (!reason.empty()) {
    *error = path + ": cannot write JPEG: " + reason;
    return false;
  }
  if (writeFailed || closeFailed) {
    *error = path + ": write error (disk full?)";
    return false;
  }
  return true;
}

}  // namespace mediagen
