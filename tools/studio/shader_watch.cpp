// Live reload of the presentation's programs from their source files.
#include "tools/studio/shader_watch.h"

#include "gpu/gl_entry_points.h"
#include "gpu/program.h"
#include "gpu/shaders.h"
#include "platform/regular_file.h"
#include "presentation/demo.h"
#include "presentation/handles.h"
#include "presentation/maker_layers.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sstream>
#include <utility>
#include <vector>

namespace {

// Which program each pair of a vertex and a fragment file builds, from the
// shader list; a vertex file may serve several programs.
const struct {
  GLuint* handle;
  const char* vertexFile;
  const char* fragmentFile;
} kPrograms[] = {
#define STUDIO_PROGRAM_ENTRY(ident, label, file, vertexIdent, vertexFile) \
  {&ident##Program, vertexFile, file},
    SHADERS_FRAGMENT_LIST(STUDIO_PROGRAM_ENTRY)
#undef STUDIO_PROGRAM_ENTRY
};

// What stat says about a file; any difference counts as a save (editors
// either rewrite in place or rename a new file over the old one).
struct Stamp {
  bool exists = false;
  ino_t inode = 0;
  off_t size = 0;
  timespec modified = {0, 0};

  bool operator==(const Stamp& o) const {
    return exists == o.exists && inode == o.inode && size == o.size &&
           modified.tv_sec == o.modified.tv_sec && modified.tv_nsec == o.modified.tv_nsec;
  }
  bool operator!=(const Stamp& o) const { return !(*this == o); }
};

struct WatchedFile {
  std::string name;
  std::string path;  // folder/name, made once
  Stamp built;       // the stamp of the text below
  Stamp candidate;   // a newer stamp seen once, not yet stable
  std::string text;  // the last version read
  bool readable = true;
  bool changed = false;  // to be read and its programs rebuilt at the next poll
  std::string error;     // the last failure of this file, "" when it builds
  // Within one rebuild: a vertex file fails every program using it, said
  // once, and its error clears once it compiled in a program, whether or not
  // that program's fragment file built too.
  bool vertexFailed = false;
  bool vertexCompiled = false;
};

constexpr size_t kProgramCount = sizeof kPrograms / sizeof kPrograms[0];

// A maker's layer's program and picture, by the layer's index.
struct MakerFile {
  size_t layer = 0;
  bool picture = false;
  WatchedFile file;
};

struct Watch {
  std::vector<WatchedFile> files;  // every file of kPrograms, once
  std::vector<MakerFile> maker;
  // Indices into `files` of each program's vertex and fragment file.
  size_t vertexOf[kProgramCount] = {};
  size_t fragmentOf[kProgramCount] = {};
} watch;

Stamp stampOf(const std::string& path) {
  Stamp s;
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return s;
  s.exists = true;
  s.inode = st.st_ino;
  s.size = st.st_size;
  s.modified = st.st_mtim;
  return s;
}

// Every line of `log` behind the file name, so each reads like a compiler's.
void printFailure(const std::string& file, const std::string& log) {
  std::istringstream lines(log);
  std::string line;
  bool printed = false;
  while (std::getline(lines, line)) {
    if (line.empty()) continue;
    std::fprintf(stderr, "%s: %s\n", file.c_str(), line.c_str());
    printed = true;
  }
  if (!printed) std::fprintf(stderr, "%s: the build failed without an info log\n", file.c_str());
}

void fail(WatchedFile* file, const std::string& log) {
  file->error = log;
  printFailure(file->name, log);
}

// The whole file; false with the reason when it cannot be opened or read. A
// FIFO or device dropped into the folder is refused instead of blocking.
bool readWhole(const std::string& path, std::string* text, std::string* reason) {
  const int fd = openRegularFile(path.c_str(), reason);
  if (fd < 0) return false;
  const bool ok = readFromStart(fd, text, reason);
  close(fd);
  return ok;
}

void readFile(WatchedFile* file) {
  std::string reason;
  file->readable = readWhole(file->path, &file->text, &reason);
  if (!file->readable) fail(file, "cannot read \"" + file->path + "\": " + reason);
}

size_t fileIndex(const char* name) {
  size_t i = 0;
  while (i < watch.files.size() && watch.files[i].name != name) ++i;
  return i;
}

void rebuild() {
  for (WatchedFile& file : watch.files) {
    if (file.changed) readFile(&file);
    file.vertexFailed = file.vertexCompiled = false;
  }
  for (size_t i = 0; i < kProgramCount; ++i) {
    WatchedFile& vertex = watch.files[watch.vertexOf[i]];
    WatchedFile& fragment = watch.files[watch.fragmentOf[i]];
    if (!vertex.changed && !fragment.changed) continue;
    if (!vertex.readable || !fragment.readable) continue;
    BuildFailure failure;
    const GLuint program =
        buildProgramQuietly(vertex.text.c_str(), fragment.text.c_str(), &failure);
    if (program) {
      // The old program may be current; GL deletes it once it no longer is.
      GLuint* handle = kPrograms[i].handle;
      if (const auto deleteProgram = glExtraEntryPoints().glDeleteProgram) deleteProgram(*handle);
      *handle = program;
      fragment.error.clear();
      vertex.vertexCompiled = true;
    } else if (std::strcmp(failure.stage, "vertex") == 0) {
      if (!vertex.vertexFailed) fail(&vertex, failure.log);
      vertex.vertexFailed = true;
    } else {
      // The vertex stage compiled; the fragment file (or the pair) failed.
      vertex.vertexCompiled = true;
      const bool link = std::strcmp(failure.stage, "link") == 0;
      fail(&fragment, link ? "link: " + failure.log : failure.log);
    }
  }
  for (WatchedFile& file : watch.files) {
    if (file.vertexCompiled && !file.vertexFailed) file.error.clear();
    file.changed = false;
  }
}

// A maker's file saved: its layer is built again (or its picture loaded
// again); on failure the layer keeps drawing what it had and the one line,
// the compiler's words for a program, is kept for the title.
void reloadMakerFile(MakerFile* m) {
  WatchedFile& file = m->file;
  std::string error;
  if (m->picture) {
    reloadMakerLayerPicture(m->layer, file.path, &error);
  } else {
    std::string reason;
    if (!readWhole(file.path, &file.text, &reason)) {
      error = "cannot read \"" + file.path + "\": " + reason;
    } else {
      rebuildMakerLayerProgram(m->layer, file.text, &error);
    }
  }
  if (!error.empty() && error != file.error) std::fprintf(stderr, "%s\n", error.c_str());
  file.error = error;
}

}  // namespace

void watchMakerLayers(const Timeline& t, const std::string& mediaDir, bool large) {
  watch.maker.clear();
  for (size_t i = 0; i < t.layers.size(); ++i) {
    const MakerLayerFiles files = makerLayerFiles(t, t.layers[i], "", mediaDir, large);
    for (const bool picture : {false, true}) {
      const std::string& path = picture ? files.picture : files.fragment;
      if (path.empty()) continue;
      MakerFile m;
      m.layer = i;
      m.picture = picture;
      m.file.name = picture ? t.layers[i].picture : t.layers[i].fragment;
      m.file.path = path;
      m.file.built = stampOf(path);
      watch.maker.push_back(std::move(m));
    }
  }
}

void startShaderWatch(const std::string& folder) {
  watch.files.clear();
  for (size_t i = 0; i < kProgramCount; ++i) {
    for (const char* name : {kPrograms[i].vertexFile, kPrograms[i].fragmentFile}) {
      if (fileIndex(name) == watch.files.size()) {
        WatchedFile file;
        file.name = name;
        file.path = folder + "/" + name;
        watch.files.push_back(std::move(file));
      }
    }
    watch.vertexOf[i] = fileIndex(kPrograms[i].vertexFile);
    watch.fragmentOf[i] = fileIndex(kPrograms[i].fragmentFile);
  }
  // Sources that differ from the ones the start-up built, or cannot be
  // read, are taken up at the first poll.
  for (WatchedFile& file : watch.files) {
    file.built = stampOf(file.path);
    file.text = shaderSource(file.name.c_str());
    std::string onDisk, reason;
    file.changed = !readWhole(file.path, &onDisk, &reason) || onDisk != file.text;
  }
}

void pollShaderWatch() {
  bool any = false;
  for (WatchedFile& file : watch.files) {
    const Stamp now = stampOf(file.path);
    if (now != file.built) {
      if (now == file.candidate) {
        file.built = now;
        file.changed = true;
      } else {
        file.candidate = now;
      }
    }
    any = any || file.changed;
  }
  if (any) rebuild();
  for (MakerFile& m : watch.maker) {
    const Stamp now = stampOf(m.file.path);
    if (now == m.file.built) continue;
    if (now != m.file.candidate) {
      m.file.candidate = now;
      continue;
    }
    m.file.built = now;
    reloadMakerFile(&m);
  }
}

std::string failingShaderFiles() {
  std::string names;
  for (const WatchedFile& file : watch.files) {
    if (file.error.empty()) continue;
    if (!names.empty()) names += ' ';
    names += file.name;
  }
  for (const MakerFile& m : watch.maker) {
    if (m.file.error.empty()) continue;
    if (!names.empty()) names += ' ';
    names += m.file.error;
  }
  return names;
}

bool programFails(const GLuint* handle) {
  for (const MakerFile& m : watch.maker) {
    if (!m.file.error.empty() && &builtMakerLayers()[m.layer].program == handle) return true;
  }
  if (watch.files.empty()) return false;
  for (size_t i = 0; i < kProgramCount; ++i) {
    if (kPrograms[i].handle != handle) continue;
    return !watch.files[watch.vertexOf[i]].error.empty() ||
           !watch.files[watch.fragmentOf[i]].error.empty();
  }
  return false;
}
