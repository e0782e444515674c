# Windows: the Win32 serial layer, Sleep/Beep/GetCommandLineA and WinMain.
# The result is one self-contained build-win/Tessivo.exe.

# ANSI API throughout: the texts are Windows-1252 bytes.
add_compile_definitions(WIN32_LEAN_AND_MEAN NOMINMAX)
# The C and C++ runtimes are linked in, so the program imports only Windows
# system DLLs and runs from any folder without anything beside it.
add_link_options(-static)
# A small file: functions and data in sections of their own, so the linker
# drops what nothing calls. (It drops only whole files of the C++ library:
# the unwind tables of what a file holds keep all of it.) The portable core
# is made before this file is read, so it is named here too.
set(TESSIVO_SIZE_OPTIONS $<$<CONFIG:Release,MinSizeRel>:-Os> -ffunction-sections -fdata-sections)
add_compile_options(${TESSIVO_SIZE_OPTIONS})
target_compile_options(tessivo_core PRIVATE ${TESSIVO_SIZE_OPTIONS})
add_link_options(LINKER:--gc-sections)

add_library(tessivo_platform STATIC
  platform/win32/win32_platform.cpp
  platform/win32/win32_serial_device.cpp
)
target_link_libraries(tessivo_platform PUBLIC tessivo_core)

# WIN32: the GUI subsystem (-mwindows), so console mode never flashes a
# console window. The dialog room adds its sources and resources to this
# target, `tessivo_exe`, from windows_dialog.cmake.
add_executable(tessivo_exe WIN32 main/windows_main.cpp main/windows_library_errors.cpp)
set_target_properties(tessivo_exe PROPERTIES OUTPUT_NAME Tessivo)
target_link_libraries(tessivo_exe PRIVATE tessivo_platform tessivo_core)
# The release carries no symbols or debug sections (the static runtime
# brings its own). std::terminate's default handler demangles the type of
# the exception before it aborts, which pulls in the demangler and printf
# (about 70 KB); a GUI program has no console for that text, so it aborts
# at once, with the same exit status.
target_link_options(tessivo_exe PRIVATE
  $<$<CONFIG:Release,MinSizeRel>:-s>
  LINKER:--defsym=_ZN9__gnu_cxx27__verbose_terminate_handlerEv=abort)

include(${CMAKE_CURRENT_LIST_DIR}/windows_dialog.cmake)

# Tessivo.exe runs on one thread: its function-local statics need no lock
# (the library's guard and the condition variables it waits on, about 2 KB).
# The Windows test programs call that code from one thread too.
set(TESSIVO_PROGRAM_TARGETS tessivo_core tessivo_platform tessivo_dialog tessivo_win32_ui tessivo_exe)
foreach(target IN LISTS TESSIVO_PROGRAM_TARGETS)
  target_compile_options(${target} PRIVATE -fno-threadsafe-statics)
endforeach()

# Debian's GoogleTest libraries are built for Linux; the Windows tests build
# it from the sources Debian ships beside them.
if(BUILD_TESTING AND NOT TARGET GTest::gtest)
  set(TESSIVO_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources for the Windows tests")
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  # It defines GTest::gtest and GTest::gtest_main itself.
  add_subdirectory(${TESSIVO_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
endif()

# The program's own code optimised across files, so the forms' many small
# steps fold into their callers: about 18 KB less. Only the program's
# targets: MinGW-w64's GCC 12 (Debian 12) fails with an internal compiler
# error on GoogleTest's sources. GCC 14's (Debian 13) fails on the SIM forms'
# file, which it therefore compiles on its own (about 1 KB more).
set_target_properties(${TESSIVO_PROGRAM_TARGETS} PROPERTIES INTERPROCEDURAL_OPTIMIZATION_RELEASE ON
                                                       INTERPROCEDURAL_OPTIMIZATION_MINSIZEREL ON)
if(CMAKE_CXX_COMPILER_VERSION VERSION_GREATER_EQUAL 13)
  set_source_files_properties(app/sim_forms.cpp PROPERTIES COMPILE_OPTIONS -fno-lto)
endif()
