#include "tests/support/fake_platform.h"

namespace tessivo::testing {
namespace {

class FakeDevice : public SerialDevice {
 public:
  explicit FakeDevice(FakePlatform& platform) : platform_(platform) {}

  PortOpenResult Open(const std::string& name) override {
    port_ = nullptr;
    auto it = platform_.ports.find(name);
    if (it == platform_.ports.end()) return PortOpenResult::NotFound;
    FakePort& port = it->second;
    port.log.push_back("open");
    if (port.openResult != PortOpenResult::Opened) return port.openResult;
    port.isOpen = true;
    ++port.opens;
    port_ = &port;
    return PortOpenResult::Opened;
  }
  void ClearErrors() override { Log("clear"); }
  void Purge() override {
    if (!port_) return;
    Log("purge");
    auto& in = port_->input;
    const long now = platform_.now;
    in.erase(std::remove_if(in.begin(), in.end(), [now](const auto& b) { return b.first <= now; }),
             in.end());
  }
  void Configure() override { Log("configure"); }

  std::size_t Read(char* buffer, std::size_t n) override {
    const long start = platform_.now;
    if (!port_) {
      platform_.now += kReadTimeoutMs;
      return 0;
    }
    auto& in = port_->input;
    std::size_t count = 0;
    long end = start + kReadTimeoutMs;
    while (count < n && count < in.size() && in[count].first <= end) ++count;
    if (count == n) end = std::max(start, in[count - 1].first);
    for (std::size_t i = 0; i < count; ++i) buffer[i] = in[i].second;
    in.erase(in.begin(), in.begin() + static_cast<long>(count));
    platform_.now = end;
    Log("read " + std::to_string(n) + " -> " + std::to_string(count) + " @" +
        std::to_string(start));
    return count;
  }

  std::size_t Write(const char* data, std::size_t n) override {
    if (!port_) return 0;
    const std::size_t sent = std::min(n, port_->writeLimit);
    const std::string line(data, sent);
    port_->written += line;
    Log("write " + line);
    if (sent > 0 && port_->modem) {
      for (const auto& [delay, bytes] : port_->modem(line)) {
        platform_.Arrive(Name(), delay, bytes);
      }
    }
    return sent;
  }

  void Close() override {
    if (!port_) return;
    Log("close");
    port_->isOpen = false;
    port_ = nullptr;
  }

 private:
  void Log(const std::string& what) {
    if (port_) port_->log.push_back(what);
  }
  std::string Name() const {
    for (const auto& [name, port] : platform_.ports) {
      if (&port == port_) return name;
    }
    return {};
  }

  FakePlatform& platform_;
  FakePort* port_ = nullptr;
};

}  // namespace

std::unique_ptr<SerialDevice> FakePlatform::NewSerialDevice() {
  return std::make_unique<FakeDevice>(*this);
}

}  // namespace tessivo::testing
