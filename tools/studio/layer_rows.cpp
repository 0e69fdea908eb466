// The panel's rows from the layer list and the timeline, and the uniforms of
// the frame drawn, from the schedule's hooks.
#include "tools/studio/layer_rows.h"

#include "gpu/program.h"
#include "gpu/shaders.h"
#include "presentation/layer_list.h"
#include "presentation/layers.h"
#include "presentation/maker_layers.h"

#include <cmath>
#include <cstring>
#include <map>

namespace {

// The shader list's programs and the media list's pictures, for names.
const struct {
  const GLuint* handle;
  const char* label;
} kPrograms[] = {
#define ROW_PROGRAM_ENTRY(ident, label, file, vertexIdent, vertexFile) {&ident##Program, label},
    SHADERS_FRAGMENT_LIST(ROW_PROGRAM_ENTRY)
#undef ROW_PROGRAM_ENTRY
};
const struct {
  const GLuint* handle;
  const char* id;
} kPictures[] = {
#define ROW_PICTURE_ENTRY(id, file, handle, role) {&handle, #id},
    DEMO_TEXTURE_LIST(ROW_PICTURE_ENTRY)
#undef ROW_PICTURE_ENTRY
};

// "<program label>: <picture>", or one of them where the two are the same.
std::string rowName(const Layer& layer) {
  std::string label = "?", picture = "?";
  for (const auto& p : kPrograms) {
    if (p.handle == layer.program) label = p.label;
  }
  for (const auto& p : kPictures) {
    if (p.handle == layer.texture) picture = p.id;
  }
  return label == picture ? label : label + ": " + picture;
}

// The fade of `t` called `name`, built-in or the file's own; nullptr for "".
const Fade* fadeCalled(const Timeline& t, const std::string& name) {
  const int index = name.empty() ? -1 : t.indexOf(name);
  return index >= 0 ? &t.fade(index) : nullptr;
}

std::string fadeName(int fade) { return fade == kNoFade ? "" : kFadeNames[fade]; }

// Fills the row's alpha samples; the fades are looked up once.
void trace(LayerRow* row, const Timeline& t, int samples, double step) {
  const Fade* in = fadeCalled(t, row->in);
  const Fade* out = fadeCalled(t, row->out);
  row->alpha.assign(static_cast<size_t>(samples), 0.0f);
  for (int i = 0; i < samples; ++i) {
    const float seconds = static_cast<float>(i * step);
    if (shownAt(row->after, row->blinks, seconds)) {
      row->alpha[static_cast<size_t>(i)] = fadedAlpha(in, out, [seconds] { return seconds; });
    }
  }
}

struct Watch {
  std::vector<InspectedUniform> pending;  // set since the last layer drawn
  std::map<GLuint, float> alphaOf;        // each program's alpha as last set
  std::vector<InspectedLayer> layers;
} watch;

void watchUniform(GLuint program, const char* name, float value) {
  watch.pending.push_back({name, value});
  if (std::strcmp(name, "alpha") == 0) watch.alphaOf[program] = value;
}

void watchLayer(LayerId id) {
  const Layer& layer = layerOf(id);
  const auto alpha = watch.alphaOf.find(*layer.program);
  watch.layers.push_back({rowName(layer), alpha == watch.alphaOf.end() || alpha->second > 0,
                          std::move(watch.pending)});
  watch.pending.clear();
}

void watchMakerLayer(int index) {
  const BuiltMakerLayer& layer = builtMakerLayers()[static_cast<size_t>(index)];
  const auto alpha = watch.alphaOf.find(layer.program);
  watch.layers.push_back({"layer: " + layer.name, alpha == watch.alphaOf.end() || alpha->second > 0,
                          std::move(watch.pending)});
  watch.pending.clear();
}

// A row for each of the timeline's own layers, drawn over the permanent ones
// and under the closing ones; its program is the one built for it, if any.
void addMakerRows(const Timeline& t, std::vector<LayerRow>* rows) {
  const std::vector<BuiltMakerLayer>& built = builtMakerLayers();
  for (const MakerLayer& layer : t.layers) {
    const GLuint* program = nullptr;
    for (const BuiltMakerLayer& b : built) {
      if (b.name == layer.name) program = &b.program;
    }
    LayerRow row{
        "layer: " + layer.name, program, layer.in, layer.out, {layer.in}, kAlways, false, {}};
    if (!layer.out.empty()) row.reads.push_back(layer.out);
    rows->push_back(std::move(row));
  }
}

}  // namespace

std::vector<LayerRow> layerRows(const Timeline& t, int samples, double step) {
  std::vector<LayerRow> rows;
  bool makersAdded = false;
  for (const Layer& layer : kLayers) {
    if (layer.cut != kNoCut && !makersAdded) {
      addMakerRows(t, &rows);
      makersAdded = true;
    }
    LayerRow row{rowName(layer),
                 layer.program,
                 fadeName(layer.in),
                 fadeName(layer.out),
                 {},
                 afterOf(t, layer),
                 layer.blinks,
                 {}};
    for (int fade : fadesRead(layer)) {
      if (fade != kNoFade) row.reads.push_back(kFadeNames[fade]);
    }
    rows.push_back(std::move(row));
  }
  for (LayerRow& row : rows) trace(&row, t, samples, step);
  return rows;
}

int rowFadeAt(const LayerRow& row, const Timeline& t, double seconds) {
  int best = -1;
  double nearest = 0;
  for (const std::string& name : row.reads) {
    const int index = t.indexOf(name);
    if (index < 0) continue;
    const Fade& f = t.fade(index);
    const double from = std::fmin(f.at, fadeEdge(f)), to = std::fmax(f.at, fadeEdge(f));
    const double distance = std::fabs((from + to) / 2 - seconds);
    if (seconds >= from && seconds <= to && (best < 0 || distance < nearest)) {
      best = index;
      nearest = distance;
    }
  }
  return best;
}

void startInspecting() {
  setUniformHook(watchUniform);
  setLayerDrawnHook(watchLayer);
  setMakerLayerDrawnHook(watchMakerLayer);
}

void stopInspecting() {
  setUniformHook(nullptr);
  setLayerDrawnHook(nullptr);
  setMakerLayerDrawnHook(nullptr);
}

std::vector<InspectedLayer> takeInspectedLayers() {
  std::vector<InspectedLayer> layers = std::move(watch.layers);
  watch = Watch{};
  return layers;
}
