// The GL, GLU and SDL calls that the browser's emulation lacks or gets
// wrong, written over WebGL 2 calls that it gets right.
#define GL_GLEXT_PROTOTYPES
#include <GL/gl.h>
#include <GL/glext.h>
#include <GL/glu.h>
#include <SDL.h>

#include <cmath>

// Defined by the emulation: its own glTexImage2D under a second name.
extern "C" void emscripten_glTexImage2D(GLenum target, GLint level, GLint internalFormat,
                                        GLsizei width, GLsizei height, GLint border, GLenum format,
                                        GLenum type, const void* pixels);

extern "C" {

// The shared vertex stage passes positions through, so the quad needs no
// more than four corners in glRects' order.
void glRects(GLshort x1, GLshort y1, GLshort x2, GLshort y2) {
  glBegin(GL_QUADS);
  glVertex2f(x1, y1);
  glVertex2f(x2, y1);
  glVertex2f(x2, y2);
  glVertex2f(x1, y2);
  glEnd();
}

// GLU's look-at: the emulation's own passes its arguments to its matrix
// library in the wrong order and leaves the matrix as it was.
void gluLookAt(GLdouble eyeX, GLdouble eyeY, GLdouble eyeZ, GLdouble centerX, GLdouble centerY,
               GLdouble centerZ, GLdouble upX, GLdouble upY, GLdouble upZ) {
  double f[3] = {centerX - eyeX, centerY - eyeY, centerZ - eyeZ};
  const double fLength = std::sqrt(f[0] * f[0] + f[1] * f[1] + f[2] * f[2]);
  for (double& c : f) c /= fLength;
  // s = f x up, normalised; u = s x f.
  double s[3] = {f[1] * upZ - f[2] * upY, f[2] * upX - f[0] * upZ, f[0] * upY - f[1] * upX};
  const double sLength = std::sqrt(s[0] * s[0] + s[1] * s[1] + s[2] * s[2]);
  for (double& c : s) c /= sLength;
  const double u[3] = {s[1] * f[2] - s[2] * f[1], s[2] * f[0] - s[0] * f[2],
                       s[0] * f[1] - s[1] * f[0]};
  // Column-major rows s, u, -f, followed by the translation to -eye.
  const GLfloat m[16] = {static_cast<GLfloat>(s[0]),
                         static_cast<GLfloat>(u[0]),
                         static_cast<GLfloat>(-f[0]),
                         0,
                         static_cast<GLfloat>(s[1]),
                         static_cast<GLfloat>(u[1]),
                         static_cast<GLfloat>(-f[1]),
                         0,
                         static_cast<GLfloat>(s[2]),
                         static_cast<GLfloat>(u[2]),
                         static_cast<GLfloat>(-f[2]),
                         0,
                         0,
                         0,
                         0,
                         1};
  glMultMatrixf(m);
  glTranslatef(static_cast<GLfloat>(-eyeX), static_cast<GLfloat>(-eyeY),
               static_cast<GLfloat>(-eyeZ));
}

// WebGL 2 takes only named formats; the GL 1.0 component counts 1 to 4 mean
// luminance, luminance-alpha, RGB and RGBA.
void glTexImage2D(GLenum target, GLint level, GLint internalFormat, GLsizei width, GLsizei height,
                  GLint border, GLenum format, GLenum type, const void* pixels) {
  const GLint named[] = {GL_LUMINANCE, GL_LUMINANCE_ALPHA, GL_RGB, GL_RGBA};
  if (internalFormat >= 1 && internalFormat <= 4) internalFormat = named[internalFormat - 1];
  emscripten_glTexImage2D(target, level, internalFormat, width, height, border, format, type,
                          pixels);
}

// Level 0 and WebGL's own mipmap chain; the presentation loads no mipmapped
// picture, so this only keeps the texture loader whole.
GLint gluBuild2DMipmaps(GLenum target, GLint internalFormat, GLsizei width, GLsizei height,
                        GLenum format, GLenum type, const void* data) {
  glTexImage2D(target, 0, internalFormat, width, height, 0, format, type, data);
  glGenerateMipmap(target);
  return 0;
}

// The emulation's SDL_PeepEvents hands over one event per call; the frame
// step takes the whole queue at once.
int SDL_PeepEvents(SDL_Event* events, int count, SDL_eventaction action, Uint32, Uint32) {
  if (action != SDL_GETEVENT) return -1;
  int taken = 0;
  while (taken < count && SDL_PollEvent(&events[taken])) ++taken;
  return taken;
}

}  // extern "C"
