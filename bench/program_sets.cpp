// Switching the program handles between the presentation's set and the literal one.
#include "bench/program_sets.h"

#include "bench/reference_shaders.h"
#include "gpu/program.h"
#include "presentation/handles.h"

#include <algorithm>
#include <cstdlib>

ProgramSet currentProgramSet() {
  ProgramSet set;
#define PROGRAM_SET_READ(ident, label, file, vertexIdent, vertexFile) set.ident = ident##Program;
  SHADERS_FRAGMENT_LIST(PROGRAM_SET_READ)
#undef PROGRAM_SET_READ
  return set;
}

ProgramSet buildReferencePrograms() {
  ProgramSet set;
#define PROGRAM_SET_BUILD(ident, label, file, vertexIdent, vertexFile) \
  set.ident = buildProgram(shaders::vertex, reference_shaders::ident, "reference " label);
  SHADERS_FRAGMENT_LIST(PROGRAM_SET_BUILD)
#undef PROGRAM_SET_BUILD
  return set;
}

void useProgramSet(const ProgramSet& set) {
#define PROGRAM_SET_WRITE(ident, label, file, vertexIdent, vertexFile) ident##Program = set.ident;
  SHADERS_FRAGMENT_LIST(PROGRAM_SET_WRITE)
#undef PROGRAM_SET_WRITE
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
