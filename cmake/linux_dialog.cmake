# Linux: the dialog on Qt 6 Widgets, linked into `tessivo`.
include(${CMAKE_CURRENT_LIST_DIR}/dialog_core.cmake)

# Until the Qt window system lands, a start that is not in console form ends.
target_sources(tessivo PRIVATE app/no_dialog.cpp)
target_link_libraries(tessivo PRIVATE tessivo_dialog)

if(BUILD_TESTING)
  add_subdirectory(${PROJECT_SOURCE_DIR}/tests/ui ${CMAKE_BINARY_DIR}/tests/ui)
endif()
