// Supersampled frames reduced by gpu/shaders/box_filter.frag.
#include "gpu/supersample.h"

#include "gpu/frame_readback.h"
#include "gpu/gl_entry_points.h"
#include "gpu/program.h"
#include "gpu/shaders.h"

namespace {

struct {
  GLuint program = 0;
  // The large frame as a texture: copied into by the capture, drawn into
  // through `framebuffer` by the player.
  GLuint texture = 0;
  int textureWidth = 0, textureHeight = 0;
  GLuint framebuffer = 0;
} state;

// A texture of at least width × height texels to hold the large frame; it
// is made again only when the size changes.
void useFrameTexture(int width, int height) {
  if (!state.texture) glGenTextures(1, &state.texture);
  glBindTexture(GL_TEXTURE_2D, state.texture);
  if (state.textureWidth == width && state.textureHeight == height) return;
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
  state.textureWidth = width;
  state.textureHeight = height;
}

// Draws the bound frame texture, n times the size of the viewport
// (x, y, width, height), reduced into that viewport.
void reduceInto(int n, int x, int y, int width, int height) {
  if (!state.program)
    state.program = buildProgram(shaders::vertex, shaders::boxFilter, "box filter");
  glViewport(x, y, width, height);
  const GLboolean blending = glIsEnabled(GL_BLEND);
  glDisable(GL_BLEND);
  GlEntryPoints.glUseProgram(state.program);
  setUniform1i(state.program, "frame", 0);
  setUniform1i(state.program, "n", n);
  GlEntryPoints.glUniform4f(GlEntryPoints.glGetUniformLocation(state.program, "place"),
                            static_cast<float>(x), static_cast<float>(y),
                            1.0f / static_cast<float>(state.textureWidth),
                            1.0f / static_cast<float>(state.textureHeight));
  glRects(-1, 1, 1, -1);
  if (blending) glEnable(GL_BLEND);
}

}  // namespace

void readFrameReduced(int width, int height, int n, RowOrder order, std::vector<uint8_t>* rgb) {
  if (n > 1) {
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    useFrameTexture(width * n, height * n);
    glCopyTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 0, 0, width * n, height * n);
    reduceInto(n, 0, 0, width, height);
    glViewport(viewport[0], viewport[1], viewport[2], viewport[3]);
  }
  readFrameRgbBottomUp(width, height, rgb);
  if (order == RowOrder::topFirst) flipRgbRows(width, height, rgb);
}

bool drawSupersampled(int n, int x, int y, int width, int height, void (*draw)(),
                      std::string* error) {
  const GlExtraEntryPoints& gl = glExtraEntryPoints();
  if (!gl.glGenFramebuffers || !gl.glBindFramebuffer || !gl.glFramebufferTexture2D ||
      !gl.glCheckFramebufferStatus) {
    *error = "the OpenGL driver has no framebuffer objects (OpenGL 3.0)";
    return false;
  }
  const bool resized = state.textureWidth != width * n || state.textureHeight != height * n;
  useFrameTexture(width * n, height * n);
  if (!state.framebuffer) gl.glGenFramebuffers(1, &state.framebuffer);
  gl.glBindFramebuffer(GL_FRAMEBUFFER, state.framebuffer);
  if (resized) {
    gl.glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, state.texture,
                              0);
  }
  if (gl.glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
    gl.glBindFramebuffer(GL_FRAMEBUFFER, 0);
    *error = "the OpenGL driver cannot draw into a " + std::to_string(width * n) + "x" +
             std::to_string(height * n) + " framebuffer";
    return false;
  }
  glViewport(0, 0, width * n, height * n);
  draw();
  gl.glBindFramebuffer(GL_FRAMEBUFFER, 0);
  // The margins around the strip are the window's own, cleared as draw()
  // clears its framebuffer.
  glClear(GL_COLOR_BUFFER_BIT);
  glBindTexture(GL_TEXTURE_2D, state.texture);
  reduceInto(n, x, y, width, height);
  return true;
}
