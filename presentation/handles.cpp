// Storage of the process-wide program and texture handles.
#include "presentation/handles.h"

#define DEMO_PROGRAM_HANDLE_DEFINITION(name, vertex, fragment, texture) GLuint name##Program;
DEMO_LAYER_PROGRAM_LIST(DEMO_PROGRAM_HANDLE_DEFINITION)
#undef DEMO_PROGRAM_HANDLE_DEFINITION

#define DEMO_TEXTURE_HANDLE_DEFINITION(id, file, handle, role) GLuint handle;
DEMO_TEXTURE_LIST(DEMO_TEXTURE_HANDLE_DEFINITION)
#undef DEMO_TEXTURE_HANDLE_DEFINITION
