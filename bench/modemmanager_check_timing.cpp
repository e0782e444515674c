// Timing probe of the question asked before every port is opened on Linux:
// does ModemManager manage this port? Prints the mean time of one question
// over many, for bench/modemmanager_check.sh.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "modemmanager/modem_manager_service.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s PORT COUNT\n", argv[0]);
    return 2;
  }
  const std::string port = argv[1];
  const int count = std::atoi(argv[2]);
  tessivo::ModemManagerService service;
  int managed = 0;
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < count; ++i) managed += service.ModemAt(port) != nullptr;
  const auto us =
      std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count();
  std::printf("%.1f %d\n", us / count, managed);
  return 0;
}
