// An OpenGL context with no window and no X server: Mesa's surfaceless EGL
// platform with a pbuffer as the default framebuffer. Used by the capture
// tool, the benchmark and the tests; the window player uses SDL instead.
#pragma once

#include <string>

// Creates the context and makes it current. Returns false with the reason in
// `error` when EGL, the surfaceless platform or a desktop GL context is not
// available. The caller routes its GL entry-point lookup through
// headlessGlProcAddress while the context lives.
bool createHeadlessGl(int width, int height, std::string* error);

// Releases the context and the display.
void destroyHeadlessGl();

// EGL's address of the GL entry point `name`, null when there is none.
void* headlessGlProcAddress(const char* name);
