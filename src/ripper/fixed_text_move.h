// The text moves of the typed FIXED plan (fixed_plan.cc): a text's trailing
// blanks found and its kept bytes stored, for texts of one byte blanks.
// Header-only so the plan's per-column loops inline them; nothing here
// allocates or calls the host.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#include "src/ripper/force_inline.h"
#endif

namespace kova {

// The length of the n bytes at p without the blank bytes they end with,
// eight bytes at a time from the end.
inline uint64_t withoutTrailing(const uint8_t* p, uint64_t n, uint8_t blank) {
  const uint64_t blanks = 0x0101010101010101ull * blank;
  while (n >= 8) {
    uint64_t word;
    std::memcpy(&word, p + n - 8, 8);
    const uint64_t differ = word ^ blanks;
    if (differ != 0) {
      // The bytes past the last one that differs are blanks.
      const int trailing = std::endian::native == std::endian::little ? std::countl_zero(differ)
                                                                      : std::countr_zero(differ);
      return n - uint64_t(trailing / 8);
    }
    n -= 8;
  }
  while (n > 0 && p[n - 1] == blank) --n;
  return n;
}

#if defined(__SSE2__)
// Texts of 16 to 64 bytes in C chunks of 16 (C = 1 to 4, the last chunk
// overlapping the one before it), trimmed and stored without a branch on
// their length.
constexpr bool kWideTexts = true;

// Where the chunk k of C over n bytes starts: every 16 bytes, the last
// ending at n (lastStart = n - 16).
template <unsigned C>
constexpr uint64_t chunkStart(unsigned k, uint64_t lastStart) {
  return k + 1 < C ? 16 * k : lastStart;
}

// 64 bytes 0xFF then 64 bytes 0: the 16 bytes at kKeepMask + 64 - kept +
// start are 0xFF where start + i < kept, for kept <= 64 and start <= 48.
alignas(64) inline constexpr uint8_t kKeepMask[128] = {
    0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
    0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
    0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
    0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};

inline __m128i loadChunk(const uint8_t* p) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

// The text of n bytes at from (16 * (C - 1) < n <= 16 * C, n >= 16, the
// chunks starting at chunkStart<C>(k, n - 16)): the bytes loaded into text,
// one bit per byte that is not blank in the result (bit i for byte i), and
// when Ascii in *high the bytes' high bits (not 0 when a byte is not ASCII).
template <unsigned C, bool Ascii>
KOVA_ALWAYS_INLINE inline uint64_t loadWideText(const uint8_t* from, uint64_t lastStart,
                                                __m128i blanks, __m128i text[C], unsigned* high) {
  uint64_t nonBlank = 0;
  unsigned highBits = 0;
  for (unsigned k = 0; k < C; ++k) {
    const uint64_t start = chunkStart<C>(k, lastStart);
    text[k] = loadChunk(from + start);
    const auto same = unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(text[k], blanks)));
    nonBlank |= uint64_t(~same & 0xFFFFu) << start;
    if constexpr (Ascii) highBits |= unsigned(_mm_movemask_epi8(text[k]));
  }
  *high = highBits;
  return nonBlank;
}

// The length of a text whose bytes that are not blank are the bits of
// nonBlank: up to and including the highest.
inline uint64_t keptLength(uint64_t nonBlank) {
  return nonBlank == 0 ? 0 : uint64_t(64 - std::countl_zero(nonBlank));
}

// Stores the first kept bytes of the text loadWideText loaded into the room
// of as many bytes at to (lastStart as there), the bytes from kept on
// keeping what they held. Every old byte is read before any is written, so
// no load waits on an overlapping store.
template <unsigned C>
KOVA_ALWAYS_INLINE inline void storeWideText(uint8_t* to, const __m128i text[C], uint64_t lastStart,
                                             uint64_t kept) {
  __m128i out[C];
  const uint8_t* keep = kKeepMask + 64 - kept;
  for (unsigned k = 0; k < C; ++k) {
    const uint64_t start = chunkStart<C>(k, lastStart);
    const __m128i held = loadChunk(to + start);
    const __m128i mask = loadChunk(keep + start);
    out[k] = _mm_or_si128(_mm_and_si128(mask, text[k]), _mm_andnot_si128(mask, held));
  }
  for (unsigned k = 0; k < C; ++k) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(to + chunkStart<C>(k, lastStart)), out[k]);
  }
}
#else
constexpr bool kWideTexts = false;
#endif

}  // namespace kova
