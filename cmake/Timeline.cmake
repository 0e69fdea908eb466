# The storyboard's frames, read from the timeline that the schedule compiles
# (presentation/timeline.h, the numbers between the braces of
# kStoryboardTimes), written as one comma-separated line to
# ${CMAKE_BINARY_DIR}/storyboard_times for `make capture`.
function(write_storyboard_times)
  set(timeline ${PROJECT_SOURCE_DIR}/presentation/timeline.h)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${timeline})
  file(READ ${timeline} text)
  if(NOT text MATCHES "kStoryboardTimes\\[\\] = {([^}]*)}")
    message(FATAL_ERROR "${timeline}: no kStoryboardTimes list")
  endif()
  string(REGEX REPLACE "[ \n]|f" "" times "${CMAKE_MATCH_1}")
  if(NOT times MATCHES "^[0-9.]+(,[0-9.]+)*$")
    message(FATAL_ERROR "${timeline}: kStoryboardTimes holds more than numbers: ${times}")
  endif()
  set(out ${CMAKE_BINARY_DIR}/storyboard_times)
  file(WRITE ${out}.tmp "${times}\n")
  file(COPY_FILE ${out}.tmp ${out} ONLY_IF_DIFFERENT)
  file(REMOVE ${out}.tmp)
endfunction()
