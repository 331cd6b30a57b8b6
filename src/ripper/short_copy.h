// copyShort: a short run of bytes (a field's text, usually) moved with a
// few overlapping word moves instead of a call. Used by the FIXED plan and
// the CLF block parser on their hot paths.
#pragma once

#include <cstdint>
#include <cstring>

namespace kova {

// Copies n bytes (a short text, usually) with a few overlapping word moves;
// exactly the n bytes at to are written.
inline void copyShort(uint8_t* to, const uint8_t* from, uint64_t n) {
  if (n >= 8) {
    if (n > 16) {
      if (n > 32) {
        std::memcpy(to, from, n);
        return;
      }
      uint8_t head[16], tail[16];
      std::memcpy(head, from, 16);
      std::memcpy(tail, from + n - 16, 16);
      std::memcpy(to, head, 16);
      std::memcpy(to + n - 16, tail, 16);
      return;
    }
    uint64_t head, tail;
    std::memcpy(&head, from, 8);
    std::memcpy(&tail, from + n - 8, 8);
    std::memcpy(to, &head, 8);
    std::memcpy(to + n - 8, &tail, 8);
  } else if (n >= 4) {
    uint32_t head, tail;
    std::memcpy(&head, from, 4);
    std::memcpy(&tail, from + n - 4, 4);
    std::memcpy(to, &head, 4);
    std::memcpy(to + n - 4, &tail, 4);
  } else if (n > 0) {
    to[0] = from[0];
    to[n / 2] = from[n / 2];
    to[n - 1] = from[n - 1];
  }
}

}  // namespace kova
