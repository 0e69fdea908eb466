// xpm-export IMAGE OUT.c: writes an image file as cursor XPM text in C source.
#include "imaging/xpm.h"
#include "tools/common/command_line.h"

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
  std::string image, out;
  const std::vector<Option> table = {
      {"IMAGE", "", "the picture to convert (any format SDL_image reads)",
       textIn(&image, "a picture file")},
      {"OUT.c", "", "the C source written, replaced only once complete",
       textIn(&out, "a file name")},
  };
  std::string error;
  const Parsed parsed = parseCommandLine(table, argc, argv, &error);
  if (parsed == Parsed::help) {
    std::fputs(
        (usageText("xpm-export", table) +
         "\nWrites a two-colour picture as cursor XPM text in C source.\n\n" + optionHelp(table))
            .c_str(),
        stdout);
    return 0;
  }
  if (parsed == Parsed::bad) {
    std::fprintf(stderr, "xpm-export: %s\n%s", error.c_str(),
                 usageText("xpm-export", table).c_str());
    return 2;
  }
  // exportXpm has already said which file failed and why.
  return exportXpm(image.c_str(), out.c_str()) == 0 ? 0 : 1;
}
