// Process entry of the presentation; only --fullscreen is read from the command line.
#include "presentation/player.h"

int main(int argc, char** argv) { return presentationMain(argc, argv); }
