// mediagen-icon SIZE OUT.png: writes the application icon at one size.
#include "tools/common/numbers.h"
#include "tools/mediagen/icon.h"

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
  double size = 0;
  if (argc != 3 || !parseNumber(argv[1], &size) || size < 16 || size > 1024 ||
      size != static_cast<int>(size)) {
    std::fprintf(stderr, "usage: mediagen-icon SIZE OUT.png (SIZE a whole number, 16 to 1024)\n");
    return 2;
  }
  // writePng replaces the target only with a complete picture.
  std::string error;
  if (!mediagen::writePng(argv[2], mediagen::makeIcon(static_cast<int>(size)), &error)) {
    std::fprintf(stderr, "mediagen-icon: %s\n", error.c_str());
    return 1;
  }
  return 0;
}
