# Native side of the Windows build: the picture generator runs here, and the Windows tree
# (this same project configured with the mingw-w64 toolchain file) builds in win/.  Its
# tests join this tree's ctest.
add_executable(korvadex_resgen tools/resgen.cpp)

# The command line is there for the Windows tests, which compare the two programs' reports.
set(windows_test_args)
if(KORVADEX_BUILD_TESTS)
  set(windows_test_args -DKORVADEX_CLI=$<TARGET_FILE:korvadex>)
endif()

include(ExternalProject)
ExternalProject_Add(korvadex_windows
  SOURCE_DIR ${PROJECT_SOURCE_DIR}
  BINARY_DIR ${CMAKE_BINARY_DIR}/win
  CMAKE_ARGS
    -DCMAKE_TOOLCHAIN_FILE=${PROJECT_SOURCE_DIR}/cmake/toolchain-i686-w64-mingw32.cmake
    -DCMAKE_BUILD_TYPE=${CMAKE_BUILD_TYPE}
    -DKORVADEX_BUILD_TESTS=${KORVADEX_BUILD_TESTS}
    -DKORVADEX_RESGEN=$<TARGET_FILE:korvadex_resgen>
    ${windows_test_args}
  BUILD_ALWAYS ON
  INSTALL_COMMAND ""
  DEPENDS korvadex_resgen korvadex)

if(KORVADEX_BUILD_TESTS)
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES
    ${CMAKE_BINARY_DIR}/win/tests/win/CTestTestfile.cmake)
endif()
