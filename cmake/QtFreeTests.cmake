# The Qt-free libraries' tests without Qt: the build for Windows (cross-built with MinGW-w64 and run
# under Wine). GoogleTest is built from Debian's sources with the same compiler.
set(googletest_source /usr/src/googletest)
if(NOT EXISTS ${googletest_source}/CMakeLists.txt)
  message(FATAL_ERROR "GoogleTest sources not found in ${googletest_source} (Debian package googletest)")
endif()
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
add_subdirectory(${googletest_source} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

enable_testing()

set(qtfree_support
  ${CMAKE_SOURCE_DIR}/tests/support/ScriptedDialogs.cpp)
add_library(st_qtfree_support STATIC ${qtfree_support})
target_include_directories(st_qtfree_support PUBLIC ${CMAKE_SOURCE_DIR}/tests)
target_link_libraries(st_qtfree_support PUBLIC st_memory st_firmware st_service st_sim st_cli gtest)

function(servicetool_qtfree_tests name dir)
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/${dir}/*.cpp)
  servicetool_drop_posix_only(sources)
  if(sources)
    add_executable(${name} ${sources})
    target_link_libraries(${name} PRIVATE st_qtfree_support gtest_main)
    add_test(NAME ${name} COMMAND ${name})
  endif()
endfunction()

servicetool_qtfree_tests(unit_tests unit)
