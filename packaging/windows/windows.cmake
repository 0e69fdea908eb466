# The Windows build (make windows, make dist-windows): the player's own
# sources cross-compiled with mingw-w64 against the libraries that
# scripts/windows-deps.sh builds, SDL's WinMain glue as the entry, and the
# release zip with the media and the DLLs beside the program.
set(DEMO_WINDOWS_DEPS "" CACHE PATH "The prefix scripts/windows-deps.sh wrote")
set(DEMO_MEDIA_DIR "" CACHE PATH "The generated media (the native build's media folder)")
set(DEMO_DIST_DIR ${PROJECT_SOURCE_DIR}/dist CACHE PATH "Where the zip is copied by make dist-windows")
if(NOT EXISTS ${DEMO_WINDOWS_DEPS}/include/SDL/SDL.h)
  message(FATAL_ERROR "DEMO_WINDOWS_DEPS must name the prefix of scripts/windows-deps.sh")
endif()
set(deps ${DEMO_WINDOWS_DEPS})
# The MinGW runtime (libgcc, libstdc++, winpthread) goes into the program, so
# that a fresh Windows needs no DLL of it.
add_link_options(-static-libgcc -static-libstdc++ -static -Wl,--no-insert-timestamp)
# Hardening as on Linux: checked buffer functions and a stack protector (its
# runtime, libssp, linked statically too); the linker makes the program
# relocatable and its data non-executable by default.
add_compile_options($<$<NOT:$<CONFIG:Debug>>:-D_FORTIFY_SOURCE=2> -fstack-protector-strong)
add_link_options(-fstack-protector-strong)

# SDL: the DLL's import library; the program's entry is SDLmain's WinMain,
# which sets stdout.txt/stderr.txt up and calls main().
add_library(PkgConfig::SDL INTERFACE IMPORTED)
target_include_directories(PkgConfig::SDL INTERFACE ${deps}/include/SDL)
target_link_libraries(PkgConfig::SDL INTERFACE -lmingw32 ${deps}/lib/libSDLmain.a
                      ${deps}/lib/libSDL.dll.a)
add_library(PkgConfig::SDL_MIXER INTERFACE IMPORTED)
target_link_libraries(PkgConfig::SDL_MIXER INTERFACE ${deps}/lib/libSDL_mixer.dll.a)
add_library(PkgConfig::GLLIBS INTERFACE IMPORTED)
target_link_libraries(PkgConfig::GLLIBS INTERFACE opengl32 glu32)

# Pictures: PNG and JPEG decoded by libpng and libjpeg-turbo, linked in
# statically, behind SDL_image's loading calls.
add_library(win_pictures STATIC platform/windows/picture_decoder.cpp)
target_include_directories(win_pictures PUBLIC ${PROJECT_SOURCE_DIR}/platform/windows ${deps}/include/SDL
                           PRIVATE ${PROJECT_SOURCE_DIR}
                           PRIVATE ${deps}/include ${deps}/include/libpng16)
target_link_libraries(win_pictures PUBLIC ${deps}/lib/libpng16.a ${deps}/lib/libjpeg.a
                      /usr/x86_64-w64-mingw32/lib/libz.a ${deps}/lib/libSDL.dll.a)

set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
include(cmake/EmbedShaders.cmake)
include(cmake/MediaList.cmake)
read_media_files(DEMO_MEDIA_FILES)
include(cmake/Timeline.cmake)
generate_timeline()
add_subdirectory(gpu)

# The same sources as the Linux player; the POSIX calls that Windows lacks
# come from platform/windows/.
add_library(win_platform STATIC platform/stderr_capture.cpp platform/sound.cpp
            platform/windows/regular_file.cpp platform/regular_file_read.cpp
            platform/windows/posix.cpp platform/windows/start_failure.cpp platform/web/x_errors.cpp platform/executable_folder.cpp)
target_include_directories(win_platform PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(win_platform PUBLIC PkgConfig::SDL PkgConfig::SDL_MIXER)
add_library(win_presentation STATIC
  imaging/texture.cpp imaging/image_file.cpp
  presentation/clock.cpp presentation/handles.cpp presentation/layers.cpp presentation/demo.cpp
  presentation/maker_layers.cpp presentation/music.cpp presentation/player.cpp
  presentation/player_options.cpp presentation/timeline.cpp)
target_include_directories(win_presentation PUBLIC ${PROJECT_SOURCE_DIR} ${CMAKE_BINARY_DIR}/generated)
target_link_libraries(win_presentation PUBLIC demo_gpu win_pictures win_platform)
# realpath, which the sound layer keeps the music's path with.
foreach(t win_platform win_presentation)
  target_compile_options(${t} PRIVATE -include ${PROJECT_SOURCE_DIR}/platform/windows/posix.h)
endforeach()

# The DLLs beside the programs in the build folder too, so they run from there.
file(COPY ${deps}/bin/SDL.dll ${deps}/bin/SDL_mixer.dll DESTINATION ${CMAKE_BINARY_DIR})

add_executable(narrowband WIN32 presentation/main.cpp)
target_link_libraries(narrowband PRIVATE win_presentation)
# Stripped by the linker: strip afterwards would stamp the time of the day into the header.
target_link_options(narrowband PRIVATE -s)

# The zip: narrowband-<version>-windows-x64/ with the program, the media,
# the DLLs, README.txt and SHA256SUMS.
set(stem narrowband-${PROJECT_VERSION}-windows-x64)
set(zip ${CMAKE_BINARY_DIR}/${stem}.zip)
# The media and the pictures drawn at twice the size, which full screen on
# a screen 1920 wide or more loads from 2x/.
read_large_picture_files(large_pictures large_folder)
set(media_names ${DEMO_MEDIA_FILES} ${large_pictures})
set(media)
foreach(name ${media_names})
  list(APPEND media ${DEMO_MEDIA_DIR}/${name})
endforeach()
configure_file(packaging/windows/README.txt.in ${CMAKE_BINARY_DIR}/README.txt @ONLY NEWLINE_STYLE CRLF)
add_custom_command(OUTPUT ${zip}
  COMMAND bash ${PROJECT_SOURCE_DIR}/packaging/windows/make-zip.sh ${zip} ${stem}
          $<TARGET_FILE:narrowband> ${CMAKE_BINARY_DIR}/README.txt
          ${DEMO_MEDIA_DIR} ${deps}/bin/SDL.dll ${deps}/bin/SDL_mixer.dll ${media_names}
  DEPENDS narrowband ${CMAKE_BINARY_DIR}/README.txt ${PROJECT_SOURCE_DIR}/packaging/windows/make-zip.sh
          ${media}
  VERBATIM)
add_custom_target(windows_zip ALL DEPENDS ${zip})
# Copied under a temporary name and renamed into place.
add_custom_target(dist_windows
  COMMAND ${CMAKE_COMMAND} -E make_directory ${DEMO_DIST_DIR}
  COMMAND ${CMAKE_COMMAND} -E copy ${zip} ${DEMO_DIST_DIR}/.${stem}.zip.tmp
  COMMAND ${CMAKE_COMMAND} -E rename ${DEMO_DIST_DIR}/.${stem}.zip.tmp ${DEMO_DIST_DIR}/${stem}.zip
  COMMAND ${CMAKE_COMMAND} -E echo "wrote ${DEMO_DIST_DIR}/${stem}.zip"
  DEPENDS windows_zip VERBATIM)

enable_testing()
add_subdirectory(tests/windows)
