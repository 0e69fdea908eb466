// Text rendering through FreeType into coverage masks.
#pragma once
#include <memory>
#include <string>
#include <vector>

#include "tools/mediagen/raster.h"

namespace mediagen {

// The root of the font tree; MEDIAGEN_FONT_DIR overrides the Debian path
// for systems that install fonts elsewhere.
std::string fontDir();

// Every face the pictures use: a name for the code, the file under
// fontDir(), and the Debian package that installs it.
#define MEDIAGEN_FONTS(X)                                                        \
  X(kHeadline, "opentype/bebas-neue/BebasNeue-Bold.otf", "fonts-bebas-neue")     \
  X(kCaption, "opentype/bebas-neue/BebasNeue-Regular.otf", "fonts-bebas-neue")   \
  X(kPixel, "truetype/dotgothic16/DotGothic16-Regular.ttf", "fonts-dotgothic16") \
  X(kDisplay, "opentype/ferrite-core/FerriteCoreDX-Black.otf", "fonts-ferrite-core")

#define MEDIAGEN_FONT_NAME(name, file, package) extern const char* const name;
MEDIAGEN_FONTS(MEDIAGEN_FONT_NAME)
#undef MEDIAGEN_FONT_NAME

struct FontFile {
  const char* file;
  const char* package;
};
// main() checks these before drawing anything, so a missing package fails
// fast with its name.
const std::vector<FontFile>& requiredFonts();

class Font {
 public:
  Font();
  ~Font();
  // Returns false with a message naming the file in `error` if it cannot be
  // loaded; an unloaded font renders nothing.
  bool load(const std::string& fileName, std::string* error);
  Font(const Font&) = delete;
  Font& operator=(const Font&) = delete;

  // Renders one line of ASCII text, cropped vertically to the font's cap
  // height and descender at this size so lines of different text share a
  // baseline. `tracking` adds pixels between letters.
  Mask render(const std::string& text, int pixelSize, int tracking = 0) const;
  // Largest pixel size (<= maxSize) whose rendering fits maxWidth.
  int fit(const std::string& text, int maxWidth, int maxSize, int tracking = 0) const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// Loads each font file once per run. A font that fails to load renders
// nothing, and its reason is kept for fontsLoaded().
const Font& font(const std::string& fileName);
// False, with the reason the first font failed in `error`, once any font
// asked for through font() could not be loaded.
bool fontsLoaded(std::string* error);
// Trims empty rows and columns around the ink.
Mask crop(const Mask& m);

}  // namespace mediagen
