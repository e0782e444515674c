// Tessivo.exe's own throwing helpers of the C++ library
// (main/windows_library_errors.cpp): a library throw still reaches the
// dialog's catch of std::exception, with the library's message.
#include <gtest/gtest.h>

#include <functional>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

namespace tessivo {
namespace {

struct ThrowCase {
  const char* what;
  std::function<void()> fault;
  const char* messagePart;
};

TEST(LibraryErrors, ReachACatchOfStdExceptionWithTheLibrarysMessage) {
  const ThrowCase cases[] = {
      {"string index", [] { (void)std::string("ab").at(5); }, "basic_string"},
      {"substring start", [] { (void)std::string("ab").substr(3); }, "basic_string::substr"},
      {"vector index", [] { (void)std::vector<int>(2).at(2); }, "vector"},
      {"string too long", [] { std::string().reserve(std::string().max_size() + 1); }, ""},
      {"empty function", [] { std::function<void()>()(); }, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    bool caught = false;
    try {
      c.fault();
    } catch (const std::exception& e) {
      caught = true;
      EXPECT_NE(std::string(e.what()).find(c.messagePart), std::string::npos) << e.what();
    }
    EXPECT_TRUE(caught);
  }
}

}  // namespace
}  // namespace tessivo
