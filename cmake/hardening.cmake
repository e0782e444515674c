# Linux: the hardening a Debian package gets from its build flags
# (dpkg-buildflags with hardening=+all), for every build of the programs, not
# only the packaged one: tessivo reads a PIN and parses whatever a device
# sends.
#
# _FORTIFY_SOURCE needs the optimiser (glibc warns without it) and would hide
# the C library's string and memory calls from AddressSanitizer, which checks
# them better, so it is left out of unoptimised and sanitizer builds.
#
# Position-independent executables are the default of Debian's gcc (and of
# its arm64 cross compiler); the packaging test checks the programs for it.
add_compile_options(-fstack-protector-strong -fstack-clash-protection
                    -Wformat -Werror=format-security)
# Control-flow protection has a name per processor, as in dpkg-buildflags.
if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86_64|AMD64|i.86)$")
  add_compile_options(-fcf-protection)
elseif(CMAKE_SYSTEM_PROCESSOR MATCHES "^(aarch64|arm64)$")
  add_compile_options(-mbranch-protection=standard)
endif()
if(NOT TESSIVO_SANITIZE)
  add_compile_options(
    "$<$<CONFIG:Release,RelWithDebInfo,MinSizeRel>:-U_FORTIFY_SOURCE;-D_FORTIFY_SOURCE=2>")
endif()
add_link_options(-Wl,-z,relro -Wl,-z,now)
