// The OpenGL 2.0 entry points that the system fetches by name at run time.
#pragma once

#include <GL/gl.h>
#include <GL/glext.h>

#include <cstddef>

// One list, in slot order; it expands into the name table, the pointer table
// and the loader so the three cannot drift apart. The first slots are the
// ones the program builder needs.
#define GL_BUILDER_ENTRY_POINT_LIST(X)       \
  X(PFNGLCREATEPROGRAMPROC, glCreateProgram) \
  X(PFNGLCREATESHADERPROC, glCreateShader)   \
  X(PFNGLSHADERSOURCEPROC, glShaderSource)   \
  X(PFNGLCOMPILESHADERPROC, glCompileShader) \
  X(PFNGLATTACHSHADERPROC, glAttachShader)   \
  X(PFNGLLINKPROGRAMPROC, glLinkProgram)

#define GL_ENTRY_POINT_LIST(X)                         \
  GL_BUILDER_ENTRY_POINT_LIST(X)                       \
  X(PFNGLUSEPROGRAMPROC, glUseProgram)                 \
  X(PFNGLGETUNIFORMLOCATIONPROC, glGetUniformLocation) \
  X(PFNGLUNIFORM1IPROC, glUniform1i)                   \
  X(PFNGLUNIFORM1FPROC, glUniform1f)                   \
  X(PFNGLUNIFORM3FPROC, glUniform3f)                   \
  X(PFNGLUNIFORM4FPROC, glUniform4f)                   \
  X(PFNGLTEXIMAGE3DPROC, glTexImage3D)

#define GL_ENTRY_POINT_ONE(type, name) +1
#define GL_ENTRY_POINT_NAME_SIZE(type, name) sizeof #name,
// Slots 0 .. kGlBuilderEntryPointCount - 1 are the builder's.
constexpr int kGlBuilderEntryPointCount = 0 GL_BUILDER_ENTRY_POINT_LIST(GL_ENTRY_POINT_ONE);
constexpr int kGlEntryPointCount = 0 GL_ENTRY_POINT_LIST(GL_ENTRY_POINT_ONE);
// The longest name with its terminating NUL.
constexpr int kGlEntryPointNameSize = [] {
  const std::size_t sizes[] = {GL_ENTRY_POINT_LIST(GL_ENTRY_POINT_NAME_SIZE)};
  std::size_t longest = 0;
  for (std::size_t size : sizes) longest = size > longest ? size : longest;
  return static_cast<int>(longest);
}();
#undef GL_ENTRY_POINT_ONE
#undef GL_ENTRY_POINT_NAME_SIZE

// Slot i names the entry point of slot i; fixed fields padded with NULs.
extern const char glEntryPointNames[kGlEntryPointCount][kGlEntryPointNameSize];

struct GlEntryPointTable {
#define GL_ENTRY_POINT_FIELD(type, name) type name;
  GL_ENTRY_POINT_LIST(GL_ENTRY_POINT_FIELD)
#undef GL_ENTRY_POINT_FIELD
};

// All null until the first loadGlEntryPoints(); every GL 2.0 call goes through it.
extern GlEntryPointTable GlEntryPoints;

// Where entry points come from: SDL's lookup under a window, EGL's when
// headless. Production keeps the default (SDL_GL_GetProcAddress).
using GlProcLookup = void* (*)(const char* name);
void setGlProcLookup(GlProcLookup lookup);

// Fills every slot from the current context, null or not. Needs a current context.
void loadGlEntryPoints();

// Slot i of the table as an untyped pointer, for checks by name.
void* glEntryPointSlot(int slot);

// Looks up one more entry point through the same lookup (diagnostic calls
// that are not part of the table).
void* lookupGlProc(const char* name);

// Entry points outside the table that the program builder and the live
// reload use (status queries, info logs and deletion), the vec2 uniform of a
// maker's layer, and the framebuffer objects that supersampling draws into
// (OpenGL 3.0). Any may be null.
#define GL_EXTRA_ENTRY_POINT_LIST(X)                       \
  X(PFNGLGETSHADERIVPROC, glGetShaderiv)                   \
  X(PFNGLGETSHADERINFOLOGPROC, glGetShaderInfoLog)         \
  X(PFNGLGETPROGRAMIVPROC, glGetProgramiv)                 \
  X(PFNGLGETPROGRAMINFOLOGPROC, glGetProgramInfoLog)       \
  X(PFNGLDELETESHADERPROC, glDeleteShader)                 \
  X(PFNGLDELETEPROGRAMPROC, glDeleteProgram)               \
  X(PFNGLUNIFORM2FPROC, glUniform2f)                       \
  X(PFNGLGENFRAMEBUFFERSPROC, glGenFramebuffers)           \
  X(PFNGLBINDFRAMEBUFFERPROC, glBindFramebuffer)           \
  X(PFNGLFRAMEBUFFERTEXTURE2DPROC, glFramebufferTexture2D) \
  X(PFNGLCHECKFRAMEBUFFERSTATUSPROC, glCheckFramebufferStatus)

struct GlExtraEntryPoints {
#define GL_ENTRY_POINT_FIELD(type, name) type name;
  GL_EXTRA_ENTRY_POINT_LIST(GL_ENTRY_POINT_FIELD)
#undef GL_ENTRY_POINT_FIELD
};

// The extra entry points, looked up at the first call and again only after
// setGlProcLookup() changes the lookup (the addresses a lookup gives do not
// depend on the context). Needs a current context.
const GlExtraEntryPoints& glExtraEntryPoints();
