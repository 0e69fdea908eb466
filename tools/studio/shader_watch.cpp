// Live reload of the presentation's programs from their source files.
#include "tools/studio/shader_watch.h"

#include "gpu/gl_entry_points.h"
#include "gpu/program.h"
#include "gpu/shaders.h"
#include "presentation/demo.h"
#include "presentation/handles.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sstream>
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
  Stamp built;       // the stamp of the text below
  Stamp candidate;   // a newer stamp seen once, not yet stable
  std::string text;  // the last version read
  bool readable = true;
  std::string error;  // the last failure of this file, "" when it builds
};

struct Watch {
  std::string folder;
  std::vector<WatchedFile> files;  // every file of kPrograms, once
  bool pending = false;            // changes waiting for the first poll
  std::vector<bool> changed;
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

// The whole file; false with the reason when it cannot be opened or read.
bool readWhole(const std::string& path, std::string* text, std::string* reason) {
  FILE* in = std::fopen(path.c_str(), "rb");
  if (!in) {
    *reason = std::strerror(errno);
    return false;
  }
  text->clear();
  char buffer[4096];
  size_t got = 0;
  while ((got = std::fread(buffer, 1, sizeof buffer, in)) > 0) text->append(buffer, got);
  const bool ok = !std::ferror(in);
  if (!ok) *reason = std::strerror(errno);
  std::fclose(in);
  return ok;
}

void readFile(WatchedFile* file) {
  const std::string path = watch.folder + "/" + file->name;
  std::string reason;
  file->readable = readWhole(path, &file->text, &reason);
  if (!file->readable) fail(file, "cannot read \"" + path + "\": " + reason);
}

size_t fileIndex(const char* name) {
  size_t i = 0;
  while (i < watch.files.size() && watch.files[i].name != name) ++i;
  return i;
}

void rebuild(const std::vector<bool>& changed) {
  for (size_t i = 0; i < watch.files.size(); ++i) {
    if (changed[i]) readFile(&watch.files[i]);
  }
  // A vertex file that fails fails every program using it: said once, and its
  // error cleared only once a program built with it.
  std::vector<bool> vertexFailed(watch.files.size(), false), vertexBuilt(watch.files.size(), false);
  for (const auto& p : kPrograms) {
    const size_t v = fileIndex(p.vertexFile), f = fileIndex(p.fragmentFile);
    WatchedFile& vertex = watch.files[v];
    WatchedFile& fragment = watch.files[f];
    if (!changed[v] && !changed[f]) continue;
    if (!vertex.readable || !fragment.readable) continue;
    BuildFailure failure;
    const GLuint program =
        buildProgramQuietly(vertex.text.c_str(), fragment.text.c_str(), &failure);
    if (program) {
      // The old program may be current; GL deletes it once it no longer is.
      if (const auto deleteProgram = glExtraEntryPoints().glDeleteProgram) deleteProgram(*p.handle);
      *p.handle = program;
      fragment.error.clear();
      vertexBuilt[v] = true;
    } else if (std::strcmp(failure.stage, "vertex") == 0) {
      if (!vertexFailed[v]) fail(&vertex, failure.log);
      vertexFailed[v] = true;
    } else {
      const bool link = std::strcmp(failure.stage, "link") == 0;
      fail(&fragment, link ? "link: " + failure.log : failure.log);
    }
  }
  for (size_t i = 0; i < watch.files.size(); ++i) {
    if (vertexBuilt[i] && !vertexFailed[i]) watch.files[i].error.clear();
  }
}

}  // namespace

void startShaderWatch(const std::string& folder) {
  watch.folder = folder;
  watch.files.clear();
  for (const auto& p : kPrograms) {
    for (const char* name : {p.vertexFile, p.fragmentFile}) {
      if (fileIndex(name) == watch.files.size())
        watch.files.push_back({name, {}, {}, "", true, ""});
    }
  }
  watch.changed.assign(watch.files.size(), false);
  for (size_t i = 0; i < watch.files.size(); ++i) {
    WatchedFile& file = watch.files[i];
    file.built = stampOf(folder + "/" + file.name);
    file.text = shaderSource(file.name.c_str());
    std::string onDisk, reason;
    watch.changed[i] =
        !readWhole(folder + "/" + file.name, &onDisk, &reason) || onDisk != file.text;
  }
  watch.pending = true;
}

void pollShaderWatch() {
  std::vector<bool> changed = watch.changed;
  bool any = watch.pending;
  watch.pending = false;
  watch.changed.assign(watch.files.size(), false);
  for (size_t i = 0; i < watch.files.size(); ++i) {
    WatchedFile& file = watch.files[i];
    const Stamp now = stampOf(watch.folder + "/" + file.name);
    if (now == file.built) continue;
    if (now == file.candidate) {
      file.built = now;
      changed[i] = true;
      any = true;
    } else {
      file.candidate = now;
    }
  }
  if (any) rebuild(changed);
}

std::string failingShaderFiles() {
  std::string names;
  for (const WatchedFile& file : watch.files) {
    if (file.error.empty()) continue;
    if (!names.empty()) names += ' ';
    names += file.name;
  }
  return names;
}
