// An OpenGL context with no window and no X server: Mesa's surfaceless EGL
// platform with a pbuffer as the default framebuffer. Used by the capture
// tool, the benchmark and the tests; the window player uses SDL instead.
#pragma once

#include <string>

// Creates the context, makes it current and routes the GL entry-point lookup
// through EGL. Returns false with the reason in `error` when EGL, the
// surfaceless platform or a desktop GL context is not available.
bool createHeadlessGl(int width, int height, std::string* error);

// Releases the context and the display; the lookup goes back to SDL's.
void destroyHeadlessGl();
