# The WebAssembly build (web/): the npm package in web/package/ and the offline page
# web/korvadex.html of the build folder, built with cmake/toolchain-wasm32-wasi.cmake.
include(ExternalProject)
ExternalProject_Add(korvadex_web
  SOURCE_DIR ${PROJECT_SOURCE_DIR}/web
  BINARY_DIR ${CMAKE_BINARY_DIR}/web
  CMAKE_ARGS
    -DCMAKE_TOOLCHAIN_FILE=${PROJECT_SOURCE_DIR}/cmake/toolchain-wasm32-wasi.cmake
    -DCMAKE_BUILD_TYPE=Release
  BUILD_ALWAYS ON
  INSTALL_COMMAND "")
# The page beside the manual page's documents: /usr/share/korvadex/korvadex.html.
install(FILES ${CMAKE_BINARY_DIR}/web/korvadex.html DESTINATION ${CMAKE_INSTALL_DATADIR}/korvadex)
