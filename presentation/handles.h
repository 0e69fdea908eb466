// The process-wide program and texture handles that the start-up fills and
// every frame draws with.
#pragma once

#include "presentation/media.h"

#include <GL/gl.h>

// Program handles, set once at start-up in this order.
extern GLuint morphProgram;
extern GLuint imageWarpProgram;
extern GLuint plasmaProgram;
extern GLuint starfieldProgram;
extern GLuint overlayProgram;
extern GLuint scrollerProgram;

// Texture handles (logoTexture, noiseTexture, ...), one per picture of the
// media list, loaded once at start-up in its order (0 when a file is missing;
// on OpenGL ES, which has no texture 0, a shared transparent texture).
#define DEMO_TEXTURE_HANDLE_DECLARATION(id, file, handle, role) extern GLuint handle;
DEMO_TEXTURE_LIST(DEMO_TEXTURE_HANDLE_DECLARATION)
#undef DEMO_TEXTURE_HANDLE_DECLARATION
