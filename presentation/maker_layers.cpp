// Reading, checking and building a maker's layers, and the checksum of their files.
#include "presentation/maker_layers.h"

#include "gpu/gl_entry_points.h"
#include "gpu/program.h"
#include "imaging/texture.h"
#include "platform/regular_file.h"
#include "presentation/demo.h"
#include "presentation/media.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>

namespace {

std::vector<BuiltMakerLayer> built;
// What each built layer was made from, for the messages of a live reload.
std::vector<MakerLayer> builtFrom;
std::string builtFile;
bool refused = false;

std::string joined(const std::string& folder, const std::string& path) {
  if (folder.empty() || (!path.empty() && path[0] == '/')) return path;
  return folder + "/" + path;
}

bool exists(const std::string& path) {
  struct stat s;
  return stat(path.c_str(), &s) == 0;
}

// `FILE:LINE: ` of a layer's line, as a compiler names a place.
std::string placeOf(const std::string& file, const MakerLayer& layer) {
  return (file.empty() ? "timeline" : file) + ":" + std::to_string(layer.line) + ": ";
}

// The first error of an info log as `FRAGMENT:LINE: reason`: Mesa writes
// `0:4(12): error: reason`, other drivers `ERROR: 0:4: reason`.
std::string compilerLine(const std::string& fragment, const std::string& log) {
  std::istringstream lines(log);
  std::string first;
  for (std::string line; std::getline(lines, line);) {
    if (line.empty()) continue;
    if (first.empty()) first = line;
    int source = 0, at = 0, column = 0, used = 0;
    if (std::sscanf(line.c_str(), "%d:%d(%d): error: %n", &source, &at, &column, &used) == 3 &&
        used > 0) {
      return fragment + ":" + std::to_string(at) + ": " + line.substr(used);
    }
    if (std::sscanf(line.c_str(), "ERROR: %d:%d: %n", &source, &at, &used) == 2 && used > 0) {
      return fragment + ":" + std::to_string(at) + ": " + line.substr(used);
    }
  }
  return fragment + ": " + (first.empty() ? "the build failed without an info log" : first);
}

// Builds one layer's program, or says why not in one line.
GLuint buildLayerProgram(const MakerLayer& layer, const std::string& source, std::string* error) {
  BuildFailure failure;
  const GLuint program = buildProgramQuietly(shaderSource("faded.vert"), source.c_str(), &failure);
  if (program) return program;
  const bool link = std::string(failure.stage) == "link";
  *error = compilerLine(layer.fragment, link ? "link: " + failure.log : failure.log);
  return 0;
}

GLuint loadLayerPicture(const std::string& file, const MakerLayer& layer, const std::string& path,
                        std::string* error) {
  std::string reason;
  const GLuint texture = loadTexture(path.c_str(), false, &reason);
  if (!texture) *error = placeOf(file, layer) + "cannot load \"" + layer.picture + "\": " + reason;
  return texture;
}

void deleteProgram(GLuint program) {
  if (const auto remove = glExtraEntryPoints().glDeleteProgram) remove(program);
}

void release(std::vector<BuiltMakerLayer>* layers) {
  for (const BuiltMakerLayer& l : *layers) {
    if (l.program) deleteProgram(l.program);
    if (l.texture) glDeleteTextures(1, &l.texture);
  }
  layers->clear();
}

// FNV-1a, as the capture's records sum their files.
uint64_t fnv(uint64_t h, const std::string& bytes) {
  for (const char c : bytes) h = (h ^ static_cast<unsigned char>(c)) * 1099511628211ull;
  return h;
}

}  // namespace

MakerLayerFiles makerLayerFiles(const Timeline& t, const MakerLayer& layer, const std::string& base,
                                const std::string& mediaDir, bool large) {
  const std::string folder = joined(base, t.folder.empty() ? "." : t.folder);
  MakerLayerFiles files;
  files.fragment = joined(folder, layer.fragment);
  if (layer.picture.empty()) return files;
  files.picture = joined(folder, layer.picture);
  if (exists(files.picture)) return files;
  const std::string media = joined(base, mediaDir.empty() ? "." : mediaDir);
  const std::string largeCopy = joined(media, DEMO_LARGE_PICTURE_FOLDER "/" + layer.picture);
  const std::string inMedia = joined(media, layer.picture);
  if (large && exists(largeCopy)) {
    files.picture = largeCopy;
  } else if (exists(inMedia)) {
    files.picture = inMedia;
  }
  return files;
}

bool buildMakerLayers(const Timeline& t, const std::string& base, const std::string& mediaDir,
                      bool large, std::string* error) {
  error->clear();
  release(&built);
  builtFrom.clear();
  builtFile = t.file;
  std::vector<BuiltMakerLayer> layers;
  for (size_t i = 0; i < t.layers.size() && error->empty(); ++i) {
    const MakerLayer& layer = t.layers[i];
    const std::string place = placeOf(t.file, layer);
    // The reader has refused a file whose layers name a fade it lacks or
    // one of the wrong direction, or a layer twice; a timeline made in code
    // is held to the first.
    BuiltMakerLayer b;
    b.name = layer.name;
    b.in = t.indexOf(layer.in);
    b.out = layer.out.empty() ? -1 : t.indexOf(layer.out);
    if (b.in < 0 || (b.out < 0 && !layer.out.empty())) {
      *error = place + "unknown fade \"" + (b.in < 0 ? layer.in : layer.out) + "\"";
      break;
    }
    const MakerLayerFiles files = makerLayerFiles(t, layer, base, mediaDir, large);
    std::string source, reason;
    if (!readRegularFile(files.fragment.c_str(), &source, &reason)) {
      *error = place + "cannot read \"" + layer.fragment + "\": " + reason;
      break;
    }
    b.program = buildLayerProgram(layer, source, error);
    if (!b.program) break;
    if (!files.picture.empty()) {
      b.texture = loadLayerPicture(t.file, layer, files.picture, error);
      if (!b.texture) {
        deleteProgram(b.program);
        break;
      }
    }
    layers.push_back(b);
  }
  refused = !error->empty();
  if (refused) {
    release(&layers);
    return false;
  }
  built = std::move(layers);
  builtFrom = t.layers;
  return true;
}

bool makerLayersRefused() { return refused; }
void setMakerLayersRefused(bool value) { refused = value; }

const std::vector<BuiltMakerLayer>& builtMakerLayers() { return built; }

bool rebuildMakerLayerProgram(size_t index, const std::string& source, std::string* error) {
  if (index >= built.size()) return false;
  const GLuint program = buildLayerProgram(builtFrom[index], source, error);
  if (!program) return false;
  // The old program may be current; GL deletes it once it no longer is.
  deleteProgram(built[index].program);
  built[index].program = program;
  return true;
}

bool reloadMakerLayerPicture(size_t index, const std::string& path, std::string* error) {
  if (index >= built.size()) return false;
  const GLuint texture = loadLayerPicture(builtFile, builtFrom[index], path, error);
  if (!texture) return false;
  if (built[index].texture) glDeleteTextures(1, &built[index].texture);
  built[index].texture = texture;
  return true;
}

std::string makerLayerFilesDigest(const Timeline& t, const std::string& mediaDir, bool large) {
  if (t.layers.empty()) return "-";
  uint64_t h = 14695981039346656037ull;
  for (const MakerLayer& layer : t.layers) {
    const MakerLayerFiles files = makerLayerFiles(t, layer, "", mediaDir, large);
    for (const std::string& path : {files.fragment, files.picture}) {
      std::string bytes, reason;
      // A file that cannot be read still counts, so that adding it changes the sum.
      h = fnv(h, path.empty() || !readRegularFile(path.c_str(), &bytes, &reason)
                     ? std::string("\x01unreadable")
                     : bytes);
      h = fnv(h, std::string(1, '\0'));
    }
  }
  char text[20];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(h));
  return text;
}
