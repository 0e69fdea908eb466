// Headless OpenGL through EGL on Mesa's surfaceless platform.
#include "platform/headless_gl.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>

#include <cstdio>

namespace {

struct {
  EGLDisplay display = EGL_NO_DISPLAY;
  EGLSurface surface = EGL_NO_SURFACE;
  EGLContext context = EGL_NO_CONTEXT;
} state;

bool fail(std::string* error, const std::string& what) {
  if (error)
    *error = what + " (EGL error 0x" + [] {
      char hex[16];
      std::snprintf(hex, sizeof hex, "%04X", static_cast<unsigned>(eglGetError()));
      return std::string(hex);
    }() + ")";
  destroyHeadlessGl();
  return false;
}

}  // namespace

bool createHeadlessGl(int width, int height, std::string* error) {
  destroyHeadlessGl();
  auto getPlatformDisplay = reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(
      eglGetProcAddress("eglGetPlatformDisplayEXT"));
  if (!getPlatformDisplay) return fail(error, "EGL has no eglGetPlatformDisplayEXT");
  state.display = getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
  if (state.display == EGL_NO_DISPLAY) return fail(error, "no surfaceless EGL display");
  if (!eglInitialize(state.display, nullptr, nullptr)) {
    state.display = EGL_NO_DISPLAY;
    return fail(error, "cannot initialise the surfaceless EGL display");
  }
  if (!eglBindAPI(EGL_OPENGL_API)) return fail(error, "EGL offers no desktop OpenGL");

  const EGLint configAttributes[] = {EGL_SURFACE_TYPE,
                                     EGL_PBUFFER_BIT,
                                     EGL_RENDERABLE_TYPE,
                                     EGL_OPENGL_BIT,
                                     EGL_RED_SIZE,
                                     8,
                                     EGL_GREEN_SIZE,
                                     8,
                                     EGL_BLUE_SIZE,
                                     8,
                                     EGL_ALPHA_SIZE,
                                     8,
                                     EGL_NONE};
  EGLConfig config;
  EGLint found = 0;
  if (!eglChooseConfig(state.display, configAttributes, &config, 1, &found) || found < 1) {
    return fail(error, "no EGL config with an RGBA8 pbuffer for OpenGL");
  }
  const EGLint surfaceAttributes[] = {EGL_WIDTH, width, EGL_HEIGHT, height, EGL_NONE};
  state.surface = eglCreatePbufferSurface(state.display, config, surfaceAttributes);
  if (state.surface == EGL_NO_SURFACE) return fail(error, "cannot create the pbuffer");
  // No version asked: Mesa then gives its newest compatibility-profile
  // context, which keeps GLSL 1.10's built-ins (gl_Vertex, gl_FragColor).
  state.context = eglCreateContext(state.display, config, EGL_NO_CONTEXT, nullptr);
  if (state.context == EGL_NO_CONTEXT) return fail(error, "cannot create an OpenGL context");
  if (!eglMakeCurrent(state.display, state.surface, state.surface, state.context)) {
    return fail(error, "cannot make the OpenGL context current");
  }
  return true;
}

void destroyHeadlessGl() {
  if (state.display != EGL_NO_DISPLAY) {
    eglMakeCurrent(state.display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    if (state.context != EGL_NO_CONTEXT) eglDestroyContext(state.display, state.context);
    if (state.surface != EGL_NO_SURFACE) eglDestroySurface(state.display, state.surface);
    eglTerminate(state.display);
  }
  state.display = EGL_NO_DISPLAY;
  state.surface = EGL_NO_SURFACE;
  state.context = EGL_NO_CONTEXT;
}

void* headlessGlProcAddress(const char* name) {
  return reinterpret_cast<void*>(eglGetProcAddress(name));
}
