// The browser's platform layer: what the page's driver installs in the
// presentation's seams.
#pragma once

#include "imaging/texture.h"

#include <string>

// An ImageDecoder for setImageDecoder(): PNG and JPEG decoded in the module.
bool decodeInModule(const char* path, DecodedImage* image, std::string* reason);
