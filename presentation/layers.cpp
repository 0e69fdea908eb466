// The layer schedule: eight permanent layers drawn every frame, bottom to top,
// then the three closing layers once their time tests pass.
#include "presentation/layers.h"

#include "gpu/gl_entry_points.h"
#include "gpu/program.h"
#include "presentation/clock.h"
#include "presentation/handles.h"

#include <GL/glu.h>

#include <algorithm>

float ramp(float x, float k) {
  const float product = x * k;
  return std::min(std::max(product, 0.0f), 1.0f);
}

namespace {

// Every permanent layer binds its texture and makes its program current, even
// when that program is current already, before it sets any uniform.
void beginLayer(GLuint texture, GLuint program) {
  glBindTexture(GL_TEXTURE_2D, texture);
  GlEntryPoints.glUseProgram(program);
}

// The shared vertex stage passes positions through, so this covers the
// viewport whatever matrices are loaded.
void drawFullScreenQuad() { glRects(-1, 1, 1, -1); }

// A fade-in from `start` at rate `in` times a fade-out to `end` at rate `out`;
// each factor takes its own clock reading, the fade-out first.
float fadeInOut(float start, float in, float end, float out) {
  const float fadeOut = ramp(end - demoTime(), out);
  const float fadeIn = ramp(demoTime() - start, in);
  return fadeOut * fadeIn;
}

void drawOverlay(GLuint texture, float start, float in, float end, float out) {
  beginLayer(texture, overlayProgram);
  setUniform1f(overlayProgram, "alpha", fadeInOut(start, in, end, out));
  drawFullScreenQuad();
}

}  // namespace

void drawLayers() {
  // Plasma background, opaque in every frame.
  beginLayer(noiseTexture, plasmaProgram);
  setUniform1f(plasmaProgram, "time", demoTime());
  setUniform1f(plasmaProgram, "size", 1.0f);
  setUniform1f(plasmaProgram, "prln",
               std::min(std::max(demoTime() * 0.0625f - 2.885625f, 0.0f), 0.5f));
  setUniform1i(plasmaProgram, "rt", 0);
  setUniform1f(plasmaProgram, "transition", ramp(demoTime() - 68.0f, 0.5f));
  drawFullScreenQuad();

  // Morph object. It samples no texture, so the noise stays bound. Its camera
  // is the look-at matrix, which it reads back through the inverse modelview;
  // the later quads ignore the matrix.
  GlEntryPoints.glUseProgram(morphProgram);
  setUniform1f(morphProgram, "time", demoTime());
  setUniform1f(morphProgram, "offset", ramp(demoTime() - 46.17f, 0.25f));
  setUniform1f(morphProgram, "alpha", ramp(demoTime() - 25.002f, 0.5f));
  setUniform1f(morphProgram, "transition", ramp(demoTime() - 68.0f, 0.5f));
  gluLookAt(0, 20, 5, 0, 0, 0, 0, 1, 0);
  drawFullScreenQuad();

  // Logo, settling out of its warp as it fades out.
  beginLayer(logoTexture, imageWarpProgram);
  setUniform1f(imageWarpProgram, "alpha", ramp(9.0f - demoTime(), 0.2f));
  drawFullScreenQuad();

  beginLayer(starfieldTexture, starfieldProgram);
  setUniform1f(starfieldProgram, "time", demoTime());
  setUniform1f(starfieldProgram, "alpha", ramp(demoTime() - 91.0f, 0.2f));
  drawFullScreenQuad();

  // Three pictures, one after the other, through the one overlay program.
  drawOverlay(oldschoolTexture, 20.0f, 0.5f, 30.0f, 0.5f);
  drawOverlay(spaceTexture, 55.0f, 0.5f, 65.0f, 0.5f);
  drawOverlay(loveTexture, 75.0f, 0.2f, 85.0f, 0.5f);

  beginLayer(scrollerTexture, scrollerProgram);
  setUniform1f(scrollerProgram, "time", demoTime());
  setUniform1f(scrollerProgram, "alpha", ramp(demoTime() - 105.0f, 0.2f));
  drawFullScreenQuad();

  if (demoTime() > 120.0f) {
    // Closing text, drawn plainly: the warp program at alpha 1 does not warp.
    beginLayer(guruTextTexture, imageWarpProgram);
    setUniform1f(imageWarpProgram, "alpha", 1.0f);
    drawFullScreenQuad();

    // The rectangle blinks at 1 Hz, on for the first half of each second.
    const int halfSeconds = static_cast<int>(demoTime() * 2.0f);
    if (halfSeconds % 2 == 0) {
      glBindTexture(GL_TEXTURE_2D, guruRectTexture);
      drawFullScreenQuad();
    }
  }

  // The end picture goes over everything with whatever program is current;
  // after 120 s that is the warp program at alpha 1 from the closing text.
  if (demoTime() > 123.5f) {
    glBindTexture(GL_TEXTURE_2D, testhallTexture);
    drawFullScreenQuad();
  }
}

void drawFrame() {
  glClear(GL_COLOR_BUFFER_BIT);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  drawLayers();
}
