// Decodes the PNG and JPEG pictures inside the module. The browser's own
// decoder goes through a 2D canvas, which premultiplies alpha and so loses
// the colour of transparent texels; this keeps every texel as in the file.
#include "imaging/texture.h"

#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#define STBI_ONLY_JPEG
#define STBI_NO_STDIO
#include "stb_image.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

bool decodeImageFile(const char* path, DecodedImage* image, std::string* reason) {
  std::FILE* file = std::fopen(path, "rb");
  if (!file) {
    *reason = std::strerror(errno);
    return false;
  }
  std::vector<stbi_uc> bytes;
  stbi_uc chunk[65536];
  size_t n = 0;
  while ((n = std::fread(chunk, 1, sizeof chunk, file)) > 0)
    bytes.insert(bytes.end(), chunk, chunk + n);
  std::fclose(file);

  // GL reads rows bottom first; texture coordinate t = 1 is the file's top row.
  stbi_set_flip_vertically_on_load(1);
  int width = 0, height = 0, channels = 0;
  stbi_uc* texels = stbi_load_from_memory(bytes.data(), static_cast<int>(bytes.size()), &width,
                                          &height, &channels, 4);
  if (!texels) {
    *reason = stbi_failure_reason();
    return false;
  }
  image->width = width;
  image->height = height;
  image->texels.assign(texels, texels + static_cast<size_t>(width) * height * 4);
  stbi_image_free(texels);
  return true;
}
