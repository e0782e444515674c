# Linux: termios serial layer, ALSA tones, the virtual modem for tests and demos.
find_package(PkgConfig REQUIRED)
pkg_check_modules(ALSA REQUIRED IMPORTED_TARGET alsa)

add_library(tessivo_platform STATIC
  platform/posix/posix_platform.cpp
  platform/posix/posix_serial_device.cpp
  platform/posix/port_names.cpp
  platform/posix/port_release.cpp
  platform/posix/deadline.cpp
  platform/posix/tone_player.cpp
  platform/posix/terminal.cpp
)
target_link_libraries(tessivo_platform PUBLIC tessivo_core PRIVATE PkgConfig::ALSA)

# The way through ModemManager's D-Bus API, for every Linux program that
# runs the SIM operations.
pkg_check_modules(SYSTEMD REQUIRED IMPORTED_TARGET libsystemd)
add_library(tessivo_modemmanager STATIC
  modemmanager/mm_mapping.cpp
  modemmanager/modem_manager_service.cpp
)
target_link_libraries(tessivo_modemmanager PUBLIC tessivo_platform PRIVATE PkgConfig::SYSTEMD)

add_executable(tessivo main/linux_main.cpp)
target_link_libraries(tessivo PRIVATE tessivo_modemmanager tessivo_platform tessivo_core)

# The dialog, on Qt Widgets.
include(${CMAKE_CURRENT_LIST_DIR}/linux_dialog.cmake)

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
