// The application icon of the installed presentation.
#pragma once
#include "tools/mediagen/image_io.h"

namespace mediagen {

// A size × size RGBA picture: the presentation's narrow band with its bumpy
// bar on a dark rounded square, drawn from shapes so every size is sharp.
Image makeIcon(int size);

}  // namespace mediagen
