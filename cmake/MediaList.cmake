# The media file names, read from the media list that the player and the
# generator compile (presentation/media.h), whose entries open with X(id, "file".
# The whole text is matched at once: read line by line, the backslashes that
# continue the macro would escape CMake's list separators and join entries.
function(read_media_files out_var)
  set(manifest ${PROJECT_SOURCE_DIR}/presentation/media.h)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${manifest})
  file(READ ${manifest} text)
  string(REGEX MATCHALL "X\\([a-zA-Z]+, \"[^\"]+\"" entries "${text}")
  set(files)
  foreach(entry ${entries})
    string(REGEX REPLACE ".*\"([^\"]+)\"" "\\1" file "${entry}")
    list(APPEND files ${file})
  endforeach()
  set(${out_var} ${files} PARENT_SCOPE)
endfunction()
