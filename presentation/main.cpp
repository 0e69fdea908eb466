// Process entry of the presentation.
#include "presentation/player.h"

int main(int argc, char** argv) { return presentationMain(argc, argv); }
