#include "tests/support/process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#ifndef TESSIVO_MODEMSIM
#error "TESSIVO_MODEMSIM must name the virtual modem binary"
#endif

namespace tessivo::testing {
namespace {

using Clock = std::chrono::steady_clock;

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

double CpuMs(const rusage& r) {
  return (r.ru_utime.tv_sec + r.ru_stime.tv_sec) * 1000.0 +
         (r.ru_utime.tv_usec + r.ru_stime.tv_usec) / 1000.0;
}

}  // namespace

pid_t Spawn(const std::vector<std::string>& argv, const std::map<std::string, std::string>& env,
            const std::string& outPath, const std::string& errPath, const ProgramIo& io,
            const std::string& inPath) {
  const pid_t pid = fork();
  if (pid != 0) return pid;
  if (io.ownProcessGroup) setpgid(0, 0);
  for (const auto& name : io.unset) unsetenv(name.c_str());
  for (const auto& [key, value] : env) setenv(key.c_str(), value.c_str(), 1);
  const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  const int in = io.inputFd >= 0 ? io.inputFd : open(inPath.c_str(), O_RDONLY);
  dup2(in, 0);
  dup2(out, 1);
  dup2(err, 2);
  std::vector<char*> args;
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  execv(args[0], args.data());
  _exit(127);
}

ProcessResult RunProgram(const std::vector<std::string>& argv,
                         const std::map<std::string, std::string>& env, long timeoutMs) {
  return RunProgram(argv, env, ProgramIo{}, timeoutMs);
}

ProcessResult RunProgram(const std::vector<std::string>& argv,
                         const std::map<std::string, std::string>& env, const ProgramIo& options,
                         long timeoutMs) {
  TempDir io;
  ProcessResult result;
  {
    std::ofstream in(io / "in", std::ios::binary);
    in << options.input;
  }
  chmod((io / "in").c_str(), options.inputMode);
  const auto start = Clock::now();
  const pid_t pid = Spawn(argv, env, io / "out", io / "err", options, io / "in");
  int status = 0;
  rusage usage{};
  for (;;) {
    const pid_t done = wait4(pid, &status, WNOHANG, &usage);
    if (done == pid) break;
    if (Clock::now() - start > std::chrono::milliseconds(timeoutMs)) {
      kill(pid, SIGKILL);
      wait4(pid, &status, 0, &usage);
      status = -1;
      break;
    }
    if (options.whileRunning) options.whileRunning(pid);
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  result.elapsedMs = static_cast<long>(
      std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
  result.exitCode = (status != -1 && WIFEXITED(status)) ? WEXITSTATUS(status) : -1;
  result.cpuMs = CpuMs(usage);
  result.out = ReadAll(io / "out");
  result.err = ReadAll(io / "err");
  return result;
}

TempDir::TempDir() {
  char pattern[] = "/tmp/tessivo-test-XXXXXX";
  path_ = mkdtemp(pattern);
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

VirtualModem::VirtualModem(const std::string& link, const std::vector<std::string>& options,
                           const std::string& transcript)
    : link_(link), transcript_(transcript), outputFile_(transcript + ".stdout") {
  std::vector<std::string> argv = {TESSIVO_MODEMSIM, "--link", link, "--transcript", transcript};
  argv.insert(argv.end(), options.begin(), options.end());
  pid_ = Spawn(argv, {}, outputFile_, transcript + ".stderr");
  // Ready once the link exists and the modem has said so.
  for (int i = 0; i < 500; ++i) {
    struct stat st {};
    if (lstat(link.c_str(), &st) == 0 && !Output().empty()) return;
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  pid_ = -1;
}

VirtualModem::~VirtualModem() {
  if (pid_ <= 0) return;
  kill(pid_, SIGTERM);
  int status = 0;
  waitpid(pid_, &status, 0);
}

std::string VirtualModem::BytesIn() const {
  std::istringstream lines(ReadAll(transcript_));
  std::string line;
  std::string bytes;
  while (std::getline(lines, line)) {
    const std::size_t in = line.find(" IN ");
    if (in != std::string::npos) bytes += Unescape(line.substr(in + 4));
  }
  return bytes;
}

std::string VirtualModem::Output() const {
  return ReadAll(outputFile_);
}

std::string VirtualModem::Device() const {
  std::error_code ignored;
  return std::filesystem::read_symlink(link_, ignored).string();
}

std::string Unescape(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\' || i + 1 >= text.size()) {
      out += text[i];
      continue;
    }
    const char kind = text[++i];
    if (kind == 'r') {
      out += '\r';
    } else if (kind == 'n') {
      out += '\n';
    } else if (kind == 'x' && i + 2 < text.size() + 1) {
      out += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
      i += 2;
    } else {
      out += kind;
    }
  }
  return out;
}

}  // namespace tessivo::testing
