// PNG and JPEG files from 8-bit images: repeatable bytes, sized for fast decoding.
#include "tools/mediagen/image_io.h"

#include "platform/output_file.h"
#include "tools/common/png_encoder.h"

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>

#include <jpeglib.h>

namespace mediagen {

bool writePng(const std::string& path, const Image& image, std::string* error) {
  // The player decodes every picture while it starts, so the file is
  // written for decoding speed as much as for size.
  PngPicture picture;
  picture.width = image.width;
  picture.height = image.height;
  picture.channels = image.channels;
  picture.pixels = image.pixels.data();
  std::vector<uint8_t> best;
  std::string reason;
  if (!encodePng(picture, PngCompression::smallest, &best, &reason)) {
    *error = path + ": cannot write PNG: " + reason;
    return false;
  }
  if (!writeOutputFile(path, best.data(), best.size(), &reason)) {
    *error = path + ": cannot write: " + reason;
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

  OutputFile output;
  std::string reason;
  std::FILE* file = beginOutputStream(path, &output, &reason);
  if (!file) {
    *error = path + ": cannot open for writing: " + reason;
    return false;
  }
  JpegError err{};
  const std::string encoderReason =
      encodeJpeg(file, rgb.data(), image.width, image.height, quality, &err);
  const bool written = encoderReason.empty() && std::ferror(file) == 0;
  if (!finishOutputStream(file, written, &output, &reason)) {
    *error = !encoderReason.empty()
                 ? path + ": cannot write JPEG: " + encoderReason
                 : path + ": write error (" + (reason.empty() ? "disk full?" : reason) + ")";
    return false;
  }
  return true;
}

}  // namespace mediagen
