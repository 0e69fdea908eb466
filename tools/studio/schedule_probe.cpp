// Reads the layer schedule back from drawLayers through the entry-point table
// and the full-screen quad, without drawing.
#include "tools/studio/schedule_probe.h"

#include "gpu/gl_entry_points.h"
#include "gpu/shaders.h"
#include "presentation/handles.h"
#include "presentation/layers.h"
#include "presentation/maker_layers.h"

#include <dlfcn.h>

#include <cstring>
#include <map>

namespace {

// The shader list's programs and the media list's pictures, for names.
const struct {
  const GLuint* handle;
  const char* label;
} kPrograms[] = {
#define PROBE_PROGRAM_ENTRY(ident, label, file, vertexIdent, vertexFile) {&ident##Program, label},
    SHADERS_FRAGMENT_LIST(PROBE_PROGRAM_ENTRY)
#undef PROBE_PROGRAM_ENTRY
};
const struct {
  const GLuint* handle;
  const char* id;
} kPictures[] = {
#define PROBE_PICTURE_ENTRY(id, file, handle, role) {&handle, #id},
    DEMO_TEXTURE_LIST(PROBE_PICTURE_ENTRY)
#undef PROBE_PICTURE_ENTRY
};

GLint glInteger(GLenum name) {
  GLint value = 0;
  glGetIntegerv(name, &value);
  return value;
}

// What the probe of one frame has seen so far.
struct Probe {
  bool active = false;
  std::string lastName;  // the uniform whose location was looked up last
  std::vector<ProbedUniform> pending;
  std::map<GLuint, float> alphaOf;  // each program's alpha as last set in this frame
  std::vector<ProbedLayer> layers;
  GlEntryPointTable real;
} probe;

GLint recordGetUniformLocation(GLuint program, const GLchar* name) {
  probe.lastName = name;
  return probe.real.glGetUniformLocation(program, name);
}

void recordUniform(float value) {
  probe.pending.push_back({probe.lastName, value});
  if (probe.lastName == "alpha")
    probe.alphaOf[static_cast<GLuint>(glInteger(GL_CURRENT_PROGRAM))] = value;
}

void recordUniform1f(GLint location, GLfloat value) {
  recordUniform(value);
  probe.real.glUniform1f(location, value);
}

void recordUniform1i(GLint location, GLint value) {
  recordUniform(static_cast<float>(value));
  probe.real.glUniform1i(location, value);
}

void recordQuad() {
  const GLuint program = static_cast<GLuint>(glInteger(GL_CURRENT_PROGRAM));
  const GLuint texture = static_cast<GLuint>(glInteger(GL_TEXTURE_BINDING_2D));
  ProbedLayer layer{"", nullptr, true, 1.0f, std::move(probe.pending)};
  probe.pending.clear();
  std::string label = "?", picture = "?";
  for (const auto& p : kPrograms) {
    if (*p.handle == program) {
      layer.program = p.handle;
      label = p.label;
    }
  }
  for (const auto& p : kPictures) {
    if (*p.handle == texture) {
      picture = p.id;
      break;
    }
  }
  layer.name = label == picture ? label : label + ": " + picture;
  // A maker's layer goes by the name its line gives it.
  for (const BuiltMakerLayer& maker : builtMakerLayers()) {
    if (maker.program == program) {
      layer.program = &maker.program;
      layer.name = "layer: " + maker.name;
    }
  }
  const auto alpha = probe.alphaOf.find(program);
  if (alpha != probe.alphaOf.end()) {
    layer.alpha = alpha->second;
    layer.visible = alpha->second > 0;
  }
  probe.layers.push_back(std::move(layer));
}

}  // namespace

// The layers draw each quad with glRects; the studio's own definition takes
// those calls (it is linked into the executable, so the layer code binds to
// it) and passes them on to libGL's unless a probe is running.
extern "C" void glRects(GLshort x1, GLshort y1, GLshort x2, GLshort y2) {
  if (probe.active) {
    recordQuad();
    return;
  }
  using Rects = void (*)(GLshort, GLshort, GLshort, GLshort);
  static const Rects real = reinterpret_cast<Rects>(dlsym(RTLD_NEXT, "glRects"));
  real(x1, y1, x2, y2);
}

std::vector<ProbedLayer> probeLayers() {
  probe.real = GlEntryPoints;
  probe.pending.clear();
  probe.alphaOf.clear();
  probe.layers.clear();
  GlEntryPoints.glGetUniformLocation = recordGetUniformLocation;
  GlEntryPoints.glUniform1f = recordUniform1f;
  GlEntryPoints.glUniform1i = recordUniform1i;
  probe.active = true;
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  drawLayers();
  glPopMatrix();
  probe.active = false;
  GlEntryPoints = probe.real;
  return std::move(probe.layers);
}

std::vector<LayerTrack> traceLayers(int samples, double step, void (*setTime)(double seconds)) {
  std::vector<LayerTrack> tracks;
  for (int i = 0; i < samples; ++i) {
    setTime(i * step);
    for (const ProbedLayer& layer : probeLayers()) {
      size_t row = 0;
      while (row < tracks.size() && tracks[row].name != layer.name) ++row;
      if (row == tracks.size()) {
        tracks.push_back(
            {layer.name, layer.program, std::vector<float>(static_cast<size_t>(samples))});
      }
      tracks[row].alpha[static_cast<size_t>(i)] = layer.alpha;
    }
  }
  return tracks;
}
