// Running the real programs from tests: a child process with its own
// environment, waited for with a time limit, and the virtual modem as a
// background service that a test starts and stops.
#pragma once

#include <sys/types.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace tessivo::testing {

struct ProcessResult {
  int exitCode = -1;  // -1: killed or did not end in time
  std::string out;
  std::string err;
  long elapsedMs = 0;
  double cpuMs = 0;  // user + system time of the child
};

// Runs argv with the current environment plus `env`, and waits at most
// timeoutMs.
ProcessResult RunProgram(const std::vector<std::string>& argv,
                         const std::map<std::string, std::string>& env, long timeoutMs = 30000);

// More of the child's surroundings, for the starts that need them.
struct ProgramIo {
  std::vector<std::string> unset;  // variables removed from the environment
  std::string input;               // standard input (else /dev/null)
  unsigned inputMode = 0600;       // the mode of the file it comes from
  int inputFd = -1;                // or this descriptor, e.g. a terminal
  // A process group of its own, as a shell gives a job: only then does a
  // stop signal stop it (in a group the kernel deems orphaned, it would not).
  bool ownProcessGroup = false;
  // Called every few ms with the child's pid while it runs.
  std::function<void(pid_t)> whileRunning;
};
ProcessResult RunProgram(const std::vector<std::string>& argv,
                         const std::map<std::string, std::string>& env, const ProgramIo& io,
                         long timeoutMs = 30000);

// Starts argv like RunProgram, without waiting: standard output and error go
// to the files named, standard input comes from io or inPath.
pid_t Spawn(const std::vector<std::string>& argv, const std::map<std::string, std::string>& env,
            const std::string& outPath, const std::string& errPath, const ProgramIo& io = {},
            const std::string& inPath = "/dev/null");

// A fresh temporary folder, removed with everything in it on destruction.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// The virtual modem on a pseudo-terminal, linked at `link`. Started in the
// constructor (returns once the link exists), stopped in the destructor.
class VirtualModem {
 public:
  VirtualModem(const std::string& link, const std::vector<std::string>& options,
               const std::string& transcript);
  ~VirtualModem();
  VirtualModem(const VirtualModem&) = delete;
  VirtualModem& operator=(const VirtualModem&) = delete;

  bool running() const { return pid_ > 0; }
  // The bytes the modem received, joined in order (from the transcript).
  std::string BytesIn() const;
  // What the modem printed on its standard output so far.
  std::string Output() const;
  // The device the link points at (/dev/pts/N).
  std::string Device() const;

 private:
  pid_t pid_ = -1;
  std::string link_;
  std::string transcript_;
  std::string outputFile_;
};

// Decodes the virtual modem's transcript escapes (\r \n \\ \xHH).
std::string Unescape(const std::string& text);

}  // namespace tessivo::testing
