// The process-wide program and texture handles that the start-up fills and
// every frame draws with.
#pragma once

#include "presentation/layer_programs.h"
#include "presentation/media.h"

#include <GL/gl.h>

// Program handles (morphProgram, plasmaProgram, ...), one per entry of the
// layers' program list, set once at start-up in its order.
#define DEMO_PROGRAM_HANDLE_DECLARATION(name, vertex, fragment, texture) \
  extern GLuint name##Program;
DEMO_LAYER_PROGRAM_LIST(DEMO_PROGRAM_HANDLE_DECLARATION)
#undef DEMO_PROGRAM_HANDLE_DECLARATION

// Texture handles (logoTexture, noiseTexture, ...), one per picture of the
// media list, loaded once at start-up in its order (0 when a file is missing;
// on OpenGL ES, which has no texture 0, a shared transparent texture).
#define DEMO_TEXTURE_HANDLE_DECLARATION(id, file, handle, role) extern GLuint handle;
DEMO_TEXTURE_LIST(DEMO_TEXTURE_HANDLE_DECLARATION)
#undef DEMO_TEXTURE_HANDLE_DECLARATION
