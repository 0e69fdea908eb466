// FreeType text into coverage masks, with each font loaded once per run.
#include "tools/mediagen/text.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <map>

#include <ft2build.h>
#include FT_FREETYPE_H

namespace mediagen {

std::string fontDir() {
  const char* env = std::getenv("MEDIAGEN_FONT_DIR");
  return env && *env ? std::string(env) : std::string("/usr/share/fonts");
}

#define MEDIAGEN_FONT_NAME(name, file, package) const char* const name = file;
MEDIAGEN_FONTS(MEDIAGEN_FONT_NAME)
#undef MEDIAGEN_FONT_NAME

const std::vector<FontFile>& requiredFonts() {
#define MEDIAGEN_FONT_ENTRY(name, file, package) {file, package},
  static const std::vector<FontFile> fonts = {MEDIAGEN_FONTS(MEDIAGEN_FONT_ENTRY)};
#undef MEDIAGEN_FONT_ENTRY
  return fonts;
}

struct Font::Impl {
  FT_Library lib = nullptr;
  FT_Face face = nullptr;
};

Font::Font() : impl_(std::make_unique<Impl>()) {}

bool Font::load(const std::string& fileName, std::string* error) {
  const std::string path = fontDir() + "/" + fileName;
  if (FT_Init_FreeType(&impl_->lib)) {
    impl_->lib = nullptr;
    *error = "cannot initialise FreeType";
    return false;
  }
  if (FT_New_Face(impl_->lib, path.c_str(), 0, &impl_->face)) {
    FT_Done_FreeType(impl_->lib);
    impl_->lib = nullptr;
    impl_->face = nullptr;
    *error = path + ": cannot load font";
    return false;
  }
  return true;
}

Font::~Font() {
  if (impl_->face) FT_Done_Face(impl_->face);
  if (impl_->lib) FT_Done_FreeType(impl_->lib);
}

namespace {

struct Placed {
  FT_UInt glyph;
  int pen;
};

// Where each glyph of a line goes at the face's current size, and the
// horizontal extent of its ink; glyphs that fail to load are left out.
struct LineLayout {
  std::vector<Placed> placed;
  int minX = 0;
  int maxX = 0;
  int width() const { return std::max(1, maxX - minX); }
};

LineLayout layOut(FT_Face face, const std::string& text, int tracking) {
  LineLayout line;
  int pen = 0;
  FT_UInt prev = 0;
  for (char ch : text) {
    const FT_UInt idx =
        FT_Get_Char_Index(face, static_cast<FT_ULong>(static_cast<unsigned char>(ch)));
    if (prev && idx && FT_HAS_KERNING(face)) {
      FT_Vector k;
      FT_Get_Kerning(face, prev, idx, FT_KERNING_DEFAULT, &k);
      pen += static_cast<int>(k.x >> 6);
    }
    if (FT_Load_Glyph(face, idx, FT_LOAD_DEFAULT)) continue;
    const int left = pen + static_cast<int>(face->glyph->metrics.horiBearingX >> 6);
    const int right =
        left + static_cast<int>(std::ceil(static_cast<double>(face->glyph->metrics.width) / 64.0));
    line.minX = std::min(line.minX, left);
    line.maxX = std::max(line.maxX, right + 1);
    line.placed.push_back({idx, pen});
    pen += static_cast<int>(face->glyph->advance.x >> 6) + tracking;
    prev = idx;
  }
  return line;
}

}  // namespace

Mask Font::render(const std::string& text, int pixelSize, int tracking) const {
  FT_Face face = impl_->face;
  if (!face) return Mask(1, 1);
  FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(pixelSize));
  // Vertical extent from the font's metrics rather than the glyphs, so a
  // line's placement does not depend on which letters it contains.
  const int ascent = static_cast<int>(face->size->metrics.ascender >> 6);
  const int descent = static_cast<int>(-(face->size->metrics.descender >> 6));
  // Cap height of 'H' trims the accent space above capitals.
  FT_Load_Char(face, 'H', FT_LOAD_DEFAULT);
  const int cap = static_cast<int>(face->glyph->metrics.horiBearingY >> 6);
  const int top = std::min(ascent, cap + pixelSize / 8);

  const LineLayout line = layOut(face, text, tracking);
  Mask m(line.width(), top + descent);
  for (const Placed& p : line.placed) {
    if (FT_Load_Glyph(face, p.glyph, FT_LOAD_RENDER)) continue;
    const FT_Bitmap& bm = face->glyph->bitmap;
    const int gx = p.pen - line.minX + face->glyph->bitmap_left;
    const int gy = top - face->glyph->bitmap_top;
    for (unsigned r = 0; r < bm.rows; ++r)
      for (unsigned c = 0; c < bm.width; ++c) {
        const int x = gx + static_cast<int>(c), y = gy + static_cast<int>(r);
        if (x < 0 || y < 0 || x >= m.width || y >= m.height) continue;
        const float v = static_cast<float>(bm.buffer[r * bm.pitch + c]) / 255.0f;
        m.ref(x, y) = std::max(m.ref(x, y), v);
      }
  }
  return m;
}

// Measures each trial size without drawing it.
int Font::fit(const std::string& text, int maxWidth, int maxSize, int tracking) const {
  FT_Face face = impl_->face;
  const auto width = [&](int size) {
    if (!face) return 1;
    FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(size));
    return layOut(face, text, tracking).width();
  };
  int size = maxSize;
  while (size > 6 && width(size) > maxWidth) --size;
  return size;
}

namespace {
std::string firstFontError;
}

const Font& font(const std::string& fileName) {
  static std::map<std::string, std::unique_ptr<Font>> cache;
  auto& slot = cache[fileName];
  if (!slot) {
    slot = std::make_unique<Font>();
    std::string error;
    if (!slot->load(fileName, &error) && firstFontError.empty()) firstFontError = error;
  }
  return *slot;
}

bool fontsLoaded(std::string* error) {
  if (firstFontError.empty()) return true;
  *error = firstFontError;
  return false;
}

Mask crop(const Mask& m) {
  int x0 = m.width, y0 = m.height, x1 = -1, y1 = -1;
  for (int y = 0; y < m.height; ++y)
    for (int x = 0; x < m.width; ++x)
      if (m.at(x, y) > 0.0f) {
        x0 = std::min(x0, x);
        x1 = std::max(x1, x);
        y0 = std::min(y0, y);
        y1 = std::max(y1, y);
      }
  if (x1 < 0) return Mask(1, 1);
  Mask out(x1 - x0 + 1, y1 - y0 + 1);
  for (int y = 0; y < out.height; ++y)
    for (int x = 0; x < out.width; ++x) out.ref(x, y) = m.at(x + x0, y + y0);
  return out;
}

}  // namespace mediagen
