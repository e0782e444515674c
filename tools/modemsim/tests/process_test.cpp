// The real program on a real pseudo-terminal, driven the way Tessivo and the
// test scripts drive it.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

class SimProcess {
 public:
  explicit SimProcess(std::vector<std::string> args) {
    char dirTemplate[] = "/tmp/modemsim-test-XXXXXX";
    dir_ = mkdtemp(dirTemplate);
    link_ = dir_ + "/com1";
    transcript_ = dir_ + "/transcript.txt";
    args.insert(args.begin(), {MODEMSIM_BINARY, "--link", link_, "--transcript", transcript_});
    int out[2];
    if (pipe(out) != 0) std::abort();
    pid_ = fork();
    if (pid_ == 0) {
      dup2(out[1], 1);
      std::vector<char*> argv;
      for (std::string& a : args) argv.push_back(a.data());
      argv.push_back(nullptr);
      execv(argv[0], argv.data());
      _exit(127);
    }
    close(out[1]);
    stdout_ = out[0];
  }

  ~SimProcess() {
    if (pid_ > 0) Stop();
    close(stdout_);
    std::system(("rm -rf " + dir_).c_str());
  }

  // The next line the sim prints, or "" if none comes within two seconds.
  std::string ReadLine() {
    std::string line;
    auto deadline = Clock::now() + 2s;
    char c;
    while (Clock::now() < deadline) {
      pollfd p{stdout_, POLLIN, 0};
      if (poll(&p, 1, 50) <= 0) continue;
      if (read(stdout_, &c, 1) != 1) break;
      if (c == '\n') return line;
      line += c;
    }
    return "";
  }

  int Stop() {
    kill(pid_, SIGTERM);
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  std::string Transcript() const {
    std::ifstream in(transcript_);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }

  const std::string& link() const { return link_; }

 private:
  std::string dir_, link_, transcript_;
  pid_t pid_ = -1;
  int stdout_ = -1;
};

// A client on the serial device, as Tessivo opens it.
class Port {
 public:
  explicit Port(const std::string& path) : fd_(open(path.c_str(), O_RDWR | O_NOCTTY)) {
    termios tio;
    if (fd_ >= 0 && tcgetattr(fd_, &tio) == 0) {
      cfmakeraw(&tio);
      tcsetattr(fd_, TCSANOW, &tio);
    }
  }
  ~Port() {
    if (fd_ >= 0) close(fd_);
  }
  bool ok() const { return fd_ >= 0; }
  void Send(const std::string& s) { ASSERT_EQ(write(fd_, s.data(), s.size()), ssize_t(s.size())); }

  // Everything that arrives within `quiet` of the last byte.
  std::string Read(std::chrono::milliseconds quiet = 300ms) {
    std::string got;
    char buf[256];
    pollfd p{fd_, POLLIN, 0};
    while (poll(&p, 1, quiet.count()) > 0) {
      ssize_t n = read(fd_, buf, sizeof buf);
      if (n <= 0) break;
      got.append(buf, n);
    }
    return got;
  }

 private:
  int fd_;
};

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
