#include "modem/modem_port.h"

#include <gtest/gtest.h>

#include "tests/support/fake_platform.h"

namespace tessivo {
namespace {

using testing::FakePlatform;

class ModemPortTest : public ::testing::Test {
 protected:
  ModemPortTest() { platform.Port("COM1"); }

  // Opens COM1 and restarts the virtual clock, so times count from the
  // exchange and not from the open's drain read.
  void OpenPort() {
    ASSERT_EQ(modem.Open("COM1"), PortOpenResult::Opened);
    platform.now = 0;
    port().log.clear();
  }
  testing::FakePort& port() { return platform.Port("COM1"); }

  FakePlatform platform;
  ModemPort modem{platform};
};

TEST_F(ModemPortTest, OpenConfiguresThenDrainsWhatTheModemSendsFirst) {
  platform.Arrive("COM1", 10, "\r\n^BOOT:1234\r\n");
  ASSERT_EQ(modem.Open("COM1"), PortOpenResult::Opened);
  const std::vector<std::string> expected = {"open", "clear", "purge", "configure",
                                             "read 100 -> 14 @0"};
  EXPECT_EQ(port().log, expected);
  EXPECT_EQ(platform.now, 100);  // the drain read waits out its time-out
}

TEST_F(ModemPortTest, FailedOpenPassesTheCauseOnAndTouchesNothing) {
  const PortOpenResult causes[] = {PortOpenResult::NotFound, PortOpenResult::Busy,
                                   PortOpenResult::Faulty};
  for (PortOpenResult cause : causes) {
    port().openResult = cause;
    port().log.clear();
    EXPECT_EQ(modem.Open("COM1"), cause);
    modem.Close();  // harmless after a failed open
    EXPECT_EQ(port().log, std::vector<std::string>{"open"});
    EXPECT_EQ(platform.now, 0);
  }
}

TEST_F(ModemPortTest, OpenCloseOpenAgainOnAnotherPort) {
  platform.Port("COM2");
  ASSERT_EQ(modem.Open("COM1"), PortOpenResult::Opened);
  modem.Close();
  EXPECT_FALSE(port().isOpen);
  ASSERT_EQ(modem.Open("COM2"), PortOpenResult::Opened);
  EXPECT_TRUE(platform.Port("COM2").isOpen);
  modem.Close();
  EXPECT_EQ(platform.Port("COM2").log.back(), "close");
}

TEST_F(ModemPortTest, CommandGoesOutUpperCasedWithCarriageReturnAfterPurge) {
  OpenPort();
  modem.Transact("at+clck=\"sc\",2");
  EXPECT_EQ(port().written, "AT+CLCK=\"SC\",2\r");
  ASSERT_GE(port().log.size(), 2u);
  EXPECT_EQ(port().log[0], "purge");
  EXPECT_EQ(port().log[1], "write AT+CLCK=\"SC\",2\r");
}

// When the first byte of the reply arrives decides how long the exchange
// takes and how many reads and pauses it makes.
struct Timing {
  const char* what;
  long firstByteAt;  // -1: the modem never answers
  long transactEnds;
  long collectMoreEnds;
  std::vector<std::string> sleeps;  // of Transact
};

const Timing kTimings[] = {
    {"answers at once", 0, 200, 200, {}},
    {"answers after 300 ms", 300, 900, 900, {"sleep 500 @200"}},
    {"answers after 1 s", 1000, 2900, 1900, {"sleep 500 @200", "sleep 1800 @900"}},
    {"silent", -1, 2900, 1900, {"sleep 500 @200", "sleep 1800 @900"}},
};

TEST_F(ModemPortTest, StagedCollectionTimings) {
  for (const auto& t : kTimings) {
    SCOPED_TRACE(t.what);
    OpenPort();
    platform.events.clear();
    if (t.firstByteAt >= 0) {
      port().modem = [&](const std::string&) {
        return std::vector<std::pair<long, std::string>>{{t.firstByteAt, "\r\nOK\r\n"}};
      };
    }
    const ReplyText reply = modem.Transact("at");
    EXPECT_EQ(platform.now, t.transactEnds);
    EXPECT_EQ(platform.events, t.sleeps);
    EXPECT_EQ(reply, t.firstByteAt >= 0 ? "\r\nOK\r\n" : ReplyNothingReceived);
    port().modem = nullptr;

    platform.now = 0;
    if (t.firstByteAt >= 0) platform.Arrive("COM1", t.firstByteAt, "late");
    EXPECT_EQ(modem.CollectMore(), t.firstByteAt >= 0 ? "late" : "");
    EXPECT_EQ(platform.now, t.collectMoreEnds);
    modem.Close();
  }
}

TEST_F(ModemPortTest, BothReadsOfAStageRunEvenWhenTheFirstBringsEverything) {
  OpenPort();
  port().modem = [](const std::string&) {
    return std::vector<std::pair<long, std::string>>{{0, "\r\nOK"}, {150, "\r\n"}};
  };
  EXPECT_EQ(modem.Transact("at"), "\r\nOK\r\n");
  const std::vector<std::string> expected = {"purge", "write AT\r", "read 100 -> 4 @0",
                                             "read 100 -> 2 @100"};
  EXPECT_EQ(port().log, expected);
}

TEST_F(ModemPortTest, NothingWrittenReturnsAtOnceWithoutReading) {
  OpenPort();
  port().writeLimit = 0;
  EXPECT_EQ(modem.Transact("atz"), ReplyNothingWritten);
  EXPECT_EQ(platform.now, 0);
  EXPECT_EQ(port().log, (std::vector<std::string>{"purge", "write "}));
}

TEST_F(ModemPortTest, PartialWriteCountsAsWritten) {
  OpenPort();
  port().writeLimit = 2;
  EXPECT_EQ(modem.Transact("atz"), ReplyNothingReceived);
}

TEST_F(ModemPortTest, CommandTooLongForTheStagingBufferIsNotSent) {
  OpenPort();
  EXPECT_EQ(modem.Transact(std::string(103, 'a')), ReplyNothingWritten);
  EXPECT_TRUE(port().written.empty());
  EXPECT_NE(modem.Transact(std::string(102, 'a')), ReplyNothingWritten);
  EXPECT_EQ(port().written.size(), 103u);
}

TEST_F(ModemPortTest, AtMostTwoHundredBytesPerCallTheRestStaysQueued) {
  OpenPort();
  const std::string big = std::string(100, 'a') + std::string(100, 'b') + "tail";
  port().modem = [&](const std::string&) {
    return std::vector<std::pair<long, std::string>>{{0, big}};
  };
  EXPECT_EQ(modem.Transact("at"), big.substr(0, 200));
  EXPECT_EQ(modem.CollectMore(), "tail");
  EXPECT_EQ(platform.now, 200);  // two full reads return at once, then one 100 ms time-out pair
}

TEST_F(ModemPortTest, InputWaitingBeforeTransactIsPurgedButCollectMoreKeepsIt) {
  OpenPort();
  platform.Arrive("COM1", 0, "stale");
  EXPECT_EQ(modem.Transact("at"), ReplyNothingReceived);
  platform.Arrive("COM1", 0, "waiting");
  EXPECT_EQ(modem.CollectMore(), "waiting");
}

TEST_F(ModemPortTest, NulBytesAreDroppedAloneAndTheRestOfTheChunkKept) {
  OpenPort();
  port().modem = [](const std::string&) {
    return std::vector<std::pair<long, std::string>>{{0, std::string("\r\nO\0K\r\n", 7)}};
  };
  EXPECT_EQ(modem.Transact("at"), "\r\nOK\r\n");
}

TEST_F(ModemPortTest, CloseDiscardsQueuesAndReleasesThePort) {
  OpenPort();
  modem.Close();
  EXPECT_EQ(port().log, (std::vector<std::string>{"purge", "close"}));
  EXPECT_FALSE(port().isOpen);
}

// The destructor does not close: a forgotten Close stays visible on the fake
// device (the real devices release their handle when freed).
TEST(ModemPortLifetime, DestructionWithoutCloseClosesNothing) {
  FakePlatform platform;
  platform.Port("COM1");
  {
    ModemPort modem(platform);
    ASSERT_EQ(modem.Open("COM1"), PortOpenResult::Opened);
    platform.Port("COM1").log.clear();
  }
  EXPECT_TRUE(platform.Port("COM1").isOpen);
  EXPECT_TRUE(platform.Port("COM1").log.empty());
}

TEST(ReplyEcho, RemovesOnlyTheFirstEchoOfTheCommand) {
  struct Case {
    const char* reply;
    const char* command;
    const char* expected;
  } cases[] = {
      {"at+cpin=1ok2\r\r\n+cme error: 16\r\n", "AT+CPIN=1OK2", "\r\r\n+cme error: 16\r\n"},
      {"at+cpin=okok\r\r\nok\r\n", "AT+CPIN=OKOK", "\r\r\nok\r\n"},
      {"\r\nok\r\n", "AT+CPIN=1234", "\r\nok\r\n"},  // no echo: nothing to remove
      {"|2ok", "AT+CPIN=1234", "|2ok"},
      {"at+cpin=1234\rat+cpin=1234", "at+cpin=1234", "\rat+cpin=1234"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.reply);
    EXPECT_EQ(WithoutEcho(c.reply, c.command), c.expected);
  }
}

}  // namespace
}  // namespace tessivo
