// Times ModemPort::Transact on a real port against the virtual modem, for the
// three cases the staged collection is built around: a reply at once, one
// that first arrives in the second stage, and one in the third (or none).
// Usage: transact_timing COMn  (with TESSIVO_PORT_DIR pointing at the modem)
#include <chrono>
#include <cstdio>
#include <string>

#include "modem/modem_port.h"
#include "platform/platform.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: transact_timing PORT COMMAND\n");
    return 2;
  }
  tessivo::ModemPort modem(tessivo::HostPlatform());
  if (modem.Open(argv[1]) != tessivo::PortOpenResult::Opened) {
    std::fprintf(stderr, "cannot open %s\n", argv[1]);
    return 1;
  }
  const auto start = std::chrono::steady_clock::now();
  const tessivo::ReplyText reply = modem.Transact(argv[2]);
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                      std::chrono::steady_clock::now() - start)
                      .count();
  modem.Close();
  std::printf("%lld %zu\n", static_cast<long long>(ms), reply.size());
  return 0;
}
