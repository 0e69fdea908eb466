// libFuzzer target for the cursor XPM reader: the input, split at line
// feeds, is the array of strings, each element in its own exact-size buffer
// so that reading past an element's NUL or the array's end is caught.
#include "imaging/xpm.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

bool startDummyVideo() {
  setenv("SDL_VIDEODRIVER", "dummy", 1);
  return SDL_Init(SDL_INIT_VIDEO) == 0;
}

// What any accepted text must give, whatever it held.
void checkBits(const CursorBits& bits) {
  const size_t bytes = static_cast<size_t>(bits.width / 8) * static_cast<size_t>(bits.height);
  if (bits.width <= 0 || bits.width % 8 != 0 || bits.height <= 0 ||
      static_cast<long>(bits.width) * bits.height > kMaxCursorPixels || bits.hotX < 0 ||
      bits.hotX >= bits.width || bits.hotY < 0 || bits.hotY >= bits.height ||
      bits.data.size() != bytes || bits.mask.size() != bytes) {
    std::abort();
  }
  // Data without mask (1/0) never arises.
  for (size_t i = 0; i < bytes; ++i) {
    if (bits.data[i] & ~bits.mask[i]) std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* input, size_t size) {
  static const bool video = startDummyVideo();

  std::vector<char*> elements;
  size_t start = 0;
  for (size_t i = 0; i <= size; ++i) {
    if (i == size || input[i] == '\n') {
      char* element = static_cast<char*>(std::malloc(i - start + 1));
      std::memcpy(element, input + start, i - start);
      element[i - start] = '\0';
      elements.push_back(element);
      start = i + 1;
    }
  }
  elements.push_back(nullptr);
  std::vector<const char*> lines(elements.begin(), elements.end());
  lines.shrink_to_fit();

  CursorBits bits;
  const bool valid = xpmCursorBits(lines.data(), &bits);
  if (valid) checkBits(bits);

  if (video) {
    SDL_Cursor* cursor = cursorFromXpm(lines.data());
    if ((cursor != nullptr) != valid) std::abort();
    if (cursor) {
      const size_t bytes = bits.data.size();
      if (cursor->area.w != bits.width || cursor->area.h != bits.height ||
          cursor->hot_x != bits.hotX || cursor->hot_y != bits.hotY ||
          std::memcmp(cursor->data, bits.data.data(), bytes) != 0 ||
          std::memcmp(cursor->mask, bits.mask.data(), bytes) != 0) {
        std::abort();
      }
      SDL_FreeCursor(cursor);
    }
  }

  for (char* element : elements) std::free(element);
  return 0;
}
