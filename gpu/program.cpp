// The program builder: two shader objects, one program, one link.
#include "gpu/program.h"

#include "gpu/gl_entry_points.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

// True, with the info log, when the status query of a shader or program says
// it failed; false when it succeeded or the driver cannot tell.
template <typename GetIv, typename GetLog>
bool failed(GetIv getIv, GetLog getLog, GLuint object, GLenum status, std::string* infoLog) {
  if (!getIv || !getLog) return false;
  GLint ok = GL_FALSE;
  getIv(object, status, &ok);
  if (ok) return false;
  GLint length = 0;
  getIv(object, GL_INFO_LOG_LENGTH, &length);
  std::vector<char> log(length > 1 ? static_cast<size_t>(length) : 1, '\0');
  getLog(object, static_cast<GLsizei>(log.size()), nullptr, log.data());
  *infoLog = log.data();
  return true;
}

void reportShader(const GlExtraEntryPoints& x, GLuint shader, const char* name, const char* stage) {
  std::string log;
  if (failed(x.glGetShaderiv, x.glGetShaderInfoLog, shader, GL_COMPILE_STATUS, &log)) {
    std::fprintf(stderr, "%s shader of %s failed to compile: %s\n", stage, name, log.c_str());
  }
}

void reportProgram(const GlExtraEntryPoints& x, GLuint program, const char* name) {
  std::string log;
  if (failed(x.glGetProgramiv, x.glGetProgramInfoLog, program, GL_LINK_STATUS, &log)) {
    std::fprintf(stderr, "program %s failed to link: %s\n", name, log.c_str());
  }
}

const char* fragmentPrelude = "";

void (*uniformHook)(GLuint program, const char* name, float value) = nullptr;

// Compiles `prelude` followed by `source`; the status is read by the caller.
GLuint compileShader(GLenum type, const char* prelude, const char* source) {
  const GLuint shader = GlEntryPoints.glCreateShader(type);
  const char* parts[] = {prelude, source};
  GlEntryPoints.glShaderSource(shader, 2, parts, nullptr);
  GlEntryPoints.glCompileShader(shader);
  return shader;
}

// Refills the table; the name of the first entry point the builder needs and
// the driver lacks, or null when it has them all.
const char* missingBuilderEntryPoint() {
  loadGlEntryPoints();
  for (int slot = 0; slot < kGlBuilderEntryPointCount; ++slot) {
    if (!glEntryPointSlot(slot)) return glEntryPointNames[slot];
  }
  return nullptr;
}

}  // namespace

GLuint buildProgram(const char* vertexSource, const char* fragmentSource, const char* name) {
  if (const char* missing = missingBuilderEntryPoint()) {
    std::fprintf(stderr, "cannot build %s: OpenGL entry point %s is missing\n", name, missing);
    return 0;
  }
  const GlExtraEntryPoints& x = glExtraEntryPoints();

  GLuint program = GlEntryPoints.glCreateProgram();

  GLuint shader = compileShader(GL_VERTEX_SHADER, "", vertexSource);
  reportShader(x, shader, name, "vertex");
  GlEntryPoints.glAttachShader(program, shader);

  shader = compileShader(GL_FRAGMENT_SHADER, fragmentPrelude, fragmentSource);
  reportShader(x, shader, name, "fragment");
  GlEntryPoints.glAttachShader(program, shader);

  GlEntryPoints.glLinkProgram(program);
  reportProgram(x, program, name);
  return program;
}

GLuint buildProgramQuietly(const char* vertexSource, const char* fragmentSource,
                           BuildFailure* failure) {
  if (const char* missing = missingBuilderEntryPoint()) {
    failure->stage = "link";
    failure->log = std::string("OpenGL entry point ") + missing + " is missing";
    return 0;
  }
  const GlExtraEntryPoints& x = glExtraEntryPoints();

  const GLuint program = GlEntryPoints.glCreateProgram();
  const GLuint vertex = compileShader(GL_VERTEX_SHADER, "", vertexSource);
  const GLuint fragment = compileShader(GL_FRAGMENT_SHADER, fragmentPrelude, fragmentSource);
  GlEntryPoints.glAttachShader(program, vertex);
  GlEntryPoints.glAttachShader(program, fragment);
  bool ok = true;
  if (failed(x.glGetShaderiv, x.glGetShaderInfoLog, vertex, GL_COMPILE_STATUS, &failure->log)) {
    failure->stage = "vertex";
    ok = false;
  } else if (failed(x.glGetShaderiv, x.glGetShaderInfoLog, fragment, GL_COMPILE_STATUS,
                    &failure->log)) {
    failure->stage = "fragment";
    ok = false;
  } else {
    GlEntryPoints.glLinkProgram(program);
    if (failed(x.glGetProgramiv, x.glGetProgramInfoLog, program, GL_LINK_STATUS, &failure->log)) {
      failure->stage = "link";
      ok = false;
    }
  }
  // Attached shaders only go when their program does; a studio rebuilds
  // programs many times, so nothing may outlive the program it belongs to.
  if (x.glDeleteShader) {
    x.glDeleteShader(vertex);
    x.glDeleteShader(fragment);
  }
  if (!ok && x.glDeleteProgram) x.glDeleteProgram(program);
  return ok ? program : 0;
}

void setFragmentPrelude(const char* prelude) { fragmentPrelude = prelude ? prelude : ""; }

void setUniform1f(GLuint program, const char* name, float value) {
  if (uniformHook) uniformHook(program, name, value);
  GLint location = GlEntryPoints.glGetUniformLocation(program, name);
  GlEntryPoints.glUniform1f(location, value);
}

void setUniform1i(GLuint program, const char* name, int value) {
  if (uniformHook) uniformHook(program, name, static_cast<float>(value));
  GLint location = GlEntryPoints.glGetUniformLocation(program, name);
  GlEntryPoints.glUniform1i(location, value);
}

void setUniformHook(void (*hook)(GLuint program, const char* name, float value)) {
  uniformHook = hook;
}

void setUniform2f(GLuint program, const char* name, float x, float y) {
  const auto uniform2f = glExtraEntryPoints().glUniform2f;
  if (uniform2f) uniform2f(GlEntryPoints.glGetUniformLocation(program, name), x, y);
}

bool parseGlVersion(const char* version, int* major, int* minor, bool* es) {
  if (!version) return false;
  // OpenGL ES names itself before the number; desktop OpenGL starts with it.
  const char kEsPrefix[] = "OpenGL ES ";
  const bool isEs = std::strncmp(version, kEsPrefix, sizeof kEsPrefix - 1) == 0;
  if (isEs) version += sizeof kEsPrefix - 1;
  if (es) *es = isEs;
  return std::sscanf(version, "%d.%d", major, minor) == 2;
}

bool checkGlSupport(std::string* error) {
  const char* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
  int major = 0, minor = 0;
  if (!parseGlVersion(version, &major, &minor)) {
    *error = "cannot read the OpenGL version: no current context";
    return false;
  }
  if (major < 2) {
    *error = std::string("OpenGL 2.0 is required, but the driver offers ") + version;
    return false;
  }
  loadGlEntryPoints();
  std::string missing;
  int missingCount = 0;
  for (int slot = 0; slot < kGlEntryPointCount; ++slot) {
    if (glEntryPointSlot(slot)) continue;
    missing += (missingCount++ ? ", " : "") + std::string(glEntryPointNames[slot]);
  }
  if (missingCount == 0) return true;
  *error = missingCount == 1 ? "OpenGL entry point " + missing + " is missing from the driver"
                             : "OpenGL entry points " + missing + " are missing from the driver";
  return false;
}
