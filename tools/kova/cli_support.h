// Pieces the long-running commands (rip, convert) share: sizes given as
// "64k" or "1M", and progress on stderr when it is a terminal.
#pragma once

#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string_view>

namespace kova::tool {

// "65536", "64k", "1M" (binary multiples); 0 when the text is none of these.
inline uint64_t parseSize(std::string_view text) {
  if (text.empty()) return 0;
  uint64_t multiple = 1;
  char last = text.back();
  if (last == 'k' || last == 'K') multiple = 1024;
  if (last == 'm' || last == 'M') multiple = 1024 * 1024;
  if (multiple != 1) text.remove_suffix(1);
  if (text.empty() || text.size() > 12) return 0;
  uint64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return 0;
    value = value * 10 + uint64_t(c - '0');
  }
  return value * multiple;
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
