// Fills the table of OpenGL 2.0 entry points through the platform's lookup.
#include "gpu/gl_entry_points.h"

#include <SDL.h>

#include <cstring>

const char glEntryPointNames[kGlEntryPointCount][kGlEntryPointNameSize] = {
#define GL_ENTRY_POINT_NAME(type, name) #name,
    GL_ENTRY_POINT_LIST(GL_ENTRY_POINT_NAME)
#undef GL_ENTRY_POINT_NAME
};

GlEntryPointTable GlEntryPoints;

namespace {

void* sdlLookup(const char* name) { return SDL_GL_GetProcAddress(name); }

GlProcLookup procLookup = sdlLookup;

GlExtraEntryPoints extras;
bool extrasLoaded = false;

}  // namespace

void setGlProcLookup(GlProcLookup lookup) {
  procLookup = lookup ? lookup : sdlLookup;
  extrasLoaded = false;
}

void* lookupGlProc(const char* name) { return procLookup(name); }

void loadGlEntryPoints() {
  int slot = 0;
#define GL_ENTRY_POINT_LOAD(type, name) \
  GlEntryPoints.name = reinterpret_cast<type>(procLookup(glEntryPointNames[slot++]));
  GL_ENTRY_POINT_LIST(GL_ENTRY_POINT_LOAD)
#undef GL_ENTRY_POINT_LOAD
}

void* glEntryPointSlot(int slot) {
  void* pointers[kGlEntryPointCount] = {
#define GL_ENTRY_POINT_AS_VOID(type, name) reinterpret_cast<void*>(GlEntryPoints.name),
      GL_ENTRY_POINT_LIST(GL_ENTRY_POINT_AS_VOID)
#undef GL_ENTRY_POINT_AS_VOID
  };
  return slot >= 0 && slot < kGlEntryPointCount ? pointers[slot] : nullptr;
}

const GlExtraEntryPoints& glExtraEntryPoints() {
  if (!extrasLoaded) {
#define GL_ENTRY_POINT_LOAD(type, name) extras.name = reinterpret_cast<type>(procLookup(#name));
    GL_EXTRA_ENTRY_POINT_LIST(GL_ENTRY_POINT_LOAD)
#undef GL_ENTRY_POINT_LOAD
    extrasLoaded = true;
  }
  return extras;
}
