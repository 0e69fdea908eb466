// Shared helpers of the test suite: a headless GL context, stderr capture,
// pixel read-back and small image files.
#pragma once

#include <GL/gl.h>
#include <SDL.h>

#include <array>
#include <functional>
#include <string>
#include <vector>

namespace testing_support {

// Creates a headless GL context of the given size for the whole test binary
// (register with ::testing::AddGlobalTestEnvironment in main, or call once).
void requireHeadlessGl(int width, int height);

// Initialises SDL video and opens the presentation's 960 × 89 OpenGL window.
// Retries a refused X connection, which an X server gives while it
// regenerates itself; false with SDL's reason on stderr when it never opens.
bool openPresentationWindow();

// Runs `body` with file descriptor 2 redirected and returns what it printed.
std::string captureStderr(const std::function<void()>& body);

// RGBA bytes of the pixel at (x, y) of the current read buffer, y from the bottom.
std::array<int, 4> pixelAt(int x, int y);

// Whole rows, bottom row first, as glReadPixels gives them.
std::vector<unsigned char> readPixels(int x, int y, int width, int height);

// The folder the build generates the media files into, and whether
// they are all there (tests that need them skip otherwise).
extern const std::string kGeneratedMedia;
bool generatedMediaPresent();

// A new folder under the system's temp folder, removed by the caller if wanted.
std::string makeTempDir();

// Writes into `folder` a copy of the built-in timeline with two maker's
// layers and returns its path: `ripple` (ripple.frag, no picture, from 40 s
// to 110 s) paints each pixel (x / width, y / height, ..., alpha) from
// gl_FragCoord and `resolution`; `badge` (badge.frag over badge.png beside
// the file, a copy of the large space picture, from 100 s) draws its
// picture as the overlay program does.
std::string writeMakerTimeline(const std::string& folder);

// Writes a 24-bit BMP whose pixel (x, y), y from the top, has colour(x, y).
void writeBmp(const std::string& path, int width, int height,
              const std::function<std::array<Uint8, 3>(int, int)>& colour);

// Builds a program from the shared vertex stage and `fragment`, draws the
// full-screen quad with it, and returns it (made current).
GLuint drawWithFragment(const char* fragment);

}  // namespace testing_support
