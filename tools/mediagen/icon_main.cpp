// mediagen-icon SIZE OUT.png: writes the application icon at one size.
#include "tools/common/command_line.h"
#include "tools/mediagen/icon.h"

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
  int size = 0;
  std::string out;
  const std::vector<Option> table = {
      {"SIZE", "", "the icon's width and height in pixels", wholeIn(&size, 16, 1024)},
      {"OUT.png", "", "the picture written", textIn(&out, "a file name")},
  };
  std::string error;
  const Parsed parsed = parseCommandLine(table, argc, argv, &error);
  if (parsed == Parsed::help) {
    std::fputs((usageText("mediagen-icon", table) + "\nDraws the application icon.\n\n" +
                optionHelp(table))
                   .c_str(),
               stdout);
    return 0;
  }
  if (parsed == Parsed::bad) {
    std::fprintf(stderr, "mediagen-icon: %s\n%s", error.c_str(),
                 usageText("mediagen-icon", table).c_str());
    return 2;
  }
  // writePng replaces the target only with a complete picture.
  if (!mediagen::writePng(out, mediagen::makeIcon(size), &error)) {
    std::fprintf(stderr, "mediagen-icon: %s\n", printable(error).c_str());
    return 1;
  }
  return 0;
}
