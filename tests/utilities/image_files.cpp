// Small image files and file-system faults for the utilities' tests.
#include "tests/utilities/image_files.h"

#include <gtest/gtest.h>
#include <png.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#include <cstdio>
#include <fstream>
#include <sstream>

namespace utilities_testing {

namespace {

void writePng(const std::string& path, int width, int height, int colourType,
              const std::function<void(png_structp, png_infop)>& extra,
              const std::vector<std::vector<Uint8>>& rows) {
  FILE* file = std::fopen(path.c_str(), "wb");
  ASSERT_NE(file, nullptr) << path;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  png_init_io(png, file);
  png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
               colourType, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  extra(png, info);
  png_write_info(png, info);
  for (const auto& row : rows) png_write_row(png, row.data());
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  std::fclose(file);
}

}  // namespace

void writeRgbaPng(const std::string& path, int width, int height,
                  const std::function<Rgba(int, int)>& colour) {
  std::vector<std::vector<Uint8>> rows;
  for (int y = 0; y < height; ++y) {
    std::vector<Uint8> row;
    for (int x = 0; x < width; ++x) {
      const Rgba c = colour(x, y);
      row.insert(row.end(), c.begin(), c.end());
    }
    rows.push_back(row);
  }
  writePng(path, width, height, PNG_COLOR_TYPE_RGBA, [](png_structp, png_infop) {}, rows);
}

void writePalettePng(const std::string& path, const std::vector<std::array<Uint8, 3>>& palette,
                     const std::vector<Uint8>& alpha, const std::vector<Uint8>& row) {
  std::vector<png_color> entries;
  for (const auto& c : palette) entries.push_back({c[0], c[1], c[2]});
  std::vector<Uint8> trns = alpha;
  writePng(path, static_cast<int>(row.size()), 1, PNG_COLOR_TYPE_PALETTE,
           [&](png_structp png, png_infop info) {
             png_set_PLTE(png, info, entries.data(), static_cast<int>(entries.size()));
             png_set_tRNS(png, info, trns.data(), static_cast<int>(trns.size()), nullptr);
           },
           {row});
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
