// Clearing memory that held a secret (a PIN, a command or reply carrying it)
// once it is no longer needed, so that a later look at the process's memory
// finds less of it. The stores go through a volatile pointer: the compiler
// may not drop them as writes to memory that is about to be freed.
#pragma once

#include <cstddef>
#include <string>

namespace tessivo {

inline void WipeBytes(char* bytes, std::size_t n) {
  volatile char* p = bytes;
  for (std::size_t i = 0; i < n; ++i) p[i] = 0;
}

// Zeroes the whole buffer, the spare capacity included (an earlier, longer
// value may linger there), and leaves the string empty.
inline void WipeSecret(std::string& secret) {
  secret.resize(secret.capacity());
  WipeBytes(secret.data(), secret.size());
  secret.clear();
}

}  // namespace tessivo
