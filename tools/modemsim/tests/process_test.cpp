// The real program on a real pseudo-terminal, driven the way Tessivo and the
// test scripts drive it.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "sim_process.h"

namespace tessivo::modemsim::testing {
namespace {

TEST(ProcessTest, ServesOneClientAfterAnotherAndStopsCleanly) {
  SimProcess sim({"--cmee", "1"});
  std::string banner = sim.ReadLine();
  EXPECT_EQ(banner.rfind("tessivo-modemsim: " + sim.link() + " -> /dev/pts/", 0), 0u) << banner;
  EXPECT_NE(banner.find("SIM waiting for PIN"), std::string::npos) << banner;

  for (int i = 0; i < 3; ++i) {
    Port port(sim.link());
    ASSERT_TRUE(port.ok());
    port.Send("AT+CPIN?\r");
    // Raw on both sides: no echo of our own bytes, no CR turned into LF.
    EXPECT_EQ(port.Read(), "AT+CPIN?\r\r\n+CPIN: SIM PIN\r\n\r\nOK\r\n") << "client " << i;
  }
  {
    Port port(sim.link());
    port.Send("AT+CPIN=9\r");
    EXPECT_EQ(port.Read(), "AT+CPIN=9\r\r\n+CME ERROR: 16\r\n");
  }
  EXPECT_EQ(sim.ReadLine(), "wrong PIN: 2 attempts left");

  std::string transcript = sim.Transcript();
  EXPECT_NE(transcript.find(" IN AT+CPIN=9\\r\n"), std::string::npos) << transcript;
  // It holds the PINs sent: its owner's alone, whatever the umask.
  struct stat info {};
  ASSERT_EQ(stat(sim.transcriptPath().c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
  EXPECT_NE(transcript.find(" OUT AT+CPIN=9\\r\\r\\n+CME ERROR: 16\\r\\n\n"), std::string::npos)
      << transcript;

  EXPECT_EQ(sim.Stop(), 0);
  EXPECT_EQ(access(sim.link().c_str(), F_OK), -1);
}

TEST(ProcessTest, AnswersForAClientThatLeftNeverReachTheNextOne) {
  SimProcess sim({"--late-final", "200", "--noise", "100", "--echo", "off"});
  ASSERT_NE(sim.ReadLine(), "");
  {
    Port port(sim.link());
    port.Send("AT+CPIN=1234\r");
  }
  EXPECT_EQ(sim.ReadLine(), "PIN accepted: SIM unlocked");
  std::this_thread::sleep_for(450ms);
  Port port(sim.link());
  port.Send("AT+CPIN?\r");
  // Neither the late OK nor the ^RSSI lines sent while no one listened come
  // first; a fresh ^RSSI may follow the reply.
  std::string reply = port.Read(50ms);
  EXPECT_EQ(reply.rfind("\r\n+CPIN: READY\r\n\r\nOK\r\n", 0), 0u) << reply;
}

// A real port forgets exclusive mode with its last close; the pty must too,
// or the client that set it (ModemManager's probe does) keeps everyone else
// out after it left.
TEST(ClientsTest, ExclusiveModeEndsWithTheLastClient) {
  SimProcess sim({});
  ASSERT_NE(sim.ReadLine(), "");
  {
    const int fd = open(sim.link().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(ioctl(fd, TIOCEXCL), 0);
    int exclusive = 0;
    ASSERT_EQ(ioctl(fd, TIOCGEXCL, &exclusive), 0);
    ASSERT_EQ(exclusive, 1);
    close(fd);
  }
  // The sim takes the device back as soon as it sees the close.
  std::this_thread::sleep_for(300ms);
  Port port(sim.link());
  ASSERT_TRUE(port.ok());
  int exclusive = -1;
  ASSERT_EQ(ioctl(port.fd(), TIOCGEXCL, &exclusive), 0);
  EXPECT_EQ(exclusive, 0);
  port.Send("AT\r");
  EXPECT_EQ(port.Read(), "AT\r\r\nOK\r\n");
}

// Clients as they come and go: every open starts clean, and every client
// that is there gets its answers.

TEST(ClientsTest, OneClientLeavingNeverSilencesAnother) {
  SimProcess sim({"--echo", "off"});
  ASSERT_NE(sim.ReadLine(), "");
  // The two open at once, as a watcher and a program would.
  for (int round = 0; round < 4; ++round) {
    Port first(sim.link());
    Port second(sim.link());
    first.Send("AT\r");
    EXPECT_EQ(first.Read(), "\r\nOK\r\n") << "round " << round;
    first.Close();
    std::this_thread::sleep_for(50ms);
    second.Send("AT+CPIN?\r");
    EXPECT_EQ(second.Read(), "\r\n+CPIN: SIM PIN\r\n\r\nOK\r\n") << "round " << round;
  }
}

// Holds every inotify instance the user may have, for as long as it lives:
// the state of a desktop whose file watchers have used them all up.
class NoInotifyLeft {
 public:
  NoInotifyLeft() {
    for (int fd; (fd = inotify_init1(IN_CLOEXEC)) >= 0 && fds_.size() < 4096;) fds_.push_back(fd);
  }
  ~NoInotifyLeft() {
    for (int fd : fds_) close(fd);
  }

 private:
  std::vector<int> fds_;
};

TEST(ClientsTest, AClientThatLeavesAtOnceLeavesNoAnswerBehind) {
  // Whether a client is there must not hang on the kernel reporting opens.
  std::optional<NoInotifyLeft> starved(std::in_place);
  SimProcess sim({"--state", "ready"});
  ASSERT_NE(sim.ReadLine(), "");
  starved.reset();
  for (int i = 0; i < 5; ++i) {
    Port port(sim.link());
    port.Send("AT+CPIN?\r");
  }
  std::this_thread::sleep_for(100ms);
  Port port(sim.link());
  EXPECT_EQ(port.ReadUnasked(), "");
  port.Send("AT\r");
  EXPECT_EQ(port.Read(), "AT\r\r\nOK\r\n");
}

TEST(ClientsTest, AHalfLineOfAKilledClientIsForgotten) {
  SimProcess sim({});
  ASSERT_NE(sim.ReadLine(), "");
  pid_t child = fork();
  if (child == 0) {
    int fd = open(sim.link().c_str(), O_RDWR | O_NOCTTY);
    if (fd < 0 || write(fd, "AT", 2) != 2) _exit(1);
    pause();
    _exit(0);
  }
  auto deadline = Clock::now() + kSimBound;
  while (sim.Transcript().find(" IN AT\n") == std::string::npos && Clock::now() < deadline) {
    std::this_thread::sleep_for(10ms);
  }
  kill(child, SIGKILL);
  waitpid(child, nullptr, 0);
  std::this_thread::sleep_for(100ms);
  Port port(sim.link());
  port.Send("AT+CPIN?\r");
  EXPECT_EQ(port.Read(), "AT+CPIN?\r\r\n+CPIN: SIM PIN\r\n\r\nOK\r\n");
}

TEST(ClientsTest, AClientWithItsTerminalEchoOnGetsOneAnswer) {
  SimProcess sim({});
  ASSERT_NE(sim.ReadLine(), "");
  {
    Port port(sim.link(), Port::Mode::kCooked);
    port.Send("AT\r");
    // The terminal turns CR into NL; a loop would run on and on.
    EXPECT_EQ(port.Read(1s, 4096), "AT\n\n\nOK\n\n");
  }
  // Only what the client typed reached the sim, never its own words.
  EXPECT_EQ(TranscriptBytes(sim.Transcript(), "IN"), "AT\r");
  Port port(sim.link());
  port.Send("AT\r");
  EXPECT_EQ(port.Read(), "AT\r\r\nOK\r\n");
}

TEST(ProcessTest, BadCommandLineExitsWithTwo) {
  pid_t pid = fork();
  if (pid == 0) {
    int null = open("/dev/null", O_WRONLY);
    dup2(null, 2);
    execl(MODEMSIM_BINARY, MODEMSIM_BINARY, "--link", "/tmp/x", "--cmee", "7", nullptr);
    _exit(127);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  EXPECT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 2);
}

}  // namespace
}  // namespace tessivo::modemsim::testing
