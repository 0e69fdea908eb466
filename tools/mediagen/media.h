// One entry point per generated picture; each returns finished pixels.
#pragma once
#include "tools/mediagen/image_io.h"

namespace mediagen {

Image makeNoise();      // noise.cpp: 256x256 tiling gradient noise
Image makeStarfield();  // noise.cpp: 512x512 tiling nebula and stars, opaque

// pictures.cpp: all the window's size unless noted.
Image makeLogo();       // opaque title artwork
Image makeGuruText();   // opaque closing crash screen text
Image makeGuruRect();   // transparent blinking frame that matches it
Image makeEndCard();    // opaque hall with "THE END"
Image makeOldschool();  // transparent overlay
Image makeSpace();      // transparent overlay
Image makeLove();       // transparent overlay
Image makeScroller();   // 3200x89 transparent greetings strip

}  // namespace mediagen
