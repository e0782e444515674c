# Linux: termios serial layer, ALSA tones, the virtual modem for tests and demos.
find_package(PkgConfig REQUIRED)
pkg_check_modules(ALSA REQUIRED IMPORTED_TARGET alsa)
include(GNUInstallDirs)

# The dialog program needs Qt, the rest does not: a cross build for a box
# without a display leaves it out.
option(TESSIVO_DIALOG "Build the dialog program tessivo-dialog (Qt 6)" ON)

add_library(tessivo_platform STATIC
  platform/posix/posix_platform.cpp
  platform/posix/posix_serial_device.cpp
  platform/posix/port_names.cpp
  platform/posix/port_lock.cpp
  platform/posix/port_release.cpp
  platform/posix/deadline.cpp
  platform/posix/tone_player.cpp
  platform/posix/terminal.cpp
)
target_link_libraries(tessivo_platform PUBLIC tessivo_core PRIVATE PkgConfig::ALSA)

# The way through ModemManager's D-Bus API, for both programs: each runs
# the SIM operations (the console form, the dialog).
pkg_check_modules(SYSTEMD REQUIRED IMPORTED_TARGET libsystemd)
add_library(tessivo_modemmanager STATIC
  modemmanager/mm_mapping.cpp
  modemmanager/modem_manager_service.cpp
)
target_link_libraries(tessivo_modemmanager PUBLIC tessivo_platform PRIVATE PkgConfig::SYSTEMD)

# The console program: every start decision, the console form, and no Qt or
# X library. A start that asks for the dialog becomes tessivo-dialog.
add_executable(tessivo main/linux_main.cpp main/linux_dialog_handover.cpp)
target_link_libraries(tessivo PRIVATE tessivo_modemmanager tessivo_platform tessivo_core)
target_compile_definitions(tessivo PRIVATE TESSIVO_INSTALL_BINDIR="${CMAKE_INSTALL_FULL_BINDIR}")

# The dialog's portable part, and the dialog program on Qt Widgets.
include(${CMAKE_CURRENT_LIST_DIR}/dialog_core.cmake)
if(TESSIVO_DIALOG)
  include(${CMAKE_CURRENT_LIST_DIR}/linux_dialog.cmake)
endif()

add_subdirectory(tools/modemsim)

# Timing probe used by bench/console_timing.sh.
add_executable(transact_timing bench/transact_timing.cpp)
target_link_libraries(transact_timing PRIVATE tessivo_platform tessivo_core)

# Timing probe of the ModemManager check, used by bench/modemmanager_check.sh.
add_executable(modemmanager_check_timing bench/modemmanager_check_timing.cpp)
target_link_libraries(modemmanager_check_timing PRIVATE tessivo_modemmanager)

# Timing probe of the dialog's operations, used by bench/dialog_timing.sh.
if(BUILD_TESTING)
  add_executable(dialog_timing bench/dialog_timing.cpp tests/support/fake_dialog_host.cpp)
  target_link_libraries(dialog_timing PRIVATE tessivo_dialog tessivo_platform tessivo_core)
endif()
