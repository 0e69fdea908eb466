// Storage of the process-wide program and texture handles.
#include "presentation/handles.h"

GLuint morphProgram;
GLuint imageWarpProgram;
GLuint plasmaProgram;
GLuint starfieldProgram;
GLuint overlayProgram;
GLuint scrollerProgram;

#define DEMO_TEXTURE_HANDLE_DEFINITION(id, file, handle, role) GLuint handle;
DEMO_TEXTURE_LIST(DEMO_TEXTURE_HANDLE_DEFINITION)
#undef DEMO_TEXTURE_HANDLE_DEFINITION
