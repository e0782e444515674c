#include "tests/support/hostile_modem.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <random>

namespace tessivo::testing {
namespace {

using Clock = std::chrono::steady_clock;

bool IsPasswordCommand(const std::string& line) {
  return line.rfind("AT+CPIN=", 0) == 0 || line.rfind("AT+CLCK=\"SC\",0,", 0) == 0 ||
         line.rfind("AT+CLCK=\"SC\",1,", 0) == 0;
}

std::string ProbeAnswer(const std::string& line) {
  if (line == "ATZ") return "\r\nOK\r\n";
  if (line == "AT+CLCK=\"SC\",2") return "\r\n+CLCK: 1\r\n\r\nOK\r\n";
  if (line == "AT+CPIN?") return "\r\n+CPIN: SIM PIN\r\n\r\nOK\r\n";
  return "\r\nERROR\r\n";
}

std::string WithEcho(const std::string& reply, const std::string& echo) {
  std::string out;
  for (std::size_t i = 0; i < reply.size(); ++i) {
    if (reply.compare(i, 2, "%e") == 0) {
      out += echo;
      ++i;
    } else {
      out += reply[i];
    }
  }
  return out;
}

// Random bytes, all 256 values but the letters of "ok", so that a flood
// cannot hold an acceptance by chance: the outcome of a row stays fixed.
std::string RandomChunk(std::mt19937& random) {
  std::string chunk;
  while (chunk.size() < 64) {
    const char c = static_cast<char>(random() & 0xFF);
    if (c != 'o' && c != 'O' && c != 'k' && c != 'K') chunk += c;
  }
  return chunk;
}

}  // namespace

HostileModem::HostileModem(const std::string& link, HostileBehaviour behaviour)
    : behaviour_(std::move(behaviour)), link_(link) {
  char name[64];
  if (openpty(&master_, &slave_, name, nullptr, nullptr) != 0) return;
  device_ = name;
  termios tio{};
  tcgetattr(slave_, &tio);
  cfmakeraw(&tio);
  tio.c_iflag |= IXON;  // as the kernel sets up every tty
  tcsetattr(slave_, TCSANOW, &tio);
  fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
  if (!behaviour_.beforeOpen.empty()) {
    (void)!write(master_, behaviour_.beforeOpen.data(), behaviour_.beforeOpen.size());
    // Let the line discipline act on it before any program can open the tty.
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    tcflush(slave_, TCIFLUSH);
  }
  if (symlink(name, link.c_str()) != 0) {
    close(master_);
    close(slave_);
    master_ = slave_ = -1;
    return;
  }
  thread_ = std::thread([this] { Serve(); });
}

HostileModem::~HostileModem() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
  if (master_ >= 0) close(master_);
  if (slave_ >= 0) close(slave_);
  unlink(link_.c_str());
}

std::string HostileModem::BytesIn() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return in_;
}

void HostileModem::Queue(long due, const std::string& bytes, long byteGapMs) {
  if (byteGapMs > 0) {
    for (std::size_t i = 0; i < bytes.size(); ++i) {
      out_.emplace_back(due + static_cast<long>(i) * byteGapMs, bytes.substr(i, 1));
    }
  } else if (!bytes.empty()) {
    out_.emplace_back(due, bytes);
  }
  std::stable_sort(out_.begin(), out_.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
}

void HostileModem::Received(const char* bytes, std::size_t n, long now) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    in_.append(bytes, n);
  }
  for (std::size_t i = 0; i < n; ++i) {
    if (bytes[i] == '\n') continue;
    if (bytes[i] != '\r') {
      line_ += bytes[i];
      continue;
    }
    const std::string line = line_;
    line_.clear();
    if (IsPasswordCommand(line)) {
      const long due = now + behaviour_.replyAfterMs;
      const std::string reply = WithEcho(behaviour_.reply, line + "\r");
      Queue(due, reply, behaviour_.byteGapMs);
      if (behaviour_.then != HostileBehaviour::Then::Stays) {
        const long gaps = behaviour_.byteGapMs * static_cast<long>(reply.size());
        vanishAt_ = due + gaps;
      }
      commandArrived_ = true;
    } else if (behaviour_.answersProbes && !line.empty()) {
      Queue(now, ProbeAnswer(line), 0);
    }
  }
}

void HostileModem::Vanish() {
  close(master_);
  close(slave_);
  master_ = slave_ = -1;
  if (behaviour_.then == HostileBehaviour::Then::VanishesWithItsLink) unlink(link_.c_str());
  vanished_ = true;
}

void HostileModem::Serve() {
  const auto start = Clock::now();
  const auto elapsed = [start] {
    return static_cast<long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
  };
  std::mt19937 random(10);
  const std::string rssi = "\r\n^RSSI:17\r\n";
  const std::string nmea = "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47\r\n";
  std::string stream;  // the part of the current stream chunk not yet written
  while (!stop_) {
    const long now = elapsed();
    if (vanishAt_ >= 0 && now >= vanishAt_ && out_.empty()) {
      Vanish();
      return;
    }
    if (stream.empty() && behaviour_.stream != HostileBehaviour::Stream::None &&
        now < behaviour_.streamMs) {
      switch (behaviour_.stream) {
        case HostileBehaviour::Stream::RandomBytes:
          stream = RandomChunk(random);
          break;
        case HostileBehaviour::Stream::RssiLines:
          stream = rssi;
          break;
        case HostileBehaviour::Stream::NmeaSentences:
          stream = nmea;
          break;
        case HostileBehaviour::Stream::None:
          break;
      }
    }
    const bool due = !out_.empty() && out_.front().first <= now;
    int timeout = 5;
    if (!due && !out_.empty()) timeout = static_cast<int>(std::min(5L, out_.front().first - now));
    pollfd p{master_, static_cast<short>(POLLIN | ((due || !stream.empty()) ? POLLOUT : 0)), 0};
    if (poll(&p, 1, std::max(timeout, 0)) <= 0) continue;
    if (p.revents & POLLIN) {
      char buffer[512];
      const ssize_t n = read(master_, buffer, sizeof buffer);
      if (n > 0) Received(buffer, static_cast<std::size_t>(n), elapsed());
    }
    if (p.revents & POLLOUT) {
      std::string& bytes = due ? out_.front().second : stream;
      const ssize_t n = write(master_, bytes.data(), bytes.size());
      if (n > 0) bytes.erase(0, static_cast<std::size_t>(n));
      if (due && out_.front().second.empty()) out_.erase(out_.begin());
    }
  }
}

}  // namespace tessivo::testing
