# The portable part of the dialog, shared by both platforms: the framework
# layer's base classes, SimUnlockDialog with its template data, and the SIM
# operations that are its members. No Qt, no Win32.
file(GLOB TESSIVO_OPERATION_SOURCES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/operations/*.cpp)
add_library(tessivo_dialog STATIC
  framework/controls.cpp
  framework/dialog.cpp
  ui/main_dialog_template.cpp
  ui/sim_unlock_dialog.cpp
  ${TESSIVO_OPERATION_SOURCES}
)
target_link_libraries(tessivo_dialog PUBLIC tessivo_core)
# The console example in the dialog names the program as each system calls
# it; each platform's text is in a folder of its own.
if(WIN32)
  set(TESSIVO_PLATFORM_RESOURCES ${PROJECT_SOURCE_DIR}/resources/windows)
else()
  set(TESSIVO_PLATFORM_RESOURCES ${PROJECT_SOURCE_DIR}/resources/linux)
endif()
target_include_directories(tessivo_dialog PRIVATE ${TESSIVO_PLATFORM_RESOURCES})
