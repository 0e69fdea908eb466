// One entry point per generated picture; each returns finished pixels.
#pragma once
#include "image_io.h"

namespace mediagen {

Image make_noise();            // noise.cpp: 256x256 tiling gradient noise
Image make_starfield();        // noise.cpp: 512x512 tiling stars, transparent

// pictures.cpp: all 960x89 unless noted.
Image make_logo();             // opaque title artwork
Image make_guru_text();        // opaque closing crash screen text
Image make_guru_rect();        // transparent blinking frame that matches it
Image make_end_card();         // opaque hall with "THE END"
Image make_oldschool();        // transparent overlay
Image make_space();            // transparent overlay
Image make_love();             // transparent overlay
Image make_scroller();         // 3200x89 transparent greetings strip

}  // namespace mediagen
