// The layer schedule: eight permanent layers drawn every frame, bottom to top,
// then the three closing layers once their time tests pass. The fades' times
// and rates come from the active timeline; every uniform, every factor of a
// product and every time test takes its own clock reading.
#include "presentation/layers.h"

#include "gpu/gl_entry_points.h"
#include "gpu/program.h"
#include "presentation/clock.h"
#include "presentation/handles.h"
#include "presentation/timeline.h"

#include <GL/glu.h>

#include <algorithm>

float ramp(float x, float k) {
  const float product = x * k;
  return std::min(std::max(product, 0.0f), 1.0f);
}

using namespace timeline;

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

float fadeIn(const Fade& f) { return ramp(demoTime() - f.at, f.rate); }
float fadeOut(const Fade& f) { return ramp(f.at - demoTime(), f.rate); }

// A fade-in times a fade-out; each factor takes its own clock reading, the
// fade-out first.
float fadeInOut(const Fade& in, const Fade& out) {
  const float outFactor = fadeOut(out);
  const float inFactor = fadeIn(in);
  return outFactor * inFactor;
}

void drawOverlay(GLuint texture, const Fade& in, const Fade& out) {
  beginLayer(texture, overlayProgram);
  setUniform1f(overlayProgram, "alpha", fadeInOut(in, out));
  drawFullScreenQuad();
}

}  // namespace

void drawLayers() {
  const Timeline& tl = timeline::active();

  // Plasma background, opaque in every frame.
  beginLayer(noiseTexture, plasmaProgram);
  setUniform1f(plasmaProgram, "time", demoTime());
  setUniform1f(plasmaProgram, "size", 1.0f);
  setUniform1f(plasmaProgram, "prln",
               std::min(std::max(demoTime() * kPlasmaLinesRate - plasmaLinesOffset(tl), 0.0f),
                        kPlasmaLinesMax));
  setUniform1i(plasmaProgram, "rt", 0);
  setUniform1f(plasmaProgram, "transition", fadeIn(tl.boxIn));
  drawFullScreenQuad();

  // Morph object. It samples no texture, so the noise stays bound. Its camera
  // is the look-at matrix, which it reads back through the inverse modelview;
  // the later quads ignore the matrix.
  GlEntryPoints.glUseProgram(morphProgram);
  setUniform1f(morphProgram, "time", demoTime());
  setUniform1f(morphProgram, "offset", fadeIn(tl.morphOffsetIn));
  setUniform1f(morphProgram, "alpha", fadeIn(tl.morphIn));
  setUniform1f(morphProgram, "transition", fadeIn(tl.boxIn));
  gluLookAt(0, 20, 5, 0, 0, 0, 0, 1, 0);
  drawFullScreenQuad();

  // Logo, settling out of its warp as it fades out.
  beginLayer(logoTexture, imageWarpProgram);
  setUniform1f(imageWarpProgram, "alpha", fadeOut(tl.logoOut));
  drawFullScreenQuad();

  beginLayer(starfieldTexture, starfieldProgram);
  setUniform1f(starfieldProgram, "time", demoTime());
  setUniform1f(starfieldProgram, "alpha", fadeIn(tl.starfieldIn));
  drawFullScreenQuad();

  // Three pictures, one after the other, through the one overlay program.
  drawOverlay(oldschoolTexture, tl.oldschoolIn, tl.oldschoolOut);
  drawOverlay(spaceTexture, tl.spaceIn, tl.spaceOut);
  drawOverlay(loveTexture, tl.loveIn, tl.loveOut);

  beginLayer(scrollerTexture, scrollerProgram);
  setUniform1f(scrollerProgram, "time", demoTime());
  setUniform1f(scrollerProgram, "alpha", fadeIn(tl.scrollerIn));
  drawFullScreenQuad();

  if (demoTime() > tl.closing) {
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
  // after the closing text that is the warp program at alpha 1 from the closing text.
  if (demoTime() > tl.endPicture) {
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
