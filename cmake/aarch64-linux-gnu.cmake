# Cross-compiling the console program for arm64 (a Raspberry Pi, a router)
# on Debian with crossbuild-essential-arm64 and the arm64 development
# packages of the multiarch tree (dpkg --add-architecture arm64; apt-get
# install libasound2-dev:arm64 ...):
#   cmake -S . -B build-arm64 -DCMAKE_TOOLCHAIN_FILE=cmake/aarch64-linux-gnu.cmake \
#         -DTESSIVO_DIALOG=OFF -DBUILD_TESTING=OFF -DTESSIVO_WERROR=ON
# The dialog (Qt) and the tests stay on the build machine.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)

set(TESSIVO_CROSS_TRIPLE aarch64-linux-gnu)
set(CMAKE_C_COMPILER ${TESSIVO_CROSS_TRIPLE}-gcc)
set(CMAKE_CXX_COMPILER ${TESSIVO_CROSS_TRIPLE}-g++)
set(CMAKE_STRIP ${TESSIVO_CROSS_TRIPLE}-strip)
set(CMAKE_LIBRARY_ARCHITECTURE ${TESSIVO_CROSS_TRIPLE})

# Multiarch: the arm64 libraries live beside the host's in
# /usr/lib/aarch64-linux-gnu, their headers in /usr/include, so there is no
# sysroot. pkg-config reads only the arm64 .pc files (and the
# architecture-independent ones); every pkg_check_modules finds arm64
# libraries that way.
set(ENV{PKG_CONFIG_LIBDIR} /usr/lib/${TESSIVO_CROSS_TRIPLE}/pkgconfig:/usr/share/pkgconfig)
set(ENV{PKG_CONFIG_PATH} "")
set(ENV{PKG_CONFIG_SYSROOT_DIR} "")
set(CMAKE_FIND_ROOT_PATH /usr/${TESSIVO_CROSS_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY BOTH)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE BOTH)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE BOTH)

# dpkg-shlibdeps finds the arm64 libraries through the multiarch paths;
# the package is for arm64, not for the machine that builds it.
set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE arm64)
