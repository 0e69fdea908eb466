// PNG output of captured frames through the shared encoder, with no time stamp so equal pixels
// give equal bytes; the target is replaced only by a complete file.
#include "tools/common/png_file.h"

#include "platform/output_file.h"
#include "tools/common/png_encoder.h"

bool writePngRgb(const std::string& path, int width, int height, const std::vector<uint8_t>& rgb,
                 std::string* error) {
  PngPicture picture;
  picture.width = width;
  picture.height = height;
  picture.channels = 3;
  picture.pixels = rgb.data();
  std::vector<uint8_t> png;
  std::string reason;
  // Frame sequences favour encoding speed over the last bytes of size.
  if (!encodePng(picture, PngCompression::standard, &png, &reason)) {
    *error = reason.empty() ? "cannot encode the PNG" : reason;
    return false;
  }
  return writeOutputFile(path, png.data(), png.size(), error);
}
