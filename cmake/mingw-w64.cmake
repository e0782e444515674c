# Cross-compiling the Windows program on Debian with the MinGW-w64 toolchain
# (package g++-mingw-w64-x86-64):
#   cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TESSIVO_MINGW_TRIPLE x86_64-w64-mingw32)
# The posix thread model: GoogleTest needs std::mutex, which the win32 model
# lacks. Linked with -static, its thread library goes into the program too,
# so nothing changes for the user.
set(CMAKE_C_COMPILER ${TESSIVO_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TESSIVO_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${TESSIVO_MINGW_TRIPLE}-windres)

# Libraries and headers come from the MinGW sysroot only, never from the
# Linux host; programs (windres, scripts) from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${TESSIVO_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
