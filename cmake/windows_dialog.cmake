# Windows: the dialog on user32/gdi32, and the resources, linked into
# `tessivo_exe` (Tessivo.exe).
enable_language(RC)
include(${CMAKE_CURRENT_LIST_DIR}/dialog_core.cmake)

add_library(tessivo_win32_ui STATIC framework/win32/win32_window_system.cpp)
target_link_libraries(tessivo_win32_ui PUBLIC tessivo_dialog user32 gdi32 shell32 comctl32)

# The manifest takes the version from project(), like the version resource.
configure_file(${PROJECT_SOURCE_DIR}/resources/Tessivo.exe.manifest.in
               ${CMAKE_BINARY_DIR}/generated/Tessivo.exe.manifest @ONLY)

# windres finds resource.h, the control list and the icons beside the .rc,
# the console example in Windows' own folder (dialog_core.cmake), and the
# version header and the manifest in the generated folder.
set(TESSIVO_RC_INPUTS resource.h windows/console_example.h main_dialog_controls.def tessivo.ico
    tessivo-explorer.ico)
list(TRANSFORM TESSIVO_RC_INPUTS PREPEND ${PROJECT_SOURCE_DIR}/resources/)
set_source_files_properties(resources/Tessivo.rc PROPERTIES
  INCLUDE_DIRECTORIES "${PROJECT_SOURCE_DIR}/resources;${TESSIVO_PLATFORM_RESOURCES};${CMAKE_BINARY_DIR}/generated"
  OBJECT_DEPENDS "${TESSIVO_RC_INPUTS};${CMAKE_BINARY_DIR}/generated/Tessivo.exe.manifest")

target_sources(tessivo_exe PRIVATE ui/dialog_path.cpp resources/Tessivo.rc)
target_link_libraries(tessivo_exe PRIVATE tessivo_win32_ui)

if(BUILD_TESTING)
  add_subdirectory(${PROJECT_SOURCE_DIR}/tests/win32/dialog ${CMAKE_BINARY_DIR}/tests/win32/dialog)
endif()
