// The layer schedule: eight permanent layers drawn every frame, bottom to top,
// then the maker's layers of the timeline file, then the three closing layers
// once their time tests pass, one block per entry of the layer list. The
// fades' times and rates come from the active
// timeline; every uniform, every factor of a product and every time test
// takes its own clock reading.
#include "presentation/layers.h"

#include "gpu/gl_entry_points.h"
#include "gpu/program.h"
#include "presentation/clock.h"
#include "presentation/handles.h"
#include "presentation/layer_list.h"
#include "presentation/maker_layers.h"
#include "presentation/timeline.h"

#include <GL/glu.h>

#include <algorithm>

float ramp(float x, float k) {
  const float product = x * k;
  return std::min(std::max(product, 0.0f), 1.0f);
}

using namespace timeline;

namespace {

void (*layerDrawn)(LayerId) = nullptr;
void (*makerLayerDrawn)(int) = nullptr;

// Every permanent layer binds its texture and makes its program current, even
// when that program is current already, before it sets any uniform.
const Layer& beginLayer(LayerId id) {
  const Layer& layer = layerOf(id);
  glBindTexture(GL_TEXTURE_2D, *layer.texture);
  GlEntryPoints.glUseProgram(*layer.program);
  return layer;
}

// The shared vertex stage passes positions through, so this covers the
// viewport whatever matrices are loaded.
void drawQuad(LayerId id) {
  if (layerDrawn) layerDrawn(id);
  glRects(-1, 1, 1, -1);
}

float fadeIn(const Fade& f) { return ramp(demoTime() - f.at, f.rate); }

float alphaOf(const Timeline& tl, const Layer& layer) {
  return fadedAlpha(fadeOf(tl, layer.in), fadeOf(tl, layer.out), demoTime);
}

// The plasma's perlin lines grow from the start of the morph's offset up to
// their cap.
float plasmaLines(const Fade& offset) {
  return std::min(std::max(demoTime() * kPlasmaLinesRate - offset.at * kPlasmaLinesRate, 0.0f),
                  kPlasmaLinesMax);
}

void drawOverlay(const Timeline& tl, LayerId id) {
  const Layer& overlay = beginLayer(id);
  setUniform1f(overlayProgram, "alpha", alphaOf(tl, overlay));
  drawQuad(id);
}

}  // namespace

void setLayerDrawnHook(void (*hook)(LayerId layer)) { layerDrawn = hook; }
void setMakerLayerDrawnHook(void (*hook)(int index)) { makerLayerDrawn = hook; }

void drawLayers() {
  const Timeline& tl = timeline::active();

  // Plasma background, opaque in every frame.
  const Layer& plasma = beginLayer(LayerId::plasma);
  setUniform1f(plasmaProgram, "time", demoTime());
  setUniform1f(plasmaProgram, "size", 1.0f);
  setUniform1f(plasmaProgram, "prln", plasmaLines(tl.fade(plasma.offset)));
  setUniform1i(plasmaProgram, "rt", 0);
  setUniform1f(plasmaProgram, "transition", fadeIn(tl.fade(plasma.transition)));
  drawQuad(LayerId::plasma);

  // Morph object. It samples no texture, so the noise stays bound. Its camera
  // is the look-at matrix, which it reads back through the inverse modelview;
  // the later quads ignore the matrix.
  const Layer& morph = layerOf(LayerId::morph);
  GlEntryPoints.glUseProgram(*morph.program);
  setUniform1f(morphProgram, "time", demoTime());
  setUniform1f(morphProgram, "offset", fadeIn(tl.fade(morph.offset)));
  setUniform1f(morphProgram, "alpha", alphaOf(tl, morph));
  setUniform1f(morphProgram, "transition", fadeIn(tl.fade(morph.transition)));
  gluLookAt(0, 20, 5, 0, 0, 0, 0, 1, 0);
  drawQuad(LayerId::morph);

  // Logo, settling out of its warp as it fades out.
  const Layer& logo = beginLayer(LayerId::logo);
  setUniform1f(imageWarpProgram, "alpha", alphaOf(tl, logo));
  drawQuad(LayerId::logo);

  const Layer& starfield = beginLayer(LayerId::starfield);
  setUniform1f(starfieldProgram, "time", demoTime());
  setUniform1f(starfieldProgram, "alpha", alphaOf(tl, starfield));
  drawQuad(LayerId::starfield);

  // Three pictures, one after the other, through the one overlay program.
  drawOverlay(tl, LayerId::oldschool);
  drawOverlay(tl, LayerId::space);
  drawOverlay(tl, LayerId::love);

  const Layer& scroller = beginLayer(LayerId::scroller);
  setUniform1f(scrollerProgram, "time", demoTime());
  setUniform1f(scrollerProgram, "alpha", alphaOf(tl, scroller));
  drawQuad(LayerId::scroller);

  // The maker's layers of the timeline file, in its order, each a program
  // over the viewport with the uniforms it may declare.
  const std::vector<BuiltMakerLayer>& makers = builtMakerLayers();
  GLint viewport[4] = {};
  if (!makers.empty()) glGetIntegerv(GL_VIEWPORT, viewport);
  for (size_t i = 0; i < makers.size(); ++i) {
    const BuiltMakerLayer& layer = makers[i];
    glBindTexture(GL_TEXTURE_2D, layer.texture);
    GlEntryPoints.glUseProgram(layer.program);
    setUniform1f(layer.program, "time", demoTime());
    setUniform1f(
        layer.program, "alpha",
        fadedAlpha(&tl.fade(layer.in), layer.out < 0 ? nullptr : &tl.fade(layer.out), demoTime));
    setUniform2f(layer.program, "resolution", static_cast<float>(viewport[2]),
                 static_cast<float>(viewport[3]));
    setUniform1i(layer.program, "picture", 0);
    if (makerLayerDrawn) makerLayerDrawn(static_cast<int>(i));
    glRects(-1, 1, 1, -1);
  }

  if (demoTime() > afterOf(tl, layerOf(LayerId::closingText))) {
    // Closing text, drawn plainly: the warp program at alpha 1 does not warp.
    beginLayer(LayerId::closingText);
    setUniform1f(imageWarpProgram, "alpha", 1.0f);
    drawQuad(LayerId::closingText);

    // The rectangle blinks at 1 Hz, on for the first half of each second.
    const int halfSeconds = static_cast<int>(demoTime() * 2.0f);
    if (halfSeconds % 2 == 0) {
      glBindTexture(GL_TEXTURE_2D, *layerOf(LayerId::blinkingRectangle).texture);
      drawQuad(LayerId::blinkingRectangle);
    }
  }

  // The end picture goes over everything with whatever program is current;
  // after the closing text that is the warp program at alpha 1 from the closing text.
  if (demoTime() > afterOf(tl, layerOf(LayerId::endPicture))) {
    glBindTexture(GL_TEXTURE_2D, *layerOf(LayerId::endPicture).texture);
    drawQuad(LayerId::endPicture);
  }
}

void drawFrame() {
  glClear(GL_COLOR_BUFFER_BIT);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  drawLayers();
}
