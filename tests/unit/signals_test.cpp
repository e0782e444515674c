// The speaker signals as the platform seam sees them: which tones, in which
// order, and the pause between the two failure tones. Under Wine no tone can
// be heard or captured, so this is where the rhythm is checked.
#include "platform/signals.h"

#include <gtest/gtest.h>

#include "tests/support/fake_platform.h"

namespace tessivo {
namespace {

using testing::FakePlatform;

TEST(Signals, SequenceOnThePlatform) {
  struct Case {
    const char* what;
    void (*signal)(Platform&);
    std::vector<std::string> events;
    long lastsMs;
  } cases[] = {
      {"success", SignalSuccess, {"beep 3000 200"}, 200},
      {"failure", SignalFailure, {"beep 120 400", "sleep 200 @400", "beep 120 400"}, 1000},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    FakePlatform platform;
    c.signal(platform);
    EXPECT_EQ(platform.events, c.events);
    EXPECT_EQ(platform.now, c.lastsMs);
  }
}

}  // namespace
}  // namespace tessivo
