// Process entry of the presentation; the command line is ignored.
#include "presentation/player.h"

int main(int argc, char** argv) { return presentationMain(argc, argv); }
