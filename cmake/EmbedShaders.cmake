# generate_shader_sources(<out_var> <dir> [NAMESPACE <ns>] [HEADER <h>] <file>...):
# a build step that turns the GLSL files into one C++ file of `<ns>::<name>`
# string constants and puts its path in <out_var>. The namespace defaults to
# `shaders` and the header declaring the names to gpu/shaders.h; another set
# of the same names lives in its own namespace with a header of its own that
# includes gpu/shaders.h for `Source`. The files stay real GLSL.
function(generate_shader_sources out_var dir)
  cmake_parse_arguments(G "" "NAMESPACE;HEADER" "" ${ARGN})
  if(NOT G_NAMESPACE)
    set(G_NAMESPACE shaders)
  endif()
  if(NOT G_HEADER)
    set(G_HEADER gpu/shaders.h)
  endif()
  set(names ${G_UNPARSED_ARGUMENTS})
  string(MD5 tag "${dir}")
  set(out_cpp ${CMAKE_CURRENT_BINARY_DIR}/shader_sources_${tag}.cpp)
  set(inputs)
  foreach(f ${names})
    list(APPEND inputs ${dir}/${f})
  endforeach()
  # Colons keep the list one argument; the script splits it again.
  string(REPLACE ";" ":" files "${names}")
  add_custom_command(
    OUTPUT ${out_cpp}
    COMMAND ${CMAKE_COMMAND} -DOUT=${out_cpp} -DDIR=${dir} -DFILES=${files}
            -DNAMESPACE=${G_NAMESPACE} -DHEADER=${G_HEADER}
            -P ${PROJECT_SOURCE_DIR}/cmake/GenerateShaderSources.cmake
    DEPENDS ${inputs} ${PROJECT_SOURCE_DIR}/cmake/GenerateShaderSources.cmake
    COMMENT "Embedding shaders from ${dir}"
    VERBATIM)
  set(${out_var} ${out_cpp} PARENT_SCOPE)
endfunction()

# The presentation's shader files, in the order the table lists them.
set(DEMO_SHADER_FILES vertex.vert plasma.frag morph.frag image_warp.frag starfield.frag
    overlay.frag scroller.frag)
