# vantor_add_test(NAME SOURCES ... LIBS ... [LABELS ...])
# One GoogleTest executable; every test in it is registered with CTest under the given labels
# (default: unit).
include(GoogleTest)
find_package(GTest REQUIRED)

function(vantor_add_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;LABELS;PROPERTIES" ${ARGN})
  if(NOT ARG_LABELS)
    set(ARG_LABELS unit)
  endif()
  add_executable(${name} ${ARG_SOURCES})
  set_property(GLOBAL APPEND PROPERTY VANTOR_TEST_TARGETS ${name})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gmock GTest::gtest_main vantor_warnings)
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    # Listing a sanitized test program can take seconds on a loaded machine.
    DISCOVERY_TIMEOUT 120
    PROPERTIES LABELS "${ARG_LABELS}" ${ARG_PROPERTIES})
endfunction()
