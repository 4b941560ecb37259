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

# velumex_add_resources(TARGET FILE.rc)
# Compiles a resource script into the standard .res format and embeds it in TARGET, which then
# defines velumex_resource_data (the bytes) and velumex_resource_size (unsigned int), read by the
# platform layer's resource calls. The script includes <windows.h> / <commctrl.h> for the style
# constants; icons, cursors, bitmaps and headers beside the script are rebuild dependencies.
find_program(VELUMEX_WINDRES NAMES x86_64-w64-mingw32-windres windres REQUIRED)
find_program(VELUMEX_RC_CPP NAMES cpp REQUIRED)
set(VELUMEX_RC_INCLUDE ${CMAKE_CURRENT_LIST_DIR}/../pal/include)
function(velumex_add_resources target rc)
  get_filename_component(rc ${rc} ABSOLUTE)
  get_filename_component(rc_dir ${rc} DIRECTORY)
  set(res ${CMAKE_CURRENT_BINARY_DIR}/${target}_resources.res)
  set(embed ${CMAKE_CURRENT_BINARY_DIR}/${target}_resources.cpp)
  file(GLOB inputs CONFIGURE_DEPENDS ${rc_dir}/*.h ${rc_dir}/*.ico ${rc_dir}/*.cur ${rc_dir}/*.bmp)
  add_custom_command(
    OUTPUT ${res}
    COMMAND ${VELUMEX_WINDRES} --preprocessor=${VELUMEX_RC_CPP}
            -I ${VELUMEX_RC_INCLUDE}/rc -I ${VELUMEX_RC_INCLUDE} -I ${rc_dir}
            -O res -i ${rc} -o ${res}
    WORKING_DIRECTORY ${rc_dir}
    DEPENDS ${rc} ${inputs} ${VELUMEX_RC_INCLUDE}/velumex_rc.h
    COMMENT "Compiling resources ${rc}"
    VERBATIM)
  file(GENERATE OUTPUT ${embed} CONTENT
"// Generated: the compiled resources of ${target}.
__asm__(
    \".section .rodata.velumex_resources,\\\"a\\\"\\n\"
    \".balign 16\\n\"
    \".globl velumex_resource_data\\n\"
    \".type velumex_resource_data, @object\\n\"
    \"velumex_resource_data:\\n\"
    \".incbin \\\"${res}\\\"\\n\"
    \"velumex_resource_end:\\n\"
    \".size velumex_resource_data, velumex_resource_end - velumex_resource_data\\n\"
    \".balign 4\\n\"
    \".globl velumex_resource_size\\n\"
    \".type velumex_resource_size, @object\\n\"
    \"velumex_resource_size:\\n\"
    \".long velumex_resource_end - velumex_resource_data\\n\"
    \".size velumex_resource_size, 4\\n\"
    \".previous\\n\");
")
  set_source_files_properties(${embed} PROPERTIES OBJECT_DEPENDS ${res} GENERATED TRUE)
  target_sources(${target} PRIVATE ${embed} ${res})
endfunction()
