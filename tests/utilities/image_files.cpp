// Small image files and file-system faults for the utilities' tests.
#include "tests/utilities/image_files.h"

#include "tools/common/png_encoder.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#include <cstdio>
#include <fstream>
#include <sstream>

namespace utilities_testing {

namespace {

void writePng(const std::string& path, const PngPicture& picture) {
  std::vector<uint8_t> png;
  std::string error;
  ASSERT_TRUE(encodePng(picture, PngCompression::standard, &png, &error)) << path << ": " << error;
  writeFile(path, std::string(png.begin(), png.end()));
}

}  // namespace

void writeRgbaPng(const std::string& path, int width, int height,
                  const std::function<Rgba(int, int)>& colour) {
  std::vector<Uint8> pixels;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const Rgba c = colour(x, y);
      pixels.insert(pixels.end(), c.begin(), c.end());
    }
  }
  PngPicture picture;
  picture.width = width;
  picture.height = height;
  picture.pixels = pixels.data();
  writePng(path, picture);
}

void writePalettePng(const std::string& path, const std::vector<std::array<Uint8, 3>>& palette,
                     const std::vector<Uint8>& alpha, const std::vector<Uint8>& row) {
  PngPicture picture;
  picture.width = static_cast<int>(row.size());
  picture.height = 1;
  picture.channels = 1;
  picture.pixels = row.data();
  picture.palette = palette;
  picture.paletteAlpha = alpha;
  writePng(path, picture);
}

void withFileSizeLimit(long bytes, const std::function<void()>& body) {
  rlimit saved{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  rlimit limited = saved;
  limited.rlim_cur = static_cast<rlim_t>(bytes);
  // Without this the kernel ends the process (SIGXFSZ) instead of failing the write.
  auto previous = std::signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
  body();
  setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, previous);
}

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

void writeFile(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

std::string pathKind(const std::string& path) {
  struct stat info;
  if (lstat(path.c_str(), &info) != 0) return "none";
  if (S_ISREG(info.st_mode)) return "file";
  if (S_ISDIR(info.st_mode)) return "directory";
  return "device";
}

}  // namespace utilities_testing
