// Switching the program handles between the presentation's set and the literal one.
#include "bench/program_sets.h"

#include "bench/reference_shaders.h"
#include "gpu/program.h"
#include "presentation/handles.h"

#include <algorithm>
#include <cstdlib>

ProgramSet currentProgramSet() {
  ProgramSet set;
  set.morph = morphProgram;
  set.imageWarp = imageWarpProgram;
  set.plasma = plasmaProgram;
  set.starfield = starfieldProgram;
  set.overlay = overlayProgram;
  set.scroller = scrollerProgram;
  return set;
}

ProgramSet buildReferencePrograms() {
  ProgramSet set;
  set.morph = buildProgram(shaders::vertex, reference_shaders::morph, "reference morph");
  set.imageWarp =
      buildProgram(shaders::vertex, reference_shaders::imageWarp, "reference image warp");
  set.plasma = buildProgram(shaders::vertex, reference_shaders::plasma, "reference plasma");
  set.starfield =
      buildProgram(shaders::vertex, reference_shaders::starfield, "reference starfield");
  set.overlay = buildProgram(shaders::vertex, reference_shaders::overlay, "reference overlay");
  set.scroller = buildProgram(shaders::vertex, reference_shaders::scroller, "reference scroller");
  return set;
}

void useProgramSet(const ProgramSet& set) {
  morphProgram = set.morph;
  imageWarpProgram = set.imageWarp;
  plasmaProgram = set.plasma;
  starfieldProgram = set.starfield;
  overlayProgram = set.overlay;
  scrollerProgram = set.scroller;
}

FrameAgreement compareFrames(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b,
                             int tolerance) {
  FrameAgreement result;
  if (a.size() != b.size() || a.empty() || a.size() % 3 != 0) {
    result.maxDifference = 255;
    return result;
  }
  const size_t pixels = a.size() / 3;
  size_t within = 0;
  for (size_t i = 0; i < pixels; ++i) {
    int worst = 0;
    for (size_t c = 0; c < 3; ++c) {
      worst = std::max(worst, std::abs(int{a[i * 3 + c]} - int{b[i * 3 + c]}));
    }
    within += worst <= tolerance;
    result.maxDifference = std::max(result.maxDifference, worst);
  }
  result.shareWithin = static_cast<double>(within) / static_cast<double>(pixels);
  return result;
}
