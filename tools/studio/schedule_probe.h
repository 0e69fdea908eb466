// The layer schedule read back from drawLayers itself: the quads a frame
// draws, each with its program, its picture and the uniforms set for it,
// found by running the frame through the GL seam without drawing anything.
#pragma once

#include <GL/gl.h>

#include <string>
#include <vector>

struct ProbedUniform {
  std::string name;
  float value;
};

struct ProbedLayer {
  std::string name;       // "<program label>: <picture>", e.g. "overlay: space"
  const GLuint* program;  // the handle variable (morphProgram, ...), which a reload refills
  bool visible;           // its program's alpha is above 0 (the plasma has none: always)
  float alpha;            // that alpha, 1 for a program without one
  std::vector<ProbedUniform> uniforms;  // set since the quad before, in call order
};

// Every quad drawLayers() draws at the demo clock's present reading, bottom
// to top; nothing reaches the frame buffer. The uniforms are really set (a
// frame at the same time sets the same values), and the current program,
// the bound texture and the look-at matrix may differ afterwards, all of
// which the next drawFrame() sets anew. Needs the context of the start-up.
std::vector<ProbedLayer> probeLayers();

// One row of the timeline: a layer's alpha at each sample time, 0 where it
// is not drawn.
struct LayerTrack {
  std::string name;
  const GLuint* program;
  std::vector<float> alpha;
};

// Probes `samples` times, setting the demo time to sample i × `step` through
// `setTime` first; one track per layer that is drawn at any of them, in the
// order the frames draw them.
std::vector<LayerTrack> traceLayers(int samples, double step, void (*setTime)(double seconds));
