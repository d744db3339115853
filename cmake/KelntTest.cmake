# kelnt_add_test(NAME SOURCES a.cpp b.cpp LIBS lib1 lib2)
# One test executable per source folder; ctest runs it as one test.
function(kelnt_add_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main GTest::gmock Threads::Threads)
  target_compile_definitions(${name} PRIVATE
    KELNT_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
    KELNT_BINARY_DIR="${CMAKE_BINARY_DIR}")
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES ENVIRONMENT "KELNT_TEST=1")
endfunction()
