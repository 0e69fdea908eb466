# The media file names, read from the media list that the player and the
# generator compile (presentation/media.h): the pictures', then the music's.
include(${CMAKE_CURRENT_LIST_DIR}/XList.cmake)

function(read_media_files out_var)
  set(manifest ${PROJECT_SOURCE_DIR}/presentation/media.h)
  read_xlist(${manifest} DEMO_TEXTURE_LIST pictures 1)
  read_xlist(${manifest} DEMO_MUSIC_LIST music 1)
  set(${out_var} ${pictures} ${music} PARENT_SCOPE)
endfunction()

# The pictures drawn at twice the window's size: the media list's pictures,
# under the folder that the list's DEMO_LARGE_PICTURE_FOLDER names.
# `folder_var` receives that folder.
function(read_large_picture_files out_var folder_var)
  set(manifest ${PROJECT_SOURCE_DIR}/presentation/media.h)
  file(READ ${manifest} text)
  string(REGEX MATCH "#define DEMO_LARGE_PICTURE_FOLDER \"([^\"]+)\"" folder_line "${text}")
  set(folder ${CMAKE_MATCH_1})
  read_xlist(${manifest} DEMO_TEXTURE_LIST pictures 1)
  list(TRANSFORM pictures PREPEND ${folder}/)
  set(${out_var} ${pictures} PARENT_SCOPE)
  set(${folder_var} ${folder} PARENT_SCOPE)
endfunction()
