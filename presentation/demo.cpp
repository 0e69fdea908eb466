// The presentation's one start-up and the shader-table seam.
#include "presentation/demo.h"

#include "gpu/gl_entry_points.h"
#include "gpu/program.h"
#include "gpu/shaders.h"
#include "imaging/texture.h"
#include "platform/regular_file.h"
#include "presentation/maker_layers.h"
#include "presentation/timeline.h"
#include "presentation/window.h"

#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

GLuint buildAndUse(const char* vertexSource, const char* fragmentSource, const char* name) {
  GLuint program = buildProgram(vertexSource, fragmentSource, name);
  GlEntryPoints.glUseProgram(program);
  return program;
}

const shaders::Source* shaderTable = nullptr;
int shaderTableCount = 0;

const char* findSource(const shaders::Source* all, int count, const char* file) {
  for (int i = 0; i < count; ++i) {
    if (std::strcmp(all[i].file, file) == 0) return all[i].text;
  }
  return nullptr;
}

}  // namespace

void setShaderTable(const shaders::Source* all, int count) {
  shaderTable = all;
  shaderTableCount = all ? count : 0;
}

const char* shaderSource(const char* file) {
  if (const char* text = findSource(shaderTable, shaderTableCount, file)) return text;
  const char* embedded = findSource(shaders::all, shaders::count, file);
  return embedded ? embedded : "";
}

void buildPrograms() {
  // morphProgram from faded.vert and morph.frag as "morph", imageWarpProgram
  // from faded.vert and image_warp.frag as "image warp", ... in the shader
  // list's order.
#define DEMO_BUILD_PROGRAM(ident, label, file, vertexIdent, vertexFile) \
  ident##Program = buildAndUse(shaderSource(vertexFile), shaderSource(file), label);
  SHADERS_FRAGMENT_LIST(DEMO_BUILD_PROGRAM)
#undef DEMO_BUILD_PROGRAM
}

void loadTextures(bool large) {
  glEnable(GL_TEXTURE_2D);
  // A large picture that cannot be loaded is named on stderr by loadTexture,
  // and the window-sized one is stretched in its place; without their folder
  // that is one line, not one per picture.
  if (large && !isDirectory(DEMO_LARGE_PICTURE_FOLDER)) {
    std::fprintf(stderr,
                 "the large pictures are missing (no folder \"" DEMO_LARGE_PICTURE_FOLDER
                 "\" beside the media); drawing the %d-wide ones instead\n",
                 kWindowWidth);
    large = false;
  }
  // A file that cannot be loaded leaves its handle at 0, and its layer binds
  // texture 0. Untouched, that texture samples as opaque black and would hide
  // every layer beneath; one transparent texel makes such a layer invisible.
  // OpenGL ES and WebGL have no texture object 0 to hold the texel, so there
  // the pictures that failed share a real 1 x 1 texture instead.
  const char* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
  int major = 0, minor = 0;
  bool es = false;
  GLuint fallback = 0;
  if (parseGlVersion(version, &major, &minor, &es) && es) glGenTextures(1, &fallback);
  const GLubyte transparent[4] = {0, 0, 0, 0};
  glBindTexture(GL_TEXTURE_2D, fallback);
  glTexImage2D(GL_TEXTURE_2D, 0, 4, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, transparent);
  if (fallback) glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
#define DEMO_LOAD_TEXTURE(id, file, handle, role)                              \
  handle = large ? loadTexture(DEMO_LARGE_PICTURE_FOLDER "/" file, false) : 0; \
  if (!handle) handle = loadTexture(file, false);                              \
  if (!handle) handle = fallback;
  DEMO_TEXTURE_LIST(DEMO_LOAD_TEXTURE)
#undef DEMO_LOAD_TEXTURE
}

void enableBlending() {
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
}

bool startPresentation(const Startup& startup, SoundChannel** music, std::string* error) {
  const auto done = [&startup](const char* step) {
    if (startup.stepDone) startup.stepDone(step);
  };
  if (music) *music = nullptr;
  error->clear();
  if (!startup.openContext(error)) return false;
  // Building a program on a context older than 2.0 crashes some drivers, and
  // a missing entry point would be called through null.
  if (!checkGlSupport(error)) return false;
  done("checkGlSupport");
  char previous[PATH_MAX];
  const bool moves = !startup.mediaDir.empty();
  // A maker's layers name their files from the folder the driver started in.
  const bool makerLayers = !timeline::active().layers.empty();
  setMakerLayersRefused(false);
  if ((moves || makerLayers) && !getcwd(previous, sizeof previous)) {
    *error = std::string("cannot read the working folder: ") + std::strerror(errno);
    return false;
  }
  if (moves && chdir(startup.mediaDir.c_str()) != 0) {
    *error = "cannot open the media folder \"" + startup.mediaDir + "\": " + std::strerror(errno);
    return false;
  }
  (startup.buildPrograms ? startup.buildPrograms : buildPrograms)();
  done("buildPrograms");
  loadTextures(startup.largePictures);
  done("loadTextures");
  // The maker's layers of the timeline, after the permanent ones; a refused
  // one ends the start-up back in the driver's folder.
  if (!buildMakerLayers(timeline::active(), makerLayers ? previous : "", startup.mediaDir,
                        startup.largePictures, error)) {
    if (moves && chdir(previous) != 0)
      *error += " (and the working folder cannot be entered again)";
    return false;
  }
  enableBlending();
  done("enableBlending");
  if (startup.startMusic) {
    // The stream keeps an absolute path, so it may be opened again from anywhere.
    SoundChannel* channel = startup.startMusic();
    if (music) *music = channel;
    done("startMusic");
  }
  if (moves && chdir(previous) != 0) {
    *error = std::string("cannot return to the working folder: ") + std::strerror(errno);
    return false;
  }
  return true;
}
