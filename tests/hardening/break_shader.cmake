# Copies the GLSL file IN to OUT; with BREAK set, appends a line that cannot compile.
file(READ ${IN} body)
if(BREAK)
  string(APPEND body "\nthis line is not GLSL;\n")
endif()
file(WRITE ${OUT} "${body}")
