# Helpers shared by every folder of the build.

# velumex_add_tests(NAME SOURCES... [LIBS libs...])
# One GoogleTest executable; every test case is discovered and runs in a process of its own, so
# that module singletons and the platform layer's state start fresh for each.
function(velumex_add_tests name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main pthread)
  # Where built modules (shared objects) are, for tests that install them into a world.
  target_compile_definitions(${name} PRIVATE VELUMEX_MODULE_DIR="${CMAKE_LIBRARY_OUTPUT_DIRECTORY}")
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 120)
endfunction()

# velumex_glob_tests(NAME DIR [LIBS libs...]): a test executable from every .cpp in DIR.
function(velumex_glob_tests name dir)
  cmake_parse_arguments(ARG "" "" "LIBS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${dir}/*.cpp)
  if(sources)
    velumex_add_tests(${name} SOURCES ${sources} LIBS ${ARG_LIBS})
  endif()
endfunction()
