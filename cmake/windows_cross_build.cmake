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

# The command line for 64-bit Windows builds in win64/, where the mingw-w64 compiler for it
# is installed; its tests run under 64-bit Wine in a prefix of their own.
include(GoogleTest)
find_program(KORVADEX_MINGW64_CXX x86_64-w64-mingw32-g++-posix)
if(KORVADEX_MINGW64_CXX)
  ExternalProject_Add(korvadex_windows64
    SOURCE_DIR ${PROJECT_SOURCE_DIR}
    BINARY_DIR ${CMAKE_BINARY_DIR}/win64
    CMAKE_ARGS
      -DCMAKE_TOOLCHAIN_FILE=${PROJECT_SOURCE_DIR}/cmake/toolchain-x86_64-w64-mingw32.cmake
      -DCMAKE_BUILD_TYPE=${CMAKE_BUILD_TYPE}
      -DKORVADEX_BUILD_TESTS=${KORVADEX_BUILD_TESTS}
      ${windows_test_args}
    BUILD_ALWAYS ON
    INSTALL_COMMAND ""
    DEPENDS korvadex)
  if(KORVADEX_BUILD_TESTS)
    set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES
      ${CMAKE_BINARY_DIR}/win64/tests/win64/CTestTestfile.cmake)
    # The shared command-line tests once more, against the Windows program under Wine:
    # "wine64." and the case's name.  Cases that need a POSIX system skip themselves.
    file(GLOB wine64_cli_sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/cli/cli_*_test.cpp)
    gtest_add_tests(TARGET korvadex_cli_tests SOURCES ${wine64_cli_sources}
      TEST_PREFIX wine64. TEST_LIST wine64_cli_tests)
    # A case that skips itself is reported as skipped; not so a test of many cases (a
    # pattern), where one skipped case would hide another that failed.
    set(wine64_single_cases ${wine64_cli_tests})
    list(FILTER wine64_single_cases EXCLUDE REGEX "\\*")
    set_tests_properties(${wine64_single_cases} PROPERTIES
      SKIP_REGULAR_EXPRESSION "\\[  SKIPPED \\]")
    set_tests_properties(${wine64_cli_tests} PROPERTIES FIXTURES_REQUIRED wine64 TIMEOUT 1800
      ENVIRONMENT "WINEPREFIX=${CMAKE_BINARY_DIR}/win64/tests/win64/wineprefix;WINEARCH=win64;WINEDEBUG=-all;WINEDLLOVERRIDES=mscoree,mshtml=;KORVADEX_TEST_PROGRAM=${CMAKE_BINARY_DIR}/win64/korvadex-cli.exe;KORVADEX_TEST_LAUNCHER=/usr/lib/wine/wine64")
  endif()
endif()

# The Windows zip: the dialog program, the console program for 64-bit Windows beside it, the
# README and the Windows quick start, in one folder, and the offline page when the
# WebAssembly build is on (tools/test-windows-zip.sh checks it).
if(KORVADEX_MINGW64_CXX)
  set(zip_name korvadex-${PROJECT_VERSION}-windows)
  set(zip_stage ${CMAKE_BINARY_DIR}/${zip_name})
  set(zip_files ${CMAKE_BINARY_DIR}/win/korvadex.exe ${CMAKE_BINARY_DIR}/win64/korvadex-cli.exe
    ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/docs/windows-quick-start.txt)
  set(zip_depends korvadex_windows korvadex_windows64)
  if(KORVADEX_BUILD_WEB)
    list(APPEND zip_files ${CMAKE_BINARY_DIR}/web/korvadex.html)
    list(APPEND zip_depends korvadex_web)
  endif()
  add_custom_target(korvadex_windows_zip
    COMMAND ${CMAKE_COMMAND} -E remove_directory ${zip_stage}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${zip_stage}
    COMMAND ${CMAKE_COMMAND} -E copy ${zip_files} ${zip_stage}
    COMMAND ${CMAKE_COMMAND} -E tar cf ${zip_name}.zip --format=zip ${zip_name}
    WORKING_DIRECTORY ${CMAKE_BINARY_DIR}
    DEPENDS ${zip_depends}
    COMMENT "Packing ${zip_name}.zip")
endif()
