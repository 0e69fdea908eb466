// xpm-export IMAGE OUT.c: writes an image file as cursor XPM text in C source.
#include "imaging/xpm.h"

#include <cstdio>

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: xpm-export IMAGE OUT.c\n");
    return 2;
  }
  // exportXpm has already said which file failed and why.
  return exportXpm(argv[1], argv[2]) == 0 ? 0 : 1;
}
