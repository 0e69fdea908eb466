# The browser's SDL and GL in place of the desktop's libraries: emscripten's
# SDL 1.2 (audio through SDL_mixer's emulation) and its legacy GL emulation on
# WebGL 2. WebGL 1 samples non-power-of-two pictures with repeat wrapping as
# black, and lacks glTexImage3D.
add_library(PkgConfig::SDL INTERFACE IMPORTED)
set_target_properties(PkgConfig::SDL PROPERTIES INTERFACE_LINK_OPTIONS "-sUSE_SDL=1")
add_library(PkgConfig::GLLIBS INTERFACE IMPORTED)
set_target_properties(PkgConfig::GLLIBS PROPERTIES INTERFACE_LINK_OPTIONS
  "-sLEGACY_GL_EMULATION=1;-sMIN_WEBGL_VERSION=2;-sMAX_WEBGL_VERSION=2")
# SDL_image and SDL_mixer come with emscripten's SDL; there is no EGL.
foreach(name SDL_IMAGE SDL_MIXER EGL)
  add_library(PkgConfig::${name} INTERFACE IMPORTED)
endforeach()
