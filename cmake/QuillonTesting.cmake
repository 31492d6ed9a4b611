# add_quillon_test(NAME SOURCES... [LIBS ...]): one GoogleTest executable registered with CTest.
find_package(GTest REQUIRED)
include(GoogleTest)

function(add_quillon_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} quillon_testsupport GTest::gtest GTest::gmock quillon::warnings)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "QUILLON_SOURCE_DIR=${PROJECT_SOURCE_DIR}")
  target_compile_definitions(${name} PRIVATE QUILLON_BINARY_DIR="${PROJECT_BINARY_DIR}")
endfunction()
