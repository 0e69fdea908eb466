// The player with its fragment programs taken from the copy whose morph
// program does not compile.
#include "presentation/player.h"
#include "tests/hardening/broken_shaders.h"

int main(int argc, char** argv) {
  setShaderTable(broken_shaders::all, broken_shaders::count);
  return presentationMain(argc, argv);
}
