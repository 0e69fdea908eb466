// The layers as the studio's panel shows them: one row per entry of the
// layer list with the fades it reads and its alpha over the timeline, worked
// out from the list and the timeline's fades; and the uniforms a drawn frame
// set for each layer, gathered through the schedule's own hooks.
#pragma once

#include "presentation/timeline.h"

#include <GL/gl.h>

#include <string>
#include <vector>

// One row of the panel.
struct LayerRow {
  std::string name;                // program, then picture: "overlay: space"
  const GLuint* program;           // the handle (a reload refills it), nullptr for none
  std::string in, out;             // the fades of its alpha, "" for none
  std::vector<std::string> reads;  // every fade it reads, its alpha's first
  float after;                     // shown in frames later than this
  bool blinks;                     // on for the first half of each second only
  // At each sample time: what its alpha uniform is set to where it is drawn
  // (1 for a program without one), 0 where it is not drawn.
  std::vector<float> alpha;
};

// The list's layers bottom to top, each with its alpha at sample i × `step`
// seconds for `samples` samples under timeline `t`. A row holds its fades by
// name, the timeline's own names among them, so a layer that fades in and out
// by two names makes a row from just those and its name.
std::vector<LayerRow> layerRows(const Timeline& t, int samples, double step);

// The fade among those the row reads whose ramp holds `seconds` (the one
// whose ramp's middle is nearest when several do), as an index of `t`'s
// fades; -1 for none.
int rowFadeAt(const LayerRow& row, const Timeline& t, double seconds);

struct InspectedUniform {
  std::string name;
  float value;
};

// A layer drawn in a frame with the uniforms set for it, in call order.
struct InspectedLayer {
  std::string name;  // as its row names it
  bool visible;      // its program's alpha is above 0 (always, for a program without one)
  std::vector<InspectedUniform> uniforms;
};

// From now on every frame drawn is watched through the schedule's hooks,
// until stopInspecting().
void startInspecting();
void stopInspecting();

// The layers drawn since the last call, bottom to top, with their uniforms.
std::vector<InspectedLayer> takeInspectedLayers();
