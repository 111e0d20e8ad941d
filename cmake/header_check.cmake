# vantor_header_check: one generated source per public header of the libraries, each including
# that header alone, so that a header which leans on what its includers included before it
# fails the build. Nothing here is linked or run; the sources are compiled without debug
# information or sanitizer instrumentation, so the check costs little more than parsing.
set(vantor_checked_headers)
foreach(library logging net eventsource mcp platform)
  file(GLOB_RECURSE found CONFIGURE_DEPENDS RELATIVE ${PROJECT_SOURCE_DIR}
    ${PROJECT_SOURCE_DIR}/${library}/*.hpp)
  list(APPEND vantor_checked_headers ${found})
endforeach()
# Private helpers are checked through the public headers that include them.
list(FILTER vantor_checked_headers EXCLUDE REGEX "/detail/")

set(vantor_header_check_sources)
foreach(header ${vantor_checked_headers})
  string(REGEX REPLACE "\\.hpp$" ".cpp" source ${header})
  # A header whose own source includes it first is compiled alone there already; checking it
  # again would only double the parsing.
  if(EXISTS ${PROJECT_SOURCE_DIR}/${source})
    file(STRINGS ${PROJECT_SOURCE_DIR}/${source} first_include REGEX "^#include " LIMIT_COUNT 1)
    if(first_include STREQUAL "#include \"${header}\"")
      continue()
    endif()
  endif()
  set(source ${CMAKE_BINARY_DIR}/header_check/${source})
  # Written only when its text changes, so that a new configure rebuilds nothing.
  file(CONFIGURE OUTPUT ${source} CONTENT "#include \"${header}\"\n")
  list(APPEND vantor_header_check_sources ${source})
endforeach()

add_library(vantor_header_check OBJECT ${vantor_header_check_sources})
target_compile_options(vantor_header_check PRIVATE -O0 -g0 -fno-sanitize=all)
target_link_libraries(vantor_header_check PRIVATE vantor_mcp vantor_platform vantor_warnings)
# Qt's imported targets are seen only in the folders that looked for Qt.
if(TARGET vantor_platform_qt)
  find_package(Qt6 REQUIRED COMPONENTS Core Gui Widgets Svg)
endif()
foreach(backend vantor_platform_fake vantor_platform_qt vantor_platform_x11)
  if(TARGET ${backend})
    target_link_libraries(vantor_header_check PRIVATE ${backend})
  endif()
endforeach()
