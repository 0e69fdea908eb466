// The OpenGL 2.0 entry points that the system fetches by name at run time.
#pragma once

#include <GL/gl.h>
#include <GL/glext.h>

// One list, in slot order; it expands into the name table, the pointer table
// and the loader so the three cannot drift apart.
#define GL_ENTRY_POINT_LIST(X)                           \
  X(PFNGLCREATEPROGRAMPROC, glCreateProgram)             \
  X(PFNGLCREATESHADERPROC, glCreateShader)               \
  X(PFNGLSHADERSOURCEPROC, glShaderSource)               \
  X(PFNGLCOMPILESHADERPROC, glCompileShader)             \
  X(PFNGLATTACHSHADERPROC, glAttachShader)               \
  X(PFNGLLINKPROGRAMPROC, glLinkProgram)                 \
  X(PFNGLUSEPROGRAMPROC, glUseProgram)                   \
  X(PFNGLGETUNIFORMLOCATIONPROC, glGetUniformLocation)   \
  X(PFNGLUNIFORM1IPROC, glUniform1i)                     \
  X(PFNGLUNIFORM1FPROC, glUniform1f)                     \
  X(PFNGLUNIFORM3FPROC, glUniform3f)                     \
  X(PFNGLUNIFORM4FPROC, glUniform4f)                     \
  X(PFNGLTEXIMAGE3DPROC, glTexImage3D)

enum { kGlEntryPointCount = 13, kGlEntryPointNameSize = 21 };

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
