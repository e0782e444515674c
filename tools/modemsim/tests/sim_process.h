// The real program on a real pseudo-terminal, and clients on its device, for
// the tests that drive tessivo-modemsim as its users do.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace tessivo::modemsim::testing {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// How long a test waits for something the sim will do: a sanitizer build
// started beside other tests on two cores has been seen to take more than
// two seconds for its banner. What comes ends the wait at once.
constexpr std::chrono::seconds kSimBound = 10s;

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
    std::error_code ignored;  // a destructor must not throw
    std::filesystem::remove_all(dir_, ignored);
  }

  // The next line the sim prints, or "" if none comes within kSimBound.
  std::string ReadLine() {
    std::string line;
    auto deadline = Clock::now() + kSimBound;
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
  const std::string& transcriptPath() const { return transcript_; }

 private:
  std::string dir_, link_, transcript_;
  pid_t pid_ = -1;
  int stdout_ = -1;
};

// A client on the serial device, as Tessivo opens it.
class Port {
 public:
  enum class Mode {
    kRaw,     // as Tessivo and every AT client set their port
    kCooked,  // a terminal's defaults: echo, canonical input, CR to NL
  };

  explicit Port(const std::string& path, Mode mode = Mode::kRaw)
      : fd_(open(path.c_str(), O_RDWR | O_NOCTTY)) {
    termios tio;
    if (fd_ < 0 || tcgetattr(fd_, &tio) != 0) return;
    if (mode == Mode::kRaw) {
      cfmakeraw(&tio);
    } else {
      tio.c_iflag |= ICRNL | IXON;
      tio.c_oflag |= OPOST | ONLCR;
      tio.c_lflag |= ECHO | ECHOE | ECHOK | ECHOCTL | ECHOKE | ICANON | ISIG | IEXTEN;
    }
    tcsetattr(fd_, TCSANOW, &tio);
  }
  ~Port() { Close(); }
  Port(const Port&) = delete;
  Port& operator=(const Port&) = delete;

  bool ok() const { return fd_ >= 0; }
  int fd() const { return fd_; }
  void Send(const std::string& s) { ASSERT_EQ(write(fd_, s.data(), s.size()), ssize_t(s.size())); }
  void Close() {
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
  }

  // A reply: its first byte is awaited up to kSimBound, the rest until
  // `quiet` passes without a byte, but no more than `limit` bytes.
  std::string Read(std::chrono::milliseconds quiet = 300ms, size_t limit = 1 << 20) {
    return Collect(kSimBound, quiet, limit);
  }

  // What arrives within `quiet` when nothing should.
  std::string ReadUnasked(std::chrono::milliseconds quiet = 300ms) {
    return Collect(quiet, quiet, 1 << 20);
  }

 private:
  std::string Collect(std::chrono::milliseconds first, std::chrono::milliseconds quiet,
                      size_t limit) {
    std::string got;
    char buf[256];
    pollfd p{fd_, POLLIN, 0};
    while (got.size() < limit && poll(&p, 1, (got.empty() ? first : quiet).count()) > 0) {
      ssize_t n = read(fd_, buf, std::min(sizeof buf, limit - got.size()));
      if (n <= 0) break;
      got.append(buf, n);
    }
    return got;
  }

  int fd_;
};

// The bytes of the transcript's lines in one direction ("IN" or "OUT"),
// joined and unescaped.
inline std::string TranscriptBytes(const std::string& transcript, const std::string& direction) {
  std::string out;
  std::istringstream lines(transcript);
  std::string line;
  const std::string tag = " " + direction + " ";
  while (std::getline(lines, line)) {
    size_t at = line.find(tag);
    if (at == std::string::npos) continue;
    for (size_t i = at + tag.size(); i < line.size(); ++i) {
      if (line[i] != '\\' || i + 1 >= line.size()) {
        out += line[i];
      } else if (line[++i] == 'r') {
        out += '\r';
      } else if (line[i] == 'n') {
        out += '\n';
      } else if (line[i] == 'x' && i + 2 < line.size()) {
        out += static_cast<char>(std::stoi(line.substr(i + 1, 2), nullptr, 16));
        i += 2;
      } else {
        out += line[i];
      }
    }
  }
  return out;
}

struct ClientRun {
  int status = -1;  // -1: killed, or it did not end in time
  std::string output;
  std::chrono::milliseconds elapsed{0};
};

// Runs a client program with its stdout and stderr captured and stdin from
// /dev/null, for at most `limit`.
inline ClientRun RunClient(const std::vector<std::string>& args,
                           const std::vector<std::string>& env, std::chrono::seconds limit) {
  ClientRun run;
  int out[2];
  if (pipe(out) != 0) return run;
  auto start = Clock::now();
  pid_t pid = fork();
  if (pid == 0) {
    int null = open("/dev/null", O_RDONLY);
    dup2(null, 0);
    dup2(out[1], 1);
    dup2(out[1], 2);
    close(out[0]);
    for (const std::string& e : env) putenv(const_cast<char*>(e.c_str()));
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execvp(argv[0], argv.data());
    _exit(127);
  }
  close(out[1]);
  char buf[512];
  pollfd p{out[0], POLLIN, 0};
  auto deadline = start + limit;
  while (Clock::now() < deadline) {
    if (poll(&p, 1, 50) <= 0) continue;
    ssize_t n = read(out[0], buf, sizeof buf);
    if (n <= 0) break;
    run.output.append(buf, n);
  }
  close(out[0]);
  bool late = Clock::now() >= deadline;
  if (late) kill(pid, SIGKILL);
  int status = 0;
  waitpid(pid, &status, 0);
  run.elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
  if (!late && WIFEXITED(status)) run.status = WEXITSTATUS(status);
  return run;
}

// Whether a program is on the PATH.
inline bool Installed(const std::string& program) {
  return std::system(("command -v " + program + " >/dev/null 2>&1").c_str()) == 0;
}

}  // namespace tessivo::modemsim::testing
