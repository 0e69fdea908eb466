# Writes one C++ file with each shader file as a raw string constant.
# Inputs: OUT (the .cpp to write), DIR (folder of the files), FILES (names),
# NAMESPACE and HEADER (generate_shader_sources in EmbedShaders.cmake fills
# in their defaults).
include(${CMAKE_CURRENT_LIST_DIR}/ShaderNames.cmake)
string(REPLACE ":" ";" FILES "${FILES}")
set(text "// Generated from ${DIR} at build time; edit the GLSL files instead.\n")
string(APPEND text "#include \"${HEADER}\"\n\nnamespace ${NAMESPACE} {\n")
set(table "")
foreach(f ${FILES})
  file(READ ${DIR}/${f} body)
  string(FIND "${body}" ")glsl\"" clash)
  if(NOT clash EQUAL -1)
    message(FATAL_ERROR "${DIR}/${f} contains the raw-string delimiter )glsl\"")
  endif()
  shader_identifier(ident ${f})
  string(APPEND text "const char ${ident}[] = R\"glsl(${body})glsl\";\n")
  string(APPEND table "    {\"${f}\", ${ident}},\n")
endforeach()
string(APPEND text "\nconst Source all[] = {\n${table}};\nconst int count = sizeof all / sizeof all[0];\n\n}  // namespace ${NAMESPACE}\n")
file(WRITE ${OUT}.tmp "${text}")
file(COPY_FILE ${OUT}.tmp ${OUT} ONLY_IF_DIFFERENT)
file(REMOVE ${OUT}.tmp)
