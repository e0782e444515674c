# Linux: the dialog on Qt 6 Widgets, in a program of its own, tessivo-dialog.
# It is the whole application again (the same start decisions, so the
# desktop entry can start it directly), with the Qt dialog path; `tessivo`
# becomes it when a start asks for the dialog. Qt is started only on the
# dialog path, so its console form runs without a display too.
find_package(Qt6 REQUIRED COMPONENTS Widgets)

# Icon group 128 has no Windows resources to live in here: its bytes are
# compiled in.
set(TESSIVO_ICON ${PROJECT_SOURCE_DIR}/resources/tessivo.ico)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${TESSIVO_ICON})
file(READ ${TESSIVO_ICON} TESSIVO_ICON_HEX HEX)
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," TESSIVO_ICON_BYTES "${TESSIVO_ICON_HEX}")
configure_file(${PROJECT_SOURCE_DIR}/framework/qt/program_icon.cpp.in
               ${CMAKE_BINARY_DIR}/generated/program_icon.cpp @ONLY)

# libxcb answers whether the X server is there before Qt is asked to use it.
pkg_check_modules(XCB REQUIRED IMPORTED_TARGET xcb)

add_library(tessivo_qt STATIC
  framework/qt/display_probe.cpp
  framework/qt/qt_window_system.cpp
  framework/qt/qt_dialog_window.cpp
  ${CMAKE_BINARY_DIR}/generated/program_icon.cpp
)
target_link_libraries(tessivo_qt PUBLIC tessivo_dialog Qt6::Widgets PRIVATE PkgConfig::XCB)
target_compile_definitions(tessivo_qt PRIVATE TESSIVO_APP_ID="${TESSIVO_APP_ID}")

add_executable(tessivo-dialog main/linux_main.cpp ui/dialog_path.cpp)
target_link_libraries(tessivo-dialog PRIVATE tessivo_qt tessivo_modemmanager tessivo_platform tessivo_core)

if(BUILD_TESTING)
  add_subdirectory(${PROJECT_SOURCE_DIR}/tests/ui ${CMAKE_BINARY_DIR}/tests/ui)
endif()
