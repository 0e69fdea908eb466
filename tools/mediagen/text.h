// Text rendering through FreeType into coverage masks.
#pragma once
#include <memory>
#include <string>
#include <vector>

#include "raster.h"

namespace mediagen {

// Where the DejaVu fonts live; MEDIAGEN_FONT_DIR overrides the Debian path
// for systems that install fonts elsewhere.
std::string font_dir();
// The font files the pictures use; main() checks them before drawing anything.
const std::vector<std::string>& required_fonts();

class Font {
public:
    // Throws std::runtime_error naming the file if it cannot be loaded.
    explicit Font(const std::string& file_name);
    ~Font();
    Font(const Font&) = delete;
    Font& operator=(const Font&) = delete;

    // Renders one line of ASCII text, cropped vertically to the font's cap
    // height and descender at this size so lines of different text share a
    // baseline. `tracking` adds pixels between letters.
    Mask render(const std::string& text, int pixel_size, int tracking = 0) const;
    // Largest pixel size (<= max_size) whose rendering fits max_width.
    int fit(const std::string& text, int max_width, int max_size, int tracking = 0) const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// Loads each font file once per run.
const Font& font(const std::string& file_name);
// Trims empty rows and columns around the ink.
Mask crop(const Mask& m);

}  // namespace mediagen
