# Windows: the dialog on user32/gdi32, and the resources, linked into
# `tessivo_exe` (Tessivo.exe).
enable_language(RC)
include(${CMAKE_CURRENT_LIST_DIR}/dialog_core.cmake)

add_library(tessivo_win32_ui STATIC framework/win32/win32_window_system.cpp)
target_link_libraries(tessivo_win32_ui PUBLIC tessivo_dialog user32 gdi32 shell32)

# windres finds resource.h, the control list and the icon beside the .rc,
# and the version, from project(), in the generated header (CMakeLists.txt).
set_source_files_properties(resources/Tessivo.rc PROPERTIES
  INCLUDE_DIRECTORIES "${PROJECT_SOURCE_DIR}/resources;${CMAKE_BINARY_DIR}/generated"
  OBJECT_DEPENDS "${PROJECT_SOURCE_DIR}/resources/resource.h;${PROJECT_SOURCE_DIR}/resources/main_dialog_controls.def;${PROJECT_SOURCE_DIR}/resources/tessivo.ico")

target_sources(tessivo_exe PRIVATE ui/dialog_path.cpp resources/Tessivo.rc)
target_link_libraries(tessivo_exe PRIVATE tessivo_win32_ui)

if(BUILD_TESTING)
  add_subdirectory(${PROJECT_SOURCE_DIR}/tests/win32/dialog ${CMAKE_BINARY_DIR}/tests/win32/dialog)
endif()
