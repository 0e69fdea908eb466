// PNG output of captured frames through the shared encoder, with no time stamp so equal pixels
// give equal bytes.
#include "tools/capture/png_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "tools/common/png_encoder.h"

bool writePngRgb(const std::string& path, int width, int height, const std::vector<uint8_t>& rgb,
                 std::string* error) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) {
    *error = std::strerror(errno);
    return false;
  }
  PngPicture picture;
  picture.width = width;
  picture.height = height;
  picture.channels = 3;
  picture.pixels = rgb.data();
  std::vector<uint8_t> png;
  std::string reason;
  // Frame sequences favour encoding speed over the last bytes of size.
  bool ok = encodePng(picture, PngCompression::standard, &png, &reason);
  if (ok && std::fwrite(png.data(), 1, png.size(), file) != png.size()) {
    ok = false;
    reason = std::strerror(errno);
  }
  // A full disk may only show when the buffered tail is flushed.
  if (std::fflush(file) != 0 && ok) {
    ok = false;
    reason = std::strerror(errno);
  }
  if (std::fclose(file) != 0 && ok) {
    ok = false;
    reason = std::strerror(errno);
  }
  if (!ok) {
    *error = reason.empty() ? "cannot encode the PNG" : reason;
    std::remove(path.c_str());
  }
  return ok;
}
