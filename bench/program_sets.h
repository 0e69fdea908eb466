// Two sets of the six programs behind the one drawing path: drawLayers draws
// with whatever the process-wide handles of presentation/handles.h hold, so
// switching sets is assigning those handles.
#pragma once

#include "gpu/shaders.h"

#include <GL/gl.h>

#include <cstdint>
#include <vector>

// One handle per fragment program of the shader list (morph, imageWarp, ...).
struct ProgramSet {
#define PROGRAM_SET_FIELD(ident, label, file, vertexIdent, vertexFile) GLuint ident = 0;
  SHADERS_FRAGMENT_LIST(PROGRAM_SET_FIELD)
#undef PROGRAM_SET_FIELD
};

// The handles drawLayers uses now (after buildPrograms, the presentation's).
ProgramSet currentProgramSet();

// Builds the literal programs of bench/reference_shaders/, each with the
// plain pass-through vertex stage, in the order buildPrograms uses. Needs a current context.
ProgramSet buildReferencePrograms();

// Points the process-wide handles at `set`, so the next drawLayers uses it.
void useProgramSet(const ProgramSet& set);

// How far two RGB frames of the same size are apart.
struct FrameAgreement {
  double shareWithin = 0;  // share of pixels whose every channel is within the tolerance
  int maxDifference = 0;   // largest difference of any channel, 0..255
};

// Compares two tightly packed RGB frames channel by channel; `tolerance` is
// in 1/255 steps. Frames of different sizes agree nowhere.
FrameAgreement compareFrames(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b,
                             int tolerance);
