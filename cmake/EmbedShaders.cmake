# embed_shaders(<target> <dir> <file>...): compiles the GLSL files into a
# library <target> exposing `shaders::<name>` string constants (see
# gpu/shaders.h). The files stay real GLSL; the strings are made at build time.
function(embed_shaders target dir)
  set(out_cpp ${CMAKE_CURRENT_BINARY_DIR}/${target}_sources.cpp)
  set(inputs)
  foreach(f ${ARGN})
    list(APPEND inputs ${dir}/${f})
  endforeach()
  # Colons keep the list one argument; the script splits it again.
  string(REPLACE ";" ":" files "${ARGN}")
  add_custom_command(
    OUTPUT ${out_cpp}
    COMMAND ${CMAKE_COMMAND} -DOUT=${out_cpp} -DDIR=${dir} -DFILES=${files}
            -P ${PROJECT_SOURCE_DIR}/cmake/GenerateShaderSources.cmake
    DEPENDS ${inputs} ${PROJECT_SOURCE_DIR}/cmake/GenerateShaderSources.cmake
    COMMENT "Embedding shaders from ${dir}"
    VERBATIM)
  add_library(${target} STATIC ${out_cpp})
  target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR})
endfunction()
