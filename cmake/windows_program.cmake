# The 32-bit Windows program korvadex.exe: resources, shell and the report's Windows glue.
enable_language(RC)

if(NOT KORVADEX_RESGEN)
  message(FATAL_ERROR "KORVADEX_RESGEN must name the native resgen tool (the native tree "
                      "passes it when it configures this one)")
endif()

set(KORVADEX_GENERATED ${CMAKE_CURRENT_BINARY_DIR}/generated)
add_custom_command(
  OUTPUT ${KORVADEX_GENERATED}/korvadex.ico ${KORVADEX_GENERATED}/about.bmp
  COMMAND ${CMAKE_COMMAND} -E make_directory ${KORVADEX_GENERATED}
  COMMAND ${KORVADEX_RESGEN} ${KORVADEX_GENERATED}/korvadex.ico ${KORVADEX_GENERATED}/about.bmp
  DEPENDS ${KORVADEX_RESGEN}
  COMMENT "Drawing the icon and the About picture")

# The manifest names the project's version as the program's.
configure_file(resources/korvadex.manifest.in ${KORVADEX_GENERATED}/korvadex.manifest @ONLY)

# An OBJECT library: a resource object inside a static library would be dropped by the
# linker, since nothing refers to it.
add_library(korvadex_resources OBJECT
  resources/korvadex.rc
  ${KORVADEX_GENERATED}/korvadex.ico
  ${KORVADEX_GENERATED}/about.bmp)
set_source_files_properties(resources/korvadex.rc PROPERTIES OBJECT_DEPENDS
  "${KORVADEX_GENERATED}/korvadex.ico;${KORVADEX_GENERATED}/about.bmp;${KORVADEX_GENERATED}/korvadex.manifest;${PROJECT_SOURCE_DIR}/resources/resource_ids.h")
target_include_directories(korvadex_resources PRIVATE
  ${PROJECT_SOURCE_DIR}/resources ${KORVADEX_GENERATED})

# The report's Windows glue: it sees the report core and the identifiers, not the shell.
add_library(korvadex_report_win STATIC
  report/windows/compute_report.cpp
  report/windows/save_report.cpp)
target_include_directories(korvadex_report_win PUBLIC
  ${PROJECT_SOURCE_DIR}/report/windows ${PROJECT_SOURCE_DIR}/resources)
target_link_libraries(korvadex_report_win PUBLIC korvadex_report)

# Window procedures, shared by the program and its tests.
add_library(korvadex_shell STATIC
  shell/main_dialog.cpp
  shell/about_dialog.cpp)
target_include_directories(korvadex_shell PUBLIC ${PROJECT_SOURCE_DIR}/shell)
target_link_libraries(korvadex_shell PUBLIC korvadex_report_win comctl32 comdlg32 shell32)

add_executable(korvadex WIN32 shell/main.cpp)
target_link_libraries(korvadex PRIVATE korvadex_shell korvadex_resources)
target_link_options(korvadex PRIVATE $<$<CONFIG:Release>:-s>)

if(KORVADEX_BUILD_TESTS)
  enable_testing()
  add_subdirectory(tests/win)
endif()
