# korvadex_json: nlohmann-json (header only), which reads the command line's JSON lists.
# A native build finds its package; where it is missing, one line says which Debian package
# to install.  A cross build, whose searches stay in the target's root, takes the same header
# from the build machine through a folder of its own that holds only the nlohmann/ headers,
# so that no other header of the build machine reaches the target's compiles.
add_library(korvadex_json INTERFACE)
if(NOT CMAKE_CROSSCOMPILING)
  find_package(nlohmann_json 3.2 QUIET)
  if(NOT nlohmann_json_FOUND)
    message(FATAL_ERROR "nlohmann-json 3.2 or later not found: install nlohmann-json3-dev")
  endif()
  target_link_libraries(korvadex_json INTERFACE nlohmann_json::nlohmann_json)
else()
  find_path(KORVADEX_JSON_HEADERS nlohmann/json.hpp NO_CMAKE_FIND_ROOT_PATH)
  if(NOT KORVADEX_JSON_HEADERS)
    message(FATAL_ERROR "nlohmann/json.hpp not found: install nlohmann-json3-dev")
  endif()
  set(json_folder ${CMAKE_BINARY_DIR}/json-headers)
  file(MAKE_DIRECTORY ${json_folder})
  file(CREATE_LINK ${KORVADEX_JSON_HEADERS}/nlohmann ${json_folder}/nlohmann SYMBOLIC)
  target_include_directories(korvadex_json SYSTEM INTERFACE ${json_folder})
endif()
