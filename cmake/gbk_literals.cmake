# clang (14) accepts no execution character set but UTF-8, and the program's literals must be
# GBK bytes. For a clang build the engine is therefore compiled from copies of src/ whose
# narrow literals gbk_literals.py spells as GBK escapes; the copies keep the original's lines
# and name it in a #line directive.

find_program(DEROV_PYTHON NAMES python3 REQUIRED)
set(DEROV_GBK_SOURCE_DIR ${CMAKE_BINARY_DIR}/gbk/src)

# Replaces the sources in list `sources_var` (files under src/) by their GBK copies and sets
# `headers_var` to the copies of every header under src/, which the target must list among its
# sources so that they exist before it compiles. Include ${DEROV_GBK_SOURCE_DIR}.
function(derov_gbk_copies sources_var headers_var)
  file(GLOB_RECURSE headers CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/src/*.h)
  set(copies)
  set(header_copies)
  foreach(source IN LISTS ${sources_var} headers)
    file(RELATIVE_PATH relative ${PROJECT_SOURCE_DIR}/src ${source})
    set(copy ${DEROV_GBK_SOURCE_DIR}/${relative})
    get_filename_component(folder ${copy} DIRECTORY)
    add_custom_command(OUTPUT ${copy}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${folder}
      COMMAND ${DEROV_PYTHON} ${PROJECT_SOURCE_DIR}/cmake/gbk_literals.py ${source} ${copy}
      DEPENDS ${source} ${PROJECT_SOURCE_DIR}/cmake/gbk_literals.py
      COMMENT "GBK literals: ${relative}"
      VERBATIM)
    if(source MATCHES "\\.h$")
      list(APPEND header_copies ${copy})
    else()
      list(APPEND copies ${copy})
    endif()
  endforeach()
  set(${sources_var} ${copies} PARENT_SCOPE)
  set(${headers_var} ${header_copies} PARENT_SCOPE)
endfunction()
