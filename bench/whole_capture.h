// The whole presentation captured end to end by demo-capture, timed against
// real time, with the encoded video's PSNR against the drawn frames.
#pragma once

#include <string>

// Runs `demo-capture --video` over the whole 130 s in a child process, timing
// its wall and CPU time, then draws every 30th frame again through the
// headless renderer (which must be started) and compares the video's frames with
// them in the encoder's own 4:2:0 colour space. Prints the figures, or why
// there are none.
void printWholeCapture(const std::string& mediaDir, const std::string& captureBinary);
