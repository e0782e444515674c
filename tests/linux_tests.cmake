# Tests of the Linux platform layer on real pseudo-terminals, and the real
# programs against the virtual modem.
add_executable(posix_tests
  unit/posix_platform_test.cpp
)
target_link_libraries(posix_tests PRIVATE tessivo_platform tessivo_test_support util)
gtest_discover_tests(posix_tests DISCOVERY_TIMEOUT 30)
