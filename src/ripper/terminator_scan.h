// Finding the bytes that end a field of delimited text: CR, LF and the
// table's field separator (the ripper's terminators). A terminator entry of 0
// never matches, so with no field separator a NUL byte is ordinary data.
// The block cursor's 64-byte windows are compared with the widest vectors
// the CPU offers, chosen when the cursor is made (the byte loop stays as the
// portable path). Header-only and allocation-free; used by the delimited
// block parsers.
#pragma once

#include <cstdint>
#include <cstring>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "kova/ripper.h"
#include "src/ripper/force_inline.h"

namespace kova {

// How a window of 64 bytes is compared: byte by byte, or 16 or 32 at a time.
enum class ScanPath : uint8_t { kPortable, kSse2, kAvx2 };

// Bit i set when at[i] is one of the three bytes t, for the 64 bytes at at.
using WindowMask = uint64_t (*)(const uint8_t* at, const uint8_t* t);

inline uint64_t windowPortable(const uint8_t* at, const uint8_t* t) {
  uint64_t bits = 0;
  for (unsigned i = 0; i < 64; ++i) {
    const uint8_t b = at[i];
    if (b == t[0] || b == t[1] || b == t[2]) bits |= uint64_t(1) << i;
  }
  return bits;
}

#if defined(__x86_64__)
inline uint64_t windowSse2(const uint8_t* at, const uint8_t* t) {
  const __m128i t0 = _mm_set1_epi8(char(t[0]));
  const __m128i t1 = _mm_set1_epi8(char(t[1]));
  const __m128i t2 = _mm_set1_epi8(char(t[2]));
  uint64_t bits = 0;
  for (int part = 0; part < 4; ++part) {
    __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at + 16 * part));
    __m128i hit = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, t0), _mm_cmpeq_epi8(v, t1)),
                               _mm_cmpeq_epi8(v, t2));
    bits |= uint64_t(uint32_t(_mm_movemask_epi8(hit))) << (16 * part);
  }
  return bits;
}

[[gnu::target("avx2")]] inline uint64_t windowAvx2(const uint8_t* at, const uint8_t* t) {
  const __m256i t0 = _mm256_set1_epi8(char(t[0]));
  const __m256i t1 = _mm256_set1_epi8(char(t[1]));
  const __m256i t2 = _mm256_set1_epi8(char(t[2]));
  uint64_t bits = 0;
  for (int part = 0; part < 2; ++part) {
    __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at + 32 * part));
    __m256i hit =
        _mm256_or_si256(_mm256_or_si256(_mm256_cmpeq_epi8(v, t0), _mm256_cmpeq_epi8(v, t1)),
                        _mm256_cmpeq_epi8(v, t2));
    bits |= uint64_t(uint32_t(_mm256_movemask_epi8(hit))) << (32 * part);
  }
  return bits;
}
#endif

// Whether this CPU can take path.
inline bool scanPathAvailable(ScanPath path) {
  switch (path) {
    case ScanPath::kPortable:
      return true;
#if defined(__x86_64__)
    case ScanPath::kSse2:
      return true;
    case ScanPath::kAvx2:
      return __builtin_cpu_supports("avx2");
#endif
    default:
      return false;
  }
}

// The widest path this CPU offers.
inline ScanPath bestScanPath() {
  if (scanPathAvailable(ScanPath::kAvx2)) return ScanPath::kAvx2;
  if (scanPathAvailable(ScanPath::kSse2)) return ScanPath::kSse2;
  return ScanPath::kPortable;
}

// The comparison of path; REQUIRES: scanPathAvailable(path).
inline WindowMask windowMaskOf(ScanPath path) {
  switch (path) {
#if defined(__x86_64__)
    case ScanPath::kSse2:
      return windowSse2;
    case ScanPath::kAvx2:
      return windowAvx2;
#endif
    default:
      return windowPortable;
  }
}

// The terminator bytes of a ripper, with entries of 0 replaced by a copy of
// an entry that is not 0 (so that they never match on their own).
struct TerminatorSet {
  uint8_t bytes[3];

  explicit TerminatorSet(const KovaRipper* ripper) {
    uint8_t fallback = 0;
    for (uint8_t b : ripper->terminators) {
      if (b != 0) fallback = b;
    }
    for (int i = 0; i < 3; ++i) {
      bytes[i] = ripper->terminators[i] != 0 ? ripper->terminators[i] : fallback;
    }
  }

  // False when every entry is 0: nothing ends a field.
  bool any() const { return bytes[0] != 0; }

  bool matches(uint8_t b) const {
    return any() && (b == bytes[0] || b == bytes[1] || b == bytes[2]);
  }

  // Bit i set when at[i] is a terminator, for the n (at most 64) bytes at at.
  KOVA_ALWAYS_INLINE uint64_t mask(const uint8_t* at, uint64_t n) const {
    if (!any()) return 0;
    uint64_t bits = 0;
#if defined(__x86_64__)
    if (n == 64) return windowSse2(at, bytes);
#endif
    for (uint64_t i = 0; i < n; ++i) {
      uint8_t b = at[i];
      if (b == bytes[0] || b == bytes[1] || b == bytes[2]) bits |= uint64_t(1) << i;
    }
    return bits;
  }

  // The first terminator in [from, end), or null.
  const uint8_t* find(const uint8_t* from, const uint8_t* end) const {
    if (!any()) return nullptr;
    while (from < end) {
      uint64_t n = uint64_t(end - from) < 64 ? uint64_t(end - from) : 64;
      uint64_t bits = mask(from, n);
      if (bits) return from + __builtin_ctzll(bits);
      from += n;
    }
    return nullptr;
  }
};

// A forward scan over one block that keeps the terminator mask of the 64
// bytes it looked at last, so that the short fields of a record cost one
// bit operation each. Positions asked for must not go backwards within a
// window; a jump past the window starts another.
class TerminatorCursor {
 public:
  TerminatorCursor(const TerminatorSet& set, const uint8_t* begin, const uint8_t* end,
                   ScanPath path = bestScanPath())
      : set_(set), begin_(begin), size_(uint64_t(end - begin)), window_(windowMaskOf(path)) {}

  // The first terminator in [from, end), or null.
  KOVA_ALWAYS_INLINE const uint8_t* next(const uint8_t* from) {
    uint64_t at = uint64_t(from - begin_);
    if (!loaded_ || at < base_ || at - base_ >= 64) load(at);
    uint64_t bits = mask_ & (~uint64_t(0) << (at - base_));
    while (bits == 0) {
      if (size_ - base_ <= 64) return nullptr;
      load(base_ + 64);
      bits = mask_;
    }
    return begin_ + base_ + uint64_t(__builtin_ctzll(bits));
  }

 private:
  void load(uint64_t at) {
    loaded_ = true;
    base_ = at;
    uint64_t n = size_ - at < 64 ? size_ - at : 64;
    if (n == 64 && set_.any()) {
      mask_ = window_(begin_ + at, set_.bytes);
      return;
    }
    mask_ = n ? set_.mask(begin_ + at, n) : 0;
  }

  const TerminatorSet& set_;
  const uint8_t* begin_;
  uint64_t size_;
  uint64_t base_ = 0;
  uint64_t mask_ = 0;
  WindowMask window_;
  bool loaded_ = false;
};

}  // namespace kova
