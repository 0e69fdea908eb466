// Test-only build of the Windows player: the presentation's start-up in its
// real window, silent, then the frame at each given demo time read back and
// written as a binary PPM, for comparing with the Linux capture.
//   narrowband-frames.exe OUT_PREFIX T...   writes OUT_PREFIX<T>.ppm
#include "gpu/frame_readback.h"
#include "presentation/clock.h"
#include "presentation/layers.h"
#include "presentation/player.h"
#include "presentation/window.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: narrowband-frames OUT_PREFIX T...\n");
    return 2;
  }
  Startup startup = windowStartup();
  startup.startMusic = nullptr;
  std::string error;
  if (!startPresentation(startup, nullptr, &error)) {
    if (!error.empty()) std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  std::vector<uint8_t> rgb;
  for (int i = 2; i < argc; ++i) {
    setDemoTime(static_cast<float>(std::atof(argv[i])));
    drawFrame();
    readFrameRgb(kWindowWidth, kWindowHeight, &rgb);
    SDL_GL_SwapBuffers();
    const std::string path = std::string(argv[1]) + argv[i] + ".ppm";
    std::FILE* out = std::fopen(path.c_str(), "wb");
    if (!out) {
      std::fprintf(stderr, "cannot write \"%s\"\n", path.c_str());
      return 1;
    }
    std::fprintf(out, "P6\n%d %d\n255\n", kWindowWidth, kWindowHeight);
    const bool written = std::fwrite(rgb.data(), 1, rgb.size(), out) == rgb.size();
    if (std::fclose(out) != 0 || !written) {
      std::fprintf(stderr, "cannot write \"%s\"\n", path.c_str());
      return 1;
    }
  }
  return 0;
}
