# generate_shader_sources(<out_var> <dir> <file>...): a build step that turns
# the GLSL files into one C++ file of `shaders::<name>` string constants (see
# gpu/shaders.h) and puts its path in <out_var>. The files stay real GLSL.
function(generate_shader_sources out_var dir)
  string(MD5 tag "${dir}")
  set(out_cpp ${CMAKE_CURRENT_BINARY_DIR}/shader_sources_${tag}.cpp)
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
  set(${out_var} ${out_cpp} PARENT_SCOPE)
endfunction()

# The presentation's shader files, in the order the table lists them.
set(DEMO_SHADER_FILES vertex.vert plasma.frag morph.frag image_warp.frag starfield.frag
    overlay.frag scroller.frag)
