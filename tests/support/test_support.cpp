// Shared helpers of the test suite.
#include "tests/support/test_support.h"

#include "gpu/gl_entry_points.h"
#include "gpu/program.h"
#include "gpu/shaders.h"
#include "platform/headless_gl.h"
#include "platform/stderr_capture.h"
#include "presentation/media.h"
#include "presentation/window.h"

#include <gtest/gtest.h>

#include <unistd.h>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace testing_support {

void requireHeadlessGl(int width, int height) {
  std::string error;
  if (!createHeadlessGl(width, height, &error)) {
    std::fprintf(stderr, "headless GL unavailable: %s\n", error.c_str());
    std::exit(1);
  }
  setGlProcLookup(headlessGlProcAddress);
}

bool openPresentationWindow() {
  for (int attempt = 0; attempt < 20; ++attempt) {
    if (SDL_Init(SDL_INIT_VIDEO) == 0 &&
        SDL_SetVideoMode(kWindowWidth, kWindowHeight, kWindowDepth, SDL_OPENGL | SDL_DOUBLEBUF)) {
      return true;
    }
    std::fprintf(stderr, "opening the window failed (%s); trying again\n", SDL_GetError());
    SDL_Quit();
    usleep(100000);
  }
  return false;
}

std::string captureStderr(const std::function<void()>& body) { return stderrOf(body); }

std::array<int, 4> pixelAt(int x, int y) {
  unsigned char p[4] = {0, 0, 0, 0};
  glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p);
  return {p[0], p[1], p[2], p[3]};
}

std::vector<unsigned char> readPixels(int x, int y, int width, int height) {
  std::vector<unsigned char> pixels(static_cast<size_t>(width) * height * 4);
  glReadPixels(x, y, width, height, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
  return pixels;
}

const std::string kGeneratedMedia = DEMO_BINARY_DIR "/media";

std::string writeMakerTimeline(const std::string& folder) {
  std::ifstream builtin(DEMO_SOURCE_DIR "/presentation/timeline.txt");
  std::stringstream text;
  text << builtin.rdbuf()
       << "rippleIn 40 0.5 in\nrippleOut 110 0.5 out\nbadgeIn 100 1 in\n"
          "layer ripple ripple.frag - rippleIn rippleOut\n"
          "layer badge badge.frag badge.png badgeIn\n";
  std::ofstream(folder + "/timeline.txt") << text.str();
  std::ofstream(folder + "/ripple.frag")
      << "uniform float time;\nuniform float alpha;\nuniform vec2 resolution;\n"
         "void main()\n{\n"
         "    gl_FragColor = vec4(gl_FragCoord.xy / resolution, 0.5 + 0.5 * sin(time), alpha);\n"
         "}\n";
  std::ofstream(folder + "/badge.frag")
      << "varying vec4 v;\nuniform float alpha;\nuniform sampler2D picture;\n"
         "void main()\n{\n"
         "    gl_FragColor = texture2D(picture, v.xy * 0.5 + 0.5) * vec4(1.0, 1.0, 1.0, alpha);\n"
         "}\n";
  std::ifstream picture(kGeneratedMedia + "/" DEMO_LARGE_PICTURE_FOLDER "/space.png",
                        std::ios::binary);
  std::ofstream(folder + "/badge.png", std::ios::binary) << picture.rdbuf();
  return folder + "/timeline.txt";
}

bool generatedMediaPresent() {
  for (const MediaFile& file : kMediaFiles) {
    if (access((kGeneratedMedia + "/" + file.name).c_str(), R_OK) != 0) return false;
  }
  return true;
}

std::string makeTempDir() {
  char path[] = "/tmp/demo-test-XXXXXX";
  if (!mkdtemp(path)) std::abort();
  return path;
}

void writeBmp(const std::string& path, int width, int height,
              const std::function<std::array<Uint8, 3>(int, int)>& colour) {
  SDL_Surface* s = SDL_CreateRGBSurface(0, width, height, 24, 0x0000FF, 0x00FF00, 0xFF0000, 0);
  ASSERT_NE(s, nullptr);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      std::array<Uint8, 3> c = colour(x, y);
      Uint8* p = static_cast<Uint8*>(s->pixels) + y * s->pitch + x * 3;
      p[0] = c[0];
      p[1] = c[1];
      p[2] = c[2];
    }
  }
  ASSERT_EQ(SDL_SaveBMP(s, path.c_str()), 0);
  SDL_FreeSurface(s);
}

GLuint drawWithFragment(const char* fragment) {
  GLuint program = buildProgram(shaders::vertex, fragment, "test");
  GlEntryPoints.glUseProgram(program);
  glRects(-1, 1, 1, -1);
  return program;
}

}  // namespace testing_support
