// The fault matrix: hostile modems and hostile ports, one row each. The
// console form runs every row; the rows about replies also run through the
// dialog's "PIN senden" (and the false acceptances through its switch).
// Exit statuses are those of the console form: 0 accepted, 1 the modem
// answered without acceptance, 3 no such port, 4 busy, 5 not usable as a
// port, 7 the modem did not answer at all.
#pragma once

#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <csignal>
#include <string>
#include <vector>

#include "operations/status_texts.h"
#include "tests/support/hostile_modem.h"

namespace tessivo::testing {

enum class PortKind {
  Modem,           // the hostile modem as COM1
  RegularFile,     // com1 is an ordinary file
  CraftedFile,     // ... holding a modem's "OK"
  Folder,          // com1 is a folder
  Fifo,            // com1 is a named pipe
  DevNull,         // com1 links to /dev/null
  DanglingLink,    // com1 links to nothing
  LinkToTextFile,  // com1 links to a text file
  LinkLoop,        // com1 links to itself
  HeldExclusive,   // another program holds the modem's tty with TIOCEXCL
  SecondProgram,   // a first run holds the port while the second starts
  KilledMidway,    // the run gets `status` as a signal while it waits
};

// How long a run may take beyond its signal (1 s failure, 0.2 s success):
// refusals come at once; an exchange with answers takes about 2.7 s, one
// without any about 5.4 s (2.9 s, the 500 ms wait, 1.9 s for the rest).
enum class Bound : long { AtOnce = 1000, Answering = 5000, Silent = 9000 };

struct FaultRow {
  const char* name;
  PortKind port;
  HostileBehaviour modem;
  const char* pin;
  int status;  // exit status; for KilledMidway the signal
  Bound bound;
  const char* dialogText;  // what "PIN senden" shows; nullptr: no dialog row
  bool viaSwitch;          // the switch is tried with the same reply too
};

inline HostileBehaviour Replies(std::string reply, long afterMs = 0) {
  HostileBehaviour b;
  b.reply = std::move(reply);
  b.replyAfterMs = afterMs;
  return b;
}

inline HostileBehaviour Trickles(std::string reply, long gapMs) {
  HostileBehaviour b = Replies(std::move(reply));
  b.byteGapMs = gapMs;
  return b;
}

inline HostileBehaviour VanishesAfter(std::string partial, HostileBehaviour::Then then) {
  HostileBehaviour b = Replies(std::move(partial));
  b.then = then;
  return b;
}

inline HostileBehaviour Streams(HostileBehaviour::Stream stream, long ms) {
  HostileBehaviour b;
  b.stream = stream;
  b.streamMs = ms;
  b.answersProbes = false;
  return b;
}

inline HostileBehaviour GreetsWith(std::string greeting, std::string reply) {
  HostileBehaviour b = Replies(std::move(reply));
  b.beforeOpen = std::move(greeting);
  return b;
}

// A reply of exactly n bytes that ends in "OK": the program collects at most
// 200 bytes in the exchange and 200 more after its wait.
inline std::string EndingInOk(std::size_t n) {
  return std::string(n - 4, 'x') + "\r\nOK";
}

inline std::string HighBytes() {
  std::string bytes;
  for (int c = 0x80; c <= 0xFF; ++c) bytes += static_cast<char>(c);
  return bytes;
}

inline const std::vector<FaultRow>& FaultRows() {
  using Then = HostileBehaviour::Then;
  using Stream = HostileBehaviour::Stream;
  const char* accepted = texts::kPinAccepted;
  const char* unexpected = texts::kUnexpectedReply;
  static const std::vector<FaultRow> rows = {
      // The device vanishes mid-reply: USB unplugged (its node goes too) or
      // the far end closed.
      {"vanishes_before_any_reply", PortKind::Modem, VanishesAfter("", Then::Vanishes), "1234", 7,
       Bound::Silent, nullptr, false},
      {"vanishes_with_its_link_before_any_reply", PortKind::Modem,
       VanishesAfter("", Then::VanishesWithItsLink), "1234", 7, Bound::Silent, nullptr, false},
      {"vanishes_after_a_partial_O", PortKind::Modem, VanishesAfter("\r\nO", Then::Vanishes),
       "1234", 1, Bound::Answering, nullptr, false},
      {"vanishes_with_its_link_after_a_partial_O", PortKind::Modem,
       VanishesAfter("\r\nO", Then::VanishesWithItsLink), "1234", 1, Bound::Answering, nullptr,
       false},
      // Floods and garbage.
      {"ten_seconds_of_random_bytes", PortKind::Modem, Streams(Stream::RandomBytes, 10000), "1234",
       1, Bound::Answering, nullptr, false},
      {"endless_RSSI_lines", PortKind::Modem, Streams(Stream::RssiLines, 1000000), "1234", 1,
       Bound::Answering, nullptr, false},
      // NULs are dropped, so nothing at all came back.
      {"a_thousand_NULs", PortKind::Modem, Replies(std::string(1000, '\0')), "1234", 7,
       Bound::Silent, unexpected, false},
      {"bytes_0x80_to_0xFF", PortKind::Modem, Replies(HighBytes()), "1234", 1, Bound::Answering,
       unexpected, false},
      {"bytes_0x80_to_0xFF_then_OK", PortKind::Modem, Replies(HighBytes() + "\r\nOK\r\n"), "1234",
       0, Bound::Answering, accepted, false},
      // Long replies: 200 bytes fit the exchange, 201 end in the rest, 400
      // fill both; of 1,000 the OK is never read, a failure by design.
      {"reply_of_200_bytes_ending_in_OK", PortKind::Modem, Replies(EndingInOk(200)), "1234", 0,
       Bound::Answering, accepted, false},
      {"reply_of_201_bytes_ending_in_OK", PortKind::Modem, Replies(EndingInOk(201)), "1234", 0,
       Bound::Answering, accepted, false},
      {"reply_of_400_bytes_ending_in_OK", PortKind::Modem, Replies(EndingInOk(400)), "1234", 0,
       Bound::Answering, accepted, false},
      {"reply_of_1000_bytes_ending_in_OK_is_lost_by_design", PortKind::Modem,
       Replies(EndingInOk(1000)), "1234", 1, Bound::Answering, unexpected, false},
      // Slow modems: the exchange and the rest together wait about 5.3 s
      // for an answer; an OK after 6 s is lost by design.
      {"one_byte_every_50_ms", PortKind::Modem, Trickles("\r\nOK\r\n", 50), "1234", 0,
       Bound::Answering, accepted, false},
      {"OK_after_3300_ms", PortKind::Modem, Replies("\r\nOK\r\n", 3300), "1234", 0, Bound::Silent,
       accepted, false},
      {"OK_after_5000_ms", PortKind::Modem, Replies("\r\nOK\r\n", 5000), "1234", 0, Bound::Silent,
       accepted, false},
      {"OK_after_6000_ms_is_lost_by_design", PortKind::Modem, Replies("\r\nOK\r\n", 6000), "1234",
       7, Bound::Silent, unexpected, false},
      // Replies that held the letters "ok" and once passed for acceptance.
      {"error_SIM_broken_after_the_echo", PortKind::Modem,
       Replies("%e\r\n+CME ERROR: SIM broken\r\n"), "1234", 1, Bound::Answering, unexpected, true},
      {"Token_ERROR", PortKind::Modem, Replies("\r\nToken ERROR\r\n"), "1234", 1, Bound::Answering,
       unexpected, true},
      {"ERROR_then_O_NUL_K", PortKind::Modem, Replies(std::string("\r\nERROR\r\nO\0K\r\n", 13)),
       "1234", 1, Bound::Answering, unexpected, true},
      {"PIN_OKOK_echoed_twice_then_incorrect_password", PortKind::Modem,
       Replies("%e%e\r\n+CME ERROR: incorrect password\r\n"), "OKOK", 1, Bound::Answering,
       texts::kWrongPin, true},
      {"OK_then_ERROR", PortKind::Modem, Replies("\r\nOK\r\n\r\nERROR\r\n"), "1234", 1,
       Bound::Answering, unexpected, true},
      // An XOFF that the tty acted on before the program opened it.
      {"XOFF_greeting", PortKind::Modem, GreetsWith("\x13", "%e\r\nOK\r\n"), "1234", 0,
       Bound::Answering, accepted, false},
      // Ports that are none: refused at once, nothing written.
      {"regular_file", PortKind::RegularFile, {}, "1234", 3, Bound::AtOnce, nullptr, false},
      {"crafted_file", PortKind::CraftedFile, {}, "1234", 3, Bound::AtOnce, nullptr, false},
      {"folder", PortKind::Folder, {}, "1234", 3, Bound::AtOnce, nullptr, false},
      {"fifo", PortKind::Fifo, {}, "1234", 3, Bound::AtOnce, nullptr, false},
      {"dev_null", PortKind::DevNull, {}, "1234", 5, Bound::AtOnce, nullptr, false},
      {"dangling_link", PortKind::DanglingLink, {}, "1234", 3, Bound::AtOnce, nullptr, false},
      {"link_to_a_text_file",
       PortKind::LinkToTextFile,
       {},
       "1234",
       3,
       Bound::AtOnce,
       nullptr,
       false},
      {"link_to_itself", PortKind::LinkLoop, {}, "1234", 3, Bound::AtOnce, nullptr, false},
      // Other programs on the port, and runs that are killed.
      {"held_with_TIOCEXCL_by_another_program", PortKind::HeldExclusive, Replies("\r\nOK\r\n"),
       "1234", 4, Bound::AtOnce, nullptr, false},
      {"second_program_on_one_port", PortKind::SecondProgram, Replies("\r\nOK\r\n", 1500), "1234",
       4, Bound::AtOnce, nullptr, false},
      {"killed_by_SIGINT", PortKind::KilledMidway, Replies(""), "1234", SIGINT, Bound::AtOnce,
       nullptr, false},
      {"killed_by_SIGTERM", PortKind::KilledMidway, Replies(""), "1234", SIGTERM, Bound::AtOnce,
       nullptr, false},
      {"killed_by_SIGHUP", PortKind::KilledMidway, Replies(""), "1234", SIGHUP, Bound::AtOnce,
       nullptr, false},
      {"killed_by_SIGQUIT", PortKind::KilledMidway, Replies(""), "1234", SIGQUIT, Bound::AtOnce,
       nullptr, false},
      {"killed_by_SIGUSR1", PortKind::KilledMidway, Replies(""), "1234", SIGUSR1, Bound::AtOnce,
       nullptr, false},
      {"killed_by_SIGUSR2", PortKind::KilledMidway, Replies(""), "1234", SIGUSR2, Bound::AtOnce,
       nullptr, false},
      {"killed_by_SIGALRM", PortKind::KilledMidway, Replies(""), "1234", SIGALRM, Bound::AtOnce,
       nullptr, false},
      {"killed_by_SIGPIPE", PortKind::KilledMidway, Replies(""), "1234", SIGPIPE, Bound::AtOnce,
       nullptr, false},
      {"killed_by_SIGXCPU", PortKind::KilledMidway, Replies(""), "1234", SIGXCPU, Bound::AtOnce,
       nullptr, false},
      {"killed_by_SIGXFSZ", PortKind::KilledMidway, Replies(""), "1234", SIGXFSZ, Bound::AtOnce,
       nullptr, false},
      {"killed_by_SIGVTALRM", PortKind::KilledMidway, Replies(""), "1234", SIGVTALRM, Bound::AtOnce,
       nullptr, false},
      {"killed_by_SIGPROF", PortKind::KilledMidway, Replies(""), "1234", SIGPROF, Bound::AtOnce,
       nullptr, false},
  };
  return rows;
}

// The rows that run through the dialog's "PIN senden", and those that also
// run through its switch.
inline std::vector<FaultRow> DialogRows(bool viaSwitch) {
  std::vector<FaultRow> rows;
  for (const auto& row : FaultRows()) {
    if (row.dialogText && (!viaSwitch || row.viaSwitch)) rows.push_back(row);
  }
  return rows;
}

inline void PrintTo(const FaultRow& row, std::ostream* out) {
  *out << row.name;
}

// Another program can take the port exclusively, at once: open, no
// exclusive mode left behind (root would open even through one), lock and
// exclusive mode both granted.
inline void ExpectFreeAtOnce(const std::string& path) {
  const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  ASSERT_GE(fd, 0) << path;
  int exclusive = -1;
  EXPECT_EQ(ioctl(fd, TIOCGEXCL, &exclusive), 0);
  EXPECT_EQ(exclusive, 0) << "exclusive mode left behind";
  EXPECT_EQ(flock(fd, LOCK_EX | LOCK_NB), 0) << "lock left behind";
  EXPECT_EQ(ioctl(fd, TIOCEXCL), 0);
  ioctl(fd, TIOCNXCL);
  close(fd);
}

}  // namespace tessivo::testing
