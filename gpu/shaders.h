// The GLSL sources of gpu/shaders/, built into the program as text at build time.
#pragma once

namespace shaders {

struct Source {
  const char* file;
  const char* text;
};

extern const char vertex[];
extern const char plasma[];
extern const char morph[];
extern const char imageWarp[];
extern const char starfield[];
extern const char overlay[];
extern const char scroller[];

// Every embedded file, by file name, in the order they were embedded.
extern const Source all[];
extern const int count;

}  // namespace shaders
