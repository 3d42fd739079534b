# Test executables: GoogleTest, one executable per library.
if(CMAKE_CROSSCOMPILING)
  # No MinGW build of GoogleTest is packaged; Debian ships its sources.
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
else()
  find_package(GTest REQUIRED)
endif()
include(GoogleTest)

# lb_add_test(NAME SOURCES ... LIBRARIES ...)
# Cases are named <library>.<Suite>.<Case> (from NAME less "_tests"), so `ctest -R <library>`
# selects one library's tests. Under Wine a whole executable is one CTest test: starting Wine per
# case would cost seconds each.
function(lb_add_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBRARIES" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBRARIES} lb_test_support GTest::gtest_main GTest::gmock lb_warnings)
  if(WIN32)
    lb_static_runtime(${name})
  endif()
  if(CMAKE_CROSSCOMPILING)
    add_test(NAME ${name} COMMAND ${name})
  else()
    string(REGEX REPLACE "_tests$" "" library ${name})
    gtest_discover_tests(${name} TEST_PREFIX "${library}." DISCOVERY_TIMEOUT 60
                         PROPERTIES TIMEOUT 600)
  endif()
endfunction()
