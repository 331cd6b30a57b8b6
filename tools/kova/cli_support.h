// Pieces the long-running commands (rip, convert) share: sizes given as
// "64k" or "1M", and progress on stderr when it is a terminal.
#pragma once

#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string_view>

#include "tools/kova/byte_size.h"

namespace kova::tool {

// "65536", "64k", "1M", "2G" (binary multiples); 0 when the text is none of
// these.
inline uint64_t parseSize(std::string_view text) {
  uint64_t value = 0;
  return parseByteSize(text, &value) ? value : 0;
}

using Clock = std::chrono::steady_clock;

// Progress on a terminal, at most a few times a second.
class Progress {
 public:
  Progress() : enabled_(isatty(STDERR_FILENO)), last_(Clock::now()) {}
  void update(uint64_t bytes, uint64_t rows) {
    if (!enabled_) return;
    Clock::time_point now = Clock::now();
    if (now - last_ < std::chrono::milliseconds(250)) return;
    last_ = now;
    shown_ = true;
    std::fprintf(stderr, "\r  %.1f MB, %llu rows ", double(bytes) / 1e6,
                 static_cast<unsigned long long>(rows));
    std::fflush(stderr);
  }
  void clear() {
    if (shown_) std::fprintf(stderr, "\r\033[K");
  }

 private:
  bool enabled_;
  bool shown_ = false;
  Clock::time_point last_;
};

}  // namespace kova::tool
