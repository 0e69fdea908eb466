// PNG output of captured frames through the shared encoder, with no time stamp so equal pixels
// give equal bytes; the target is replaced only by a complete file.
#include "tools/capture/png_file.h"

#include "platform/output_file.h"
#include "tools/common/png_encoder.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

// Writes all of `bytes` to `fd`; false with the reason in `error`.
bool writeAll(int fd, const std::vector<uint8_t>& bytes, std::string* error) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      *error = n < 0 ? std::strerror(errno) : "nothing was written";
      return false;
    }
    done += static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

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
  OutputFile output;
  const int fd = beginOutput(path, ".png", true, &output, error);
  if (fd < 0) return false;
  const bool written = writeAll(fd, png, error);
  if (close(fd) != 0 && written) {
    *error = std::strerror(errno);
    abandonOutput(&output);
    return false;
  }
  if (!written) {
    abandonOutput(&output);
    return false;
  }
  return commitOutput(&output, error);
}
