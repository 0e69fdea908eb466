// Builds GLSL programs from source text and sets their uniforms by name.
#pragma once

#include <GL/gl.h>

#include <string>

// Compiles the two sources into a new program and links it. Refills the
// entry-point table first. A compile or link failure prints the info log on
// stderr under `name` and still returns the program, which then draws
// nothing. Returns 0 only when the driver lacks an entry point it needs.
GLuint buildProgram(const char* vertexSource, const char* fragmentSource,
                    const char* name = "program");

// Why a quiet build failed: the stage ("vertex", "fragment" or "link") and
// the driver's info log.
struct BuildFailure {
  const char* stage = "";
  std::string log;
};

// Builds like buildProgram but prints nothing, for callers that keep a
// working program while a new source is tried: a compile or link failure
// deletes what was made, fills `failure` and returns 0.
GLuint buildProgramQuietly(const char* vertexSource, const char* fragmentSource,
                           BuildFailure* failure);

// GLSL text that buildProgram() puts before every fragment source, for a
// GLSL dialect that lacks built-ins the programs use (the browser's GLSL ES
// has no gl_ModelViewMatrixInverse). Empty by default; nullptr restores that.
void setFragmentPrelude(const char* prelude);

// Look the location up by name on `program`, which must be current, and set it.
void setUniform1f(GLuint program, const char* name, float value);
void setUniform1i(GLuint program, const char* name, int value);
// A vec2; nothing where the driver lacks glUniform2f.
void setUniform2f(GLuint program, const char* name, float x, float y);

// Called with every uniform the two above set (an int as a float), nullptr
// (the default) for none: a tool that shows a frame's uniforms watches them here.
void setUniformHook(void (*hook)(GLuint program, const char* name, float value));

// Reads the major and minor number from a GL_VERSION string: "2.1 Mesa ..."
// on desktop OpenGL, "OpenGL ES 3.0 ..." on OpenGL ES and WebGL; `es`, when
// given, tells which of the two it was.
bool parseGlVersion(const char* version, int* major, int* minor, bool* es = nullptr);

// True when the current context is OpenGL 2.0 or OpenGL ES 2.0 or newer and every entry point
// of the table resolves; otherwise false with one line in `error` naming what
// is missing. Building a program on an older context crashes some drivers, so
// this runs before the first build.
bool checkGlSupport(std::string* error);
