// Full-screen mode switch and the debug axes, both with SDL 1.2 / fixed-function GL.
#include "imaging/display.h"

#include <GL/gl.h>

namespace {

FullscreenModeQuery fullscreenModeQuery = SDL_ListModes;

}  // namespace

void setFullscreenModeQuery(FullscreenModeQuery query) {
  fullscreenModeQuery = query ? query : SDL_ListModes;
}

namespace {

constexpr Uint32 kFullscreenGl = SDL_FULLSCREEN | SDL_OPENGL;

// GL_ALL_ATTRIB_BITS as the GL 1.1 headers define it: every attribute group
// of GL 1.1, which covers all the state drawAxes changes.
constexpr GLbitfield kGl11AllAttribBits = 0x000FFFFF;

}  // namespace

int setBestFullscreenMode(int* outWidth, int* outHeight) {
  // A null format asks for modes of the current video format.
  SDL_Rect** modes = fullscreenModeQuery(nullptr, kFullscreenGl);
  if (modes == nullptr || modes == reinterpret_cast<SDL_Rect**>(-1)) return 0;

  const SDL_Rect* best = modes[0];
  if (outWidth) *outWidth = best->w;
  if (outHeight) *outHeight = best->h;
  const int depth = SDL_GetVideoInfo()->vfmt->BitsPerPixel;
  return SDL_SetVideoMode(best->w, best->h, depth, kFullscreenGl) ? 0 : -1;
}

void drawAxes(double scale) {
  glPushAttrib(kGl11AllAttribBits);
  glPushMatrix();
  glDisable(GL_LIGHTING);
  glDisable(GL_TEXTURE_2D);
  glEnable(GL_BLEND);
  glEnable(GL_LINE_SMOOTH);
  glLineWidth(2.0f);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glScaled(scale, scale, scale);

  glBegin(GL_LINES);
  glColor3ub(255, 0, 0);
  glVertex3i(0, 0, 0);
  glVertex3i(1, 0, 0);
  glColor3ub(0, 255, 0);
  glVertex3i(0, 0, 0);
  glVertex3i(0, 1, 0);
  glColor3ub(0, 0, 255);
  glVertex3i(0, 0, 0);
  glVertex3i(0, 0, 1);
  glEnd();

  glPopMatrix();
  glPopAttrib();
}
