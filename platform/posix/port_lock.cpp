#include "platform/posix/port_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <thread>

#include "platform/posix/port_names.h"

namespace tessivo {
namespace {

constexpr auto kRetryPause = std::chrono::milliseconds(50);

class FileLock : public PortLock {
 public:
  FileLock(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
  ~FileLock() override {
    // Removed while still held: a run that opened the file meanwhile finds,
    // once it has the lock, that its file is no longer the one at the path,
    // and starts over.
    unlink(path_.c_str());
    close(fd_);
  }

 private:
  int fd_;
  std::string path_;
};

bool SameFile(int fd, const std::string& path) {
  struct stat opened {};
  struct stat named {};
  return fstat(fd, &opened) == 0 && lstat(path.c_str(), &named) == 0 &&
         opened.st_dev == named.st_dev && opened.st_ino == named.st_ino;
}

}  // namespace

std::string PosixPortLockKey(const std::string& port) {
  const auto path = DevicePathForPort(port, std::getenv("TESSIVO_PORT_DIR"));
  char resolved[PATH_MAX];
  if (path && realpath(path->c_str(), resolved)) {
    const std::string device = resolved;
    return device.substr(device.rfind('/') + 1);
  }
  std::string key = port;
  for (char& c : key) {
    if (c == '/') c = '_';
  }
  return key;
}

std::unique_ptr<PortLock> PosixLockPort(const std::string& key, unsigned waitMs,
                                        const std::string& directory) {
  const char* fromEnvironment = std::getenv("TESSIVO_LOCK_DIR");
  const std::string folder =
      !directory.empty() ? directory : fromEnvironment ? fromEnvironment : "/run/lock";
  const std::string path = folder + "/tessivo-" + key + ".lock";
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
  for (;;) {
    // Read-only is enough for flock, and lets a run of another user take a
    // file root made. O_NOFOLLOW: the folder is everyone's.
    const int fd = open(path.c_str(), O_RDONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0) return std::make_unique<PortLock>();
    // Whatever the umask (the unit's is 0077), a run of another user must be
    // able to open it to wait its turn.
    fchmod(fd, 0644);
    bool busy = false;
    while (flock(fd, LOCK_EX | LOCK_NB) != 0) {
      if (errno == EINTR) continue;
      if (errno != EWOULDBLOCK || std::chrono::steady_clock::now() >= until) {
        busy = errno == EWOULDBLOCK;
        break;
      }
      std::this_thread::sleep_for(kRetryPause);
    }
    if (busy) {
      close(fd);
      return nullptr;
    }
    if (SameFile(fd, path)) return std::make_unique<FileLock>(fd, path);
    close(fd);  // the holder removed it as we waited: the next one is ours
    if (std::chrono::steady_clock::now() >= until) return nullptr;
  }
}

}  // namespace tessivo
