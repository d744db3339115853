# kelnt_add_test(NAME SOURCES a.cpp b.cpp LIBS lib1 lib2)
# One test executable per source folder; ctest runs it as one test.
function(kelnt_add_test name)
  # ALSO_LDAP: the program runs a second time (NAME_ldap) with every test on a directory of a throwaway LDAP
  # server in place of the in-memory one (see tests/platform/dirclient/TestStore.h).
  cmake_parse_arguments(ARG "ALSO_LDAP" "" "SOURCES;LIBS" ${ARGN})
  # Several people build one tree while each writes their own folder: a test file named before it is
  # written only warns here, so nobody else's build stops. CI has every file and insists on it.
  set(sources)
  foreach(source IN LISTS ARG_SOURCES)
    if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${source})
      list(APPEND sources ${source})
    elseif(DEFINED ENV{CI})
      message(FATAL_ERROR "${name}: ${source} is missing")
    else()
      message(WARNING "${name}: ${source} is missing, left out of this build")
    endif()
  endforeach()
  if(NOT sources)
    return()
  endif()
  add_executable(${name} ${sources})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main GTest::gmock Threads::Threads)
  target_compile_definitions(${name} PRIVATE
    KELNT_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
    KELNT_BINARY_DIR="${CMAKE_BINARY_DIR}")
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES ENVIRONMENT "KELNT_TEST=1")
  if(ARG_ALSO_LDAP)
    target_link_libraries(${name} PRIVATE kelnt_slapd)
    add_test(NAME ${name}_ldap COMMAND ${name})
    set_tests_properties(${name}_ldap PROPERTIES ENVIRONMENT "KELNT_TEST=1;KELNT_TEST_STORE=ldap")
  endif()
endfunction()
