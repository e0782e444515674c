# Tests of the Linux platform layer on real pseudo-terminals, and the real
# programs against the virtual modem.
add_executable(posix_tests
  unit/posix_platform_test.cpp
)
target_link_libraries(posix_tests PRIVATE tessivo_platform tessivo_test_support util)
gtest_discover_tests(posix_tests DISCOVERY_TIMEOUT 30)

add_library(tessivo_process_support STATIC support/process.cpp support/tone_capture.cpp)
target_include_directories(tessivo_process_support PUBLIC ${PROJECT_SOURCE_DIR})
target_compile_definitions(tessivo_process_support PUBLIC
  TESSIVO_MODEMSIM="$<TARGET_FILE:tessivo-modemsim>"
  TESSIVO_BIN="$<TARGET_FILE:tessivo>")
target_link_libraries(tessivo_process_support PUBLIC GTest::gtest GTest::gtest_main)

# What ModemManager's answers mean, and the ports' kernel names.
add_executable(modemmanager_unit_tests unit/modemmanager_mapping_test.cpp)
target_link_libraries(modemmanager_unit_tests PRIVATE tessivo_modemmanager tessivo_process_support)
gtest_discover_tests(modemmanager_unit_tests DISCOVERY_TIMEOUT 30)

add_executable(console_integration_tests integration/console_test.cpp)
target_link_libraries(console_integration_tests PRIVATE tessivo_process_support)
add_dependencies(console_integration_tests tessivo tessivo-modemsim)
# The dialog starts go through tessivo-dialog beside tessivo.
if(TARGET tessivo-dialog)
  add_dependencies(console_integration_tests tessivo-dialog)
endif()
gtest_discover_tests(console_integration_tests DISCOVERY_TIMEOUT 30 PROPERTIES TIMEOUT 60)

# --wait against the virtual modem: one test a row, a few seconds each.
add_executable(wait_integration_tests integration/wait_test.cpp)
target_link_libraries(wait_integration_tests PRIVATE tessivo_process_support)
add_dependencies(wait_integration_tests tessivo tessivo-modemsim)
gtest_discover_tests(wait_integration_tests DISCOVERY_TIMEOUT 30 PROPERTIES TIMEOUT 60)

# --wait against a hostile modem chosen at random, 100 seeds side by side;
# bench/wait_chaos.sh runs as many as you like. Left out under the
# sanitizers, whose build runs the same program rows slower.
if(NOT TESSIVO_SANITIZE)
  add_test(NAME wait_chaos_100_seeds
    COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/chaos/wait_chaos.sh
            $<TARGET_FILE:tessivo> $<TARGET_FILE:tessivo-modemsim> 1 100 20)
  # Among the longest tests: started first, so that the many short ones fill
  # the other slots beside it rather than it running alone at the end.
  set_tests_properties(wait_chaos_100_seeds PROPERTIES TIMEOUT 400 COST 500)
endif()

# --status, --puk and --change-pin against the virtual modem, one test a row.
add_executable(sim_forms_integration_tests integration/sim_forms_test.cpp)
target_link_libraries(sim_forms_integration_tests PRIVATE tessivo_process_support)
add_dependencies(sim_forms_integration_tests tessivo tessivo-modemsim)
gtest_discover_tests(sim_forms_integration_tests DISCOVERY_TIMEOUT 30 PROPERTIES TIMEOUT 60)

# Hostile modems and hostile ports against the console form, one test a row.
add_executable(fault_matrix_tests integration/fault_matrix_test.cpp support/hostile_modem.cpp)
target_link_libraries(fault_matrix_tests PRIVATE tessivo_process_support util)
add_dependencies(fault_matrix_tests tessivo)
gtest_discover_tests(fault_matrix_tests DISCOVERY_TIMEOUT 30 PROPERTIES TIMEOUT 60)

# Tessivo.exe of a Windows build, in console form under Wine against the
# virtual modem. Off unless the program is given.
set(TESSIVO_WIN_EXE "" CACHE FILEPATH "Tessivo.exe whose console cases run under Wine")
if(TESSIVO_WIN_EXE)
  add_subdirectory(win32)
else()
  message(STATUS "Tessivo.exe's console cases under Wine not registered: no -DTESSIVO_WIN_EXE")
endif()

# The Qt dialog end to end against the virtual modem, under the offscreen platform.
if(TARGET tessivo_qt)
  find_package(Qt6 REQUIRED COMPONENTS Test)
  # The real dialog driven like a user; also for the ModemManager tests.
  add_library(tessivo_qt_dialog_run STATIC support/qt_dialog_run.cpp)
  target_link_libraries(tessivo_qt_dialog_run PUBLIC tessivo_qt tessivo_platform tessivo_process_support Qt6::Test)
  add_executable(dialog_e2e_tests integration/qt_dialog_e2e_test.cpp support/hostile_modem.cpp)
  target_link_libraries(dialog_e2e_tests PRIVATE tessivo_qt_dialog_run util)
  add_dependencies(dialog_e2e_tests tessivo-modemsim)
  gtest_discover_tests(dialog_e2e_tests DISCOVERY_TIMEOUT 30 DISCOVERY_MODE PRE_TEST
    PROPERTIES TIMEOUT 120 ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
endif()

# The unlock unit: systemd-analyze verify, and its ExecStart line with a PIN
# file on standard input against the virtual modem. Skips (77) without
# systemd-analyze, except with CI=true.
add_test(NAME systemd_unlock_unit
  COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/systemd/unit_test.sh
          ${PROJECT_SOURCE_DIR}/packaging/linux/systemd/tessivo-unlock@.service.in
          $<TARGET_FILE:tessivo> $<TARGET_FILE:tessivo-modemsim>)
set_tests_properties(systemd_unlock_unit PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 60)

# Against the real ModemManager, which manages virtual modems in a private
# mount namespace on a private system bus (needs root; see the script). One
# daemon for every case, so the whole set is one test here.
if(TARGET tessivo_qt)
  add_executable(modemmanager_tests modemmanager/modemmanager_test.cpp)
  target_link_libraries(modemmanager_tests PRIVATE tessivo_qt_dialog_run tessivo_modemmanager)
  add_dependencies(modemmanager_tests tessivo tessivo-modemsim)
  add_test(NAME modemmanager_tests
    COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/modemmanager/with_modemmanager.sh
            $<TARGET_FILE:modemmanager_tests> $<TARGET_FILE:tessivo-modemsim>)
  set_tests_properties(modemmanager_tests PROPERTIES
    SKIP_RETURN_CODE 77 TIMEOUT 480 ENVIRONMENT "QT_QPA_PLATFORM=offscreen"
    # The longest test by far (one daemon, every case, a 45 s password call
    # among them): started first, or a clean build's run ends with it alone.
    COST 1000)
endif()
