// A maker's layers: the `layer` lines of the timeline file, each a fragment
// program and an optional picture of the maker's own, drawn after the
// permanent layers and before the closing ones.
#pragma once

#include "presentation/timeline.h"

#include <GL/gl.h>

#include <string>
#include <vector>

// Where a layer's files are read from, relative to `base` ("" for the working
// folder): the FRAGMENT in the timeline's folder; the PICTURE there, else by
// name in `mediaDir` (its large copy in DEMO_LARGE_PICTURE_FOLDER first when
// `large`, as loadTextures(true) does). picture is "" for none.
struct MakerLayerFiles {
  std::string fragment, picture;
};
MakerLayerFiles makerLayerFiles(const Timeline& t, const MakerLayer& layer, const std::string& base,
                                const std::string& mediaDir, bool large);

// A layer ready to draw.
struct BuiltMakerLayer {
  std::string name;
  GLuint program = 0;
  GLuint texture = 0;  // 0 for none
  int in = -1;         // the fades, as indices of Timeline::fade()
  int out = -1;        // -1 for none
};

// Reads, checks and builds every layer of `t` with faded.vert (the files as
// makerLayerFiles finds them), and keeps them for drawMakerLayers. On the
// first failure builds nothing and returns false with one line in `error`:
// `ripple.frag:4: <the compiler's reason>`, `FILE:LINE: cannot read
// "ripple.frag": <why>`, an unknown fade or a name twice. Needs the context
// in which the permanent layers were built.
bool buildMakerLayers(const Timeline& t, const std::string& base, const std::string& mediaDir,
                      bool large, std::string* error);

// Whether the last start-up failed on a maker's layer (the maker's input,
// not the machine), so that a driver can exit with 2.
bool makerLayersRefused();
void setMakerLayersRefused(bool refused);

// The layers built last, in file order.
const std::vector<BuiltMakerLayer>& builtMakerLayers();

// Live reload: builds layer `index` again from `source`, or loads its picture
// again from `path`. On failure the layer keeps what it had and `error` gets
// one line as buildMakerLayers gives it.
bool rebuildMakerLayerProgram(size_t index, const std::string& source, std::string* error);
bool reloadMakerLayerPicture(size_t index, const std::string& path, std::string* error);

// A checksum of the content of every FRAGMENT and PICTURE the layers of `t`
// use, found as makerLayerFiles finds them ("-" when there are no layers), so
// that a record of what was drawn covers the maker's files.
std::string makerLayerFilesDigest(const Timeline& t, const std::string& mediaDir, bool large);
