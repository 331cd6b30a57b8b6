// The marks of a CLF block: where its blanks, "[", "]", '"' and line feeds
// lie, found once per 64 bytes of the whole block (two 32-byte compares
// with AVX2, four 16-byte ones with SSE2, or byte by byte) and kept as bit
// masks. cutMarkedLine walks those bits with count-trailing-zeros to cut
// every line of the block into its fields without scanning a byte twice;
// the masks carry over from one line to the next. Header
// only and allocation-free; used by the CLF block parser on its thread.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>
#include <type_traits>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "src/ripper/terminator_scan.h"
#include "src/ripper/force_inline.h"

namespace kova {

// The marks a line is cut at, in two masks per window: the blanks, and the
// bytes that open or close a part ("[", "]", '"'). Both masks also have the
// window's line feeds, so that a search stops at the end of its line.
enum ClfMark : unsigned { kMarkBlank, kMarkBracket, kMarks };

// Bit i of stops[m]: byte i of a 64-byte window is of mark m or a line feed.
struct ClfWindow {
  uint64_t stops[kMarks];
};

using ClfWindowFn = void (*)(const uint8_t* at, ClfWindow* window);

inline void clfWindowPortable(const uint8_t* at, ClfWindow* window) {
  uint64_t blanks = 0;
  uint64_t brackets = 0;
  for (unsigned i = 0; i < 64; ++i) {
    const uint8_t b = at[i];
    blanks |= uint64_t(b == ' ' || b == '\n') << i;
    brackets |= uint64_t(b == '[' || b == ']' || b == '"' || b == '\n') << i;
  }
  window->stops[kMarkBlank] = blanks;
  window->stops[kMarkBracket] = brackets;
}

#if defined(__x86_64__)
inline void clfWindowSse2(const uint8_t* at, ClfWindow* window) {
  uint64_t blanks = 0;
  uint64_t brackets = 0;
  for (unsigned part = 0; part < 4; ++part) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at + 16 * part));
    const __m128i lf = _mm_cmpeq_epi8(v, _mm_set1_epi8('\n'));
    const __m128i blank = _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8(' ')), lf);
    const __m128i bracket = _mm_or_si128(
        _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('[')), _mm_cmpeq_epi8(v, _mm_set1_epi8(']'))),
        _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('"')), lf));
    blanks |= uint64_t(uint32_t(_mm_movemask_epi8(blank))) << (16 * part);
    brackets |= uint64_t(uint32_t(_mm_movemask_epi8(bracket))) << (16 * part);
  }
  window->stops[kMarkBlank] = blanks;
  window->stops[kMarkBracket] = brackets;
}

// The two masks of 32 bytes: blanks in the low half, brackets in the high.
[[gnu::target("avx2")]] KOVA_ALWAYS_INLINE inline uint64_t clfHalfAvx2(const uint8_t* at) {
  const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at));
  const __m256i lf = _mm256_cmpeq_epi8(v, _mm256_set1_epi8('\n'));
  const __m256i blank = _mm256_or_si256(_mm256_cmpeq_epi8(v, _mm256_set1_epi8(' ')), lf);
  const __m256i bracket =
      _mm256_or_si256(_mm256_or_si256(_mm256_cmpeq_epi8(v, _mm256_set1_epi8('[')),
                                      _mm256_cmpeq_epi8(v, _mm256_set1_epi8(']'))),
                      _mm256_or_si256(_mm256_cmpeq_epi8(v, _mm256_set1_epi8('"')), lf));
  return uint64_t(uint32_t(_mm256_movemask_epi8(blank))) |
         uint64_t(uint32_t(_mm256_movemask_epi8(bracket))) << 32;
}

[[gnu::target("avx2")]] inline void clfWindowAvx2(const uint8_t* at, ClfWindow* window) {
  const uint64_t low = clfHalfAvx2(at);
  const uint64_t high = clfHalfAvx2(at + 32);
  window->stops[kMarkBlank] = (low & 0xFFFFFFFFu) | high << 32;
  window->stops[kMarkBracket] = low >> 32 | (high & ~uint64_t(0xFFFFFFFFu));
}
#endif

// The window comparison of path; REQUIRES: scanPathAvailable(path).
inline ClfWindowFn clfWindowOf(ScanPath path) {
  switch (path) {
#if defined(__x86_64__)
    case ScanPath::kSse2:
      return clfWindowSse2;
    case ScanPath::kAvx2:
      return clfWindowAvx2;
#endif
    default:
      return clfWindowPortable;
  }
}

// A forward walk over the marks of size bytes at begin, one 64-byte window
// at a time. Positions are offsets from begin and never go back below the
// start of the current window (cutMarkedLine only moves forward).
class ClfMarkCursor {
 public:
  ClfMarkCursor(const uint8_t* begin, uint64_t size, ScanPath path)
      : begin_(begin), size_(size), window_(clfWindowOf(path)) {
    load(0);
  }

  uint64_t size() const { return size_; }

  // The first byte at or after from that is mark m or a line feed; size()
  // when the block has none. REQUIRES: from at or after the current window.
  template <ClfMark m>
  KOVA_ALWAYS_INLINE uint64_t find(uint64_t from) {
    while (from - base_ >= 64) {
      if (!next()) return size_;
    }
    uint64_t bits = marks_.stops[m] & (~uint64_t(0) << (from - base_));
    while (bits == 0) {
      if (!next()) return size_;
      bits = marks_.stops[m];
    }
    return base_ + uint64_t(std::countr_zero(bits));
  }

 private:
  KOVA_ALWAYS_INLINE bool next() {
    if (size_ - base_ <= 64) return false;
    base_ += 64;
    if (size_ - base_ >= 64) {
      window_(begin_ + base_, &marks_);
    } else {
      load(base_);
    }
    return true;
  }

  // The window at base: the last one, shorter than 64 bytes, is compared
  // from a copy padded with NUL bytes (no mark).
  [[gnu::noinline]] void load(uint64_t base) {
    base_ = base;
    if (size_ - base >= 64) {
      window_(begin_ + base, &marks_);
      return;
    }
    uint8_t copy[64] = {};
    if (size_ > base) std::memcpy(copy, begin_ + base, size_ - base);
    window_(copy, &marks_);
  }

  const uint8_t* begin_;
  uint64_t size_;
  ClfWindowFn window_;
  uint64_t base_ = 0;
  ClfWindow marks_;
};

// From the search start from on, the first byte that is c or a line feed,
// where c is a byte of mark m; size() when the block has none.
template <ClfMark m, uint8_t c>
KOVA_ALWAYS_INLINE inline uint64_t findByte(ClfMarkCursor& marks, const uint8_t* bytes,
                                            uint64_t from) {
  uint64_t stop = marks.find<m>(from);
  while (stop != marks.size() && bytes[stop] != c && bytes[stop] != '\n') {
    stop = marks.find<m>(stop + 1);
  }
  return stop;
}

// The number of a field as a type, so that a sink can be compiled apart
// for each field.
template <uint32_t k>
using ClfField = std::integral_constant<uint32_t, k>;

// Cuts the line that starts at start into fields as cutClfLine does (the
// same fields for the same line; the test compares them), calling
// sink(ClfField<k>(), first, n) for each field k found, in order (first:
// an offset from bytes). Returns the offset of the line's LF, or size()
// when the block ends before it: the fields handed over are then no line's.
template <typename Sink>
KOVA_ALWAYS_INLINE inline uint64_t cutMarkedLine(ClfMarkCursor& marks, const uint8_t* bytes,
                                                 uint64_t start, Sink&& sink) {
  const uint64_t size = marks.size();
  uint64_t at = start;
  uint64_t stop;
  // The end of the line's bytes, a CR before the LF at stop left out.
  auto lineEnd = [&] { return stop > start && bytes[stop - 1] == '\r' ? stop - 1 : stop; };
  // Field k: the rest of the line when stop is its LF, else up to stop.
  auto field = [&]<uint32_t k>(ClfField<k> number) KOVA_LAMBDA_ALWAYS_INLINE {
    if (bytes[stop] == '\n') {
      sink(number, at, lineEnd() - at);
      return false;
    }
    sink(number, at, stop - at);
    return true;
  };
  stop = marks.find<kMarkBlank>(at);
  if (stop == size) return size;
  if (!field(ClfField<0>())) return stop;
  at = stop + 1;
  stop = marks.find<kMarkBlank>(at);
  if (stop == size) return size;
  if (!field(ClfField<1>())) return stop;
  at = stop + 1;
  stop = marks.find<kMarkBlank>(at);
  if (stop == size) return size;
  if (!field(ClfField<2>())) return stop;
  at = stop + 1;
  // A mark right where a search starts is the one it would find.
  stop = at < size && bytes[at] == '[' ? at : findByte<kMarkBracket, '['>(marks, bytes, at);
  if (stop == size || bytes[stop] == '\n') return stop;
  at = stop + 1;
  stop = findByte<kMarkBracket, ']'>(marks, bytes, at);
  if (stop == size) return size;
  if (!field(ClfField<3>())) return stop;
  stop = stop + 2 < size && bytes[stop + 1] == ' ' && bytes[stop + 2] == '"'
             ? stop + 2
             : findByte<kMarkBracket, '"'>(marks, bytes, stop + 1);
  if (stop == size || bytes[stop] == '\n') return stop;
  at = stop + 1;
  stop = findByte<kMarkBracket, '"'>(marks, bytes, at);
  if (stop == size) return size;
  if (!field(ClfField<4>())) return stop;
  // The status: after any blanks. A CR right before the LF is the line's
  // end here too.
  at = stop + 1;
  while (at < size && bytes[at] == ' ') ++at;
  if (at == size || (bytes[at] == '\r' && at + 1 == size)) return size;
  if (bytes[at] == '\n' || (bytes[at] == '\r' && bytes[at + 1] == '\n')) {
    return findByte<kMarkBlank, '\n'>(marks, bytes, at);
  }
  stop = marks.find<kMarkBlank>(at);
  if (stop == size) return size;
  if (!field(ClfField<5>())) return stop;
  at = stop + 1;
  stop = findByte<kMarkBlank, '\n'>(marks, bytes, at);
  if (stop == size) return size;
  sink(ClfField<6>(), at, lineEnd() - at);
  return stop;
}

}  // namespace kova
