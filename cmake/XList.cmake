# read_xlist(<header> <macro> <out_var> <field>...): the entries of an
# X-macro list in a C++ header (`#define <macro>(X) X(a, "b", c) ...`, its
# lines joined by backslashes), as the arguments at the given positions (0
# for the first) of each entry in turn: two fields of three entries give a
# list of six. A quoted argument loses its quotes and keeps its commas. The
# build configures again when the header changes; a list that is missing,
# empty, holds a semicolon or has an entry short of a field is an error.
include_guard(GLOBAL)

function(read_xlist header macro out_var)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${header})
  file(READ ${header} text)
  # The whole text is matched at once: read line by line, the backslashes that
  # continue the macro would escape CMake's list separators and join entries.
  set(head "#define ${macro}(X)")
  string(FIND "${text}" "${head}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "${header}: no list ${macro}")
  endif()
  string(LENGTH "${head}" head_length)
  math(EXPR at "${at} + ${head_length}")
  string(SUBSTRING "${text}" ${at} -1 text)
  string(REGEX MATCH "^([^\n]*\\\\\n)*[^\n]*" body "${text}")
  if(body MATCHES ";")
    message(FATAL_ERROR "${header}: ${macro} holds a semicolon, which CMake's lists cannot carry")
  endif()
  string(REGEX MATCHALL "X\\(([^()\"]|\"[^\"]*\")*\\)" entries "${body}")
  if(NOT entries)
    message(FATAL_ERROR "${header}: ${macro} has no entries")
  endif()
  set(values)
  foreach(entry ${entries})
    string(REGEX REPLACE "^X\\((.*)\\)$" "\\1" arguments "${entry}")
    string(REGEX MATCHALL "\"[^\"]*\"|[^ \t\n\\\\,\"]+" arguments "${arguments}")
    list(LENGTH arguments count)
    foreach(field ${ARGN})
      if(NOT field LESS count)
        message(FATAL_ERROR "${header}: ${macro} entry ${entry} has no argument ${field}")
      endif()
      list(GET arguments ${field} value)
      string(REGEX REPLACE "^\"(.*)\"$" "\\1" value "${value}")
      list(APPEND values "${value}")
    endforeach()
  endforeach()
  set(${out_var} ${values} PARENT_SCOPE)
endfunction()
