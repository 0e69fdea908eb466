// GLSL of the browser build, from platform/web/*.frag, built in as text.
#pragma once

#include "gpu/shaders.h"

namespace webShaders {

using Source = shaders::Source;

// Put before every fragment source: what GLSL ES lacks of desktop GLSL.
extern const char prelude[];

// Every embedded file, by file name.
extern const Source all[];
extern const int count;

}  // namespace webShaders
