// A test that cannot run on this machine because a tool, a permission or a
// platform feature is missing: outside CI it is skipped and says why; in CI
// (CI=true) it fails, so that a green run cannot hide a test that never ran.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

inline bool TessivoRunsInCi() {
  const char* ci = std::getenv("CI");
  return ci != nullptr && std::strcmp(ci, "true") == 0;
}

// Use where GTEST_SKIP() would go: in a test's body or its SetUp.
#define TESSIVO_CANNOT_RUN(reason)                                 \
  do {                                                             \
    if (TessivoRunsInCi()) {                                       \
      FAIL() << reason << " (CI=true: every test must run)";       \
    }                                                              \
    GTEST_SKIP() << reason;                                        \
  } while (false)
