// The six fragment programs as first written, straight from their formulas,
// built into the benchmark and the tests as text at build time. The
// presentation never uses them: they are the baseline that the faster
// programs of gpu/shaders/ are timed and compared against. The vertex stage
// is shared (shaders::vertex).
#pragma once

#include "gpu/shaders.h"

namespace reference_shaders {

using Source = shaders::Source;

extern const char plasma[];
extern const char morph[];
extern const char imageWarp[];
extern const char starfield[];
extern const char overlay[];
extern const char scroller[];

// Every embedded file, by file name, in the order they were embedded.
extern const Source all[];
extern const int count;

}  // namespace reference_shaders
