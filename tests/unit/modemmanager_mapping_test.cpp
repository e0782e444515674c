// What ModemManager's properties and errors mean for Tessivo, and which
// kernel name a port leads to.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <map>
#include <optional>

#include "modemmanager/mm_mapping.h"
#include "modemmanager/modem_manager_service.h"
#include "tests/support/process.h"

namespace tessivo {
namespace {

using S = ServiceSimState;

struct StateCase {
  const char* what;
  uint32_t lock;
  int32_t state;
  bool hasFacilityLocks;
  uint32_t facilities;
  ServiceSimState expected;
};

// The modem states (MMModemState) used below: -1 failed, 1 initializing,
// 2 locked, 3 disabled.
const StateCase kStateCases[] = {
    {"sim-pin", 2, 2, true, 1, S::PinRequired},
    {"sim-puk", 4, 2, true, 1, S::PukRequired},
    {"none, SIM facility locked", 1, 3, true, 1, S::Unlocked},
    {"none, SIM facility among others", 1, 3, true, 1 | 8, S::Unlocked},
    {"none, SIM facility open", 1, 3, true, 0, S::PinRequestOff},
    {"none, another facility only", 1, 3, true, 8, S::PinRequestOff},
    // Without the 3GPP interface nothing says the request is off.
    {"none, no 3GPP interface", 1, 3, false, 0, S::Unlocked},
    {"sim-pin2", 3, 2, true, 1, S::PinRequired},
    {"sim-puk2", 5, 2, true, 1, S::PukRequired},
    {"ph-net-pin", 8, 2, true, 1, S::PinRequired},
    {"ph-net-puk", 9, 2, true, 1, S::PukRequired},
    {"ph-sim-pin", 10, 2, true, 1, S::PinRequired},
    {"ph-corp-pin", 11, 2, true, 1, S::PinRequired},
    {"ph-corp-puk", 12, 2, true, 1, S::PukRequired},
    {"ph-netsub-puk", 16, 2, true, 1, S::PukRequired},
    {"a lock newer than this table", 17, 2, true, 1, S::NoSim},
    {"unknown lock", 0, 3, true, 1, S::NoSim},
    {"failed: SIM missing", 0, -1, false, 0, S::NoSim},
    {"failed, though a lock is known", 2, -1, true, 1, S::NoSim},
};

TEST(ModemManagerMapping, SimStateOfTheProperties) {
  for (const auto& c : kStateCases) {
    mm::ModemProperties modem;
    modem.unlockRequired = c.lock;
    modem.state = c.state;
    modem.hasFacilityLocks = c.hasFacilityLocks;
    modem.enabledFacilityLocks = c.facilities;
    EXPECT_EQ(mm::SimStateOf(modem), c.expected) << c.what;
  }
}

TEST(ModemManagerMapping, OnlyAModemBeingSetUpIsWaitedFor) {
  mm::ModemProperties modem;
  modem.state = 1;  // initializing, lock not yet known
  EXPECT_TRUE(mm::StillSettling(modem));
  modem.state = -1;
  EXPECT_FALSE(mm::StillSettling(modem));
  modem.state = 2;
  modem.unlockRequired = 2;
  EXPECT_FALSE(mm::StillSettling(modem));
}

// For --wait, which looks again by itself: nothing definite before
// ModemManager is past setting the modem up, since only then has it read
// the tries left too.
TEST(ModemManagerMapping, StateNowOnlyAfterTheSetUp) {
  struct Case {
    const char* what;
    int32_t state;
    uint32_t lock;
    ServiceSimState expected;
  } cases[] = {
      {"unknown, lock known", 0, 2, S::NoSim},
      {"initializing, lock known", 1, 2, S::NoSim},
      {"initializing, unlocked", 1, 1, S::NoSim},
      {"locked", 2, 2, S::PinRequired},
      {"locked for the PUK", 2, 4, S::PukRequired},
      {"disabled, unlocked", 3, 1, S::Unlocked},
      {"failed", -1, 2, S::NoSim},
  };
  for (const auto& c : cases) {
    mm::ModemProperties modem;
    modem.state = c.state;
    modem.unlockRequired = c.lock;
    EXPECT_EQ(mm::SimStateNowOf(modem), c.expected) << c.what;
  }
}

TEST(ModemManagerMapping, PinTriesFromUnlockRetries) {
  struct Case {
    const char* what;
    std::map<uint32_t, uint32_t> retries;
    std::optional<unsigned> expected;
  } cases[] = {
      {"sim-pin and sim-puk", {{2, 3}, {4, 10}}, 3u},
      {"one try", {{2, 1}}, 1u},
      {"none left", {{2, 0}, {4, 10}}, 0u},
      // The PUK's or the PIN2's count is no count of PIN tries.
      {"only sim-puk and sim-pin2", {{4, 10}, {3, 3}}, std::nullopt},
      {"nothing reported", {}, std::nullopt},
      {"ModemManager's unknown mark", {{2, 999}}, std::nullopt},
  };
  for (const auto& c : cases) {
    mm::ModemProperties modem;
    modem.unlockRetries = c.retries;
    EXPECT_EQ(mm::PinTriesOf(modem), c.expected) << c.what;
  }
}

struct ErrorCase {
  const char* name;
  int error;
  ServiceReply expected;
};

const ErrorCase kErrorCases[] = {
    {"", 1, ServiceReply::Accepted},
    {"org.freedesktop.ModemManager1.Error.MobileEquipment.IncorrectPassword", -EIO,
     ServiceReply::WrongPassword},
    {"org.freedesktop.ModemManager1.Error.MobileEquipment.SimPuk", -EIO,
     ServiceReply::WrongPassword},
    {"org.freedesktop.ModemManager1.Error.Core.Unauthorized", -EACCES, ServiceReply::Refused},
    {"org.freedesktop.DBus.Error.AccessDenied", -EACCES, ServiceReply::Refused},
    {"org.freedesktop.ModemManager1.Error.Core.WrongState", -EIO, ServiceReply::WrongState},
    {"org.freedesktop.DBus.Error.NoReply", -ETIMEDOUT, ServiceReply::NoAnswer},
    {"org.freedesktop.DBus.Error.ServiceUnknown", -EIO, ServiceReply::NoAnswer},
    {"org.freedesktop.ModemManager1.Error.Serial.ResponseTimeout", -EIO, ServiceReply::NoAnswer},
    {"", -ETIMEDOUT, ServiceReply::NoAnswer},
    {"", -ECONNRESET, ServiceReply::NoAnswer},
    {"", -ENOMEM, ServiceReply::Failed},
    {"org.freedesktop.ModemManager1.Error.MobileEquipment.SimFailure", -EIO,
     ServiceReply::Failed},
    // A name that only contains a known one is not that one.
    {"org.freedesktop.ModemManager1.Error.Core.WrongStateNot", -EIO, ServiceReply::Failed},
};

TEST(ModemManagerMapping, ReplyForEveryError) {
  for (const auto& c : kErrorCases) {
    EXPECT_EQ(mm::ReplyForError(c.name, c.error), c.expected) << c.name << " " << c.error;
  }
}

// Ports resolve through the port folder and every link to the name the
// kernel gives the device, the name ModemManager lists.
TEST(ModemManagerMapping, KernelNameOfPort) {
  testing::TempDir dir;
  std::ofstream(dir / "ttyUSB2").put('x');
  ASSERT_EQ(symlink((dir / "ttyUSB2").c_str(), (dir / "by-id-link").c_str()), 0);
  ASSERT_EQ(symlink((dir / "by-id-link").c_str(), (dir / "com3").c_str()), 0);
  ASSERT_EQ(symlink((dir / "nowhere").c_str(), (dir / "com4").c_str()), 0);
  setenv("TESSIVO_PORT_DIR", dir.path().c_str(), 1);
  EXPECT_EQ(KernelNameOfPort("COM3"), "ttyUSB2");
  EXPECT_EQ(KernelNameOfPort("com3"), "ttyUSB2");
  EXPECT_EQ(KernelNameOfPort(dir / "by-id-link"), "ttyUSB2");
  EXPECT_EQ(KernelNameOfPort(dir / "ttyUSB2"), "ttyUSB2");
  EXPECT_EQ(KernelNameOfPort("COM4"), std::nullopt);  // the link leads nowhere
  EXPECT_EQ(KernelNameOfPort("COM5"), std::nullopt);  // no link at all
  EXPECT_EQ(KernelNameOfPort("LPT1"), std::nullopt);
  unsetenv("TESSIVO_PORT_DIR");
}

// No bus, or a bus without ModemManager: no modem is ModemManager's, and
// the question costs no waiting (the bench measures how little).
TEST(ModemManagerService, WithoutModemManagerEveryPortIsTheProgramsOwn) {
  testing::TempDir dir;
  std::ofstream(dir / "ttyUSB0").put('x');
  ASSERT_EQ(symlink((dir / "ttyUSB0").c_str(), (dir / "com1").c_str()), 0);
  setenv("TESSIVO_PORT_DIR", dir.path().c_str(), 1);
  setenv("DBUS_SYSTEM_BUS_ADDRESS", ("unix:path=" + dir / "no-bus").c_str(), 1);
  ModemManagerService service;
  EXPECT_EQ(service.ModemAt("COM1"), nullptr);
  EXPECT_EQ(service.ManagedPortName(), std::nullopt);
  unsetenv("TESSIVO_PORT_DIR");
  unsetenv("DBUS_SYSTEM_BUS_ADDRESS");
}

}  // namespace
}  // namespace tessivo
