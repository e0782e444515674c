# Windows test programs. Cross-built, they cannot run at build time to list
# their tests, so each program runs as one CTest test under Wine, all in one
# shared prefix (tests/win32/); a native Windows build discovers them as usual.
# Also: the Win32 platform layer on the real API.

if(NOT CMAKE_CROSSCOMPILING)
  function(tessivo_add_gtest target)
    gtest_discover_tests(${target} DISCOVERY_TIMEOUT 30 ${ARGN})
  endfunction()
else()
  find_program(TESSIVO_WINE wine)
  find_program(TESSIVO_SOCAT socat)
  if(NOT TESSIVO_WINE OR NOT TESSIVO_SOCAT)
    tessivo_left_out("wine or socat not found: the Windows tests are built but not run")
  endif()

  set(TESSIVO_WINE_STATE ${CMAKE_CURRENT_BINARY_DIR}/wine-unit)
  set(TESSIVO_WINE_HARNESS ${CMAKE_CURRENT_SOURCE_DIR}/win32)

  # Extra arguments go to run_windows_test.sh, e.g. LOOPBACK com12.
  function(tessivo_add_gtest target)
    if(NOT TESSIVO_WINE OR NOT TESSIVO_SOCAT)
      return()
    endif()
    cmake_parse_arguments(ARG "" "LOOPBACK" "" ${ARGN})
    set(loopback)
    if(ARG_LOOPBACK)
      set(loopback --loopback ${ARG_LOOPBACK})
    endif()
    add_test(NAME wine_${target}
             COMMAND ${TESSIVO_WINE_HARNESS}/run_windows_test.sh ${loopback} ${TESSIVO_WINE_STATE}
                     $<TARGET_FILE:${target}>)
    set_tests_properties(wine_${target} PROPERTIES
      FIXTURES_REQUIRED wine_unit RESOURCE_LOCK wine_unit TIMEOUT 120)
  endfunction()

  if(TESSIVO_WINE AND TESSIVO_SOCAT)
    # Creating a prefix takes several seconds: once for all programs.
    add_test(NAME wine_unit_setup
             COMMAND ${TESSIVO_WINE_HARNESS}/wine_prefix.sh setup ${TESSIVO_WINE_STATE})
    add_test(NAME wine_unit_cleanup
             COMMAND ${TESSIVO_WINE_HARNESS}/wine_prefix.sh cleanup ${TESSIVO_WINE_STATE})
    set_tests_properties(wine_unit_setup PROPERTIES FIXTURES_SETUP wine_unit TIMEOUT 300)
    set_tests_properties(wine_unit_cleanup PROPERTIES FIXTURES_CLEANUP wine_unit TIMEOUT 60)
  endif()
endif()

add_executable(win32_tests unit/win32_platform_test.cpp)
target_link_libraries(win32_tests PRIVATE tessivo_platform GTest::gtest GTest::gtest_main)
# The loopback goes on COM12, which also proves the device-namespace prefix.
tessivo_add_gtest(win32_tests LOOPBACK com12)

# Tessivo.exe's replacements of the library's throwing helpers, linked the
# same way as into the program.
add_executable(library_errors_tests unit/win32_library_errors_test.cpp
               ${PROJECT_SOURCE_DIR}/main/windows_library_errors.cpp)
target_link_libraries(library_errors_tests PRIVATE GTest::gtest GTest::gtest_main)
tessivo_add_gtest(library_errors_tests)
