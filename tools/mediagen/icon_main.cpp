// mediagen-icon SIZE OUT.png: writes the application icon at one size.
#include "tools/common/numbers.h"
#include "tools/mediagen/icon.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

int main(int argc, char** argv) {
  double size = 0;
  if (argc != 3 || !parseNumber(argv[1], &size) || size < 16 || size > 1024 ||
      size != static_cast<int>(size)) {
    std::fprintf(stderr, "usage: mediagen-icon SIZE OUT.png (SIZE a whole number, 16 to 1024)\n");
    return 2;
  }
  // Written beside the target and renamed, so a failed run leaves no half a picture.
  const std::string target = argv[2], temporary = target + ".part";
  std::string error;
  if (!mediagen::writePng(temporary, mediagen::makeIcon(static_cast<int>(size)), &error)) {
    std::remove(temporary.c_str());
    std::fprintf(stderr, "mediagen-icon: %s\n", error.c_str());
    return 1;
  }
  if (std::rename(temporary.c_str(), target.c_str()) != 0) {
    std::fprintf(stderr, "mediagen-icon: %s: %s\n", target.c_str(), std::strerror(errno));
    std::remove(temporary.c_str());
    return 1;
  }
  return 0;
}
