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

# The pictures drawn at twice the window's size: the media list's picture
# entries (those naming a texture handle), under the folder that the list's
# DEMO_LARGE_PICTURE_FOLDER names. `folder_var` receives that folder.
function(read_large_picture_files out_var folder_var)
  file(READ ${PROJECT_SOURCE_DIR}/presentation/media.h text)
  string(REGEX MATCH "#define DEMO_LARGE_PICTURE_FOLDER \"([^\"]+)\"" folder_line "${text}")
  set(folder ${CMAKE_MATCH_1})
  string(REGEX MATCHALL "X\\([a-zA-Z]+, \"[^\"]+\", [a-zA-Z]+Texture" entries "${text}")
  set(files)
  foreach(entry ${entries})
    string(REGEX REPLACE ".*\"([^\"]+)\".*" "\\1" file "${entry}")
    list(APPEND files ${folder}/${file})
  endforeach()
  set(${out_var} ${files} PARENT_SCOPE)
  set(${folder_var} ${folder} PARENT_SCOPE)
endfunction()
