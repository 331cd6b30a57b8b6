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

// The marks of count windows, one after another from at: bit i of
// blanks[w] is set when byte 64 * w + i is a blank or a line feed, of
// brackets[w] when it is "[", "]", '"' or a line feed.
using ClfWindowsFn = void (*)(const uint8_t* at, uint32_t count, uint64_t* blanks,
                              uint64_t* brackets);

// The blank and bracket bits of some bytes, bit i for the i-th byte.
struct ClfPartBits {
  uint64_t blanks;
  uint64_t brackets;
};

// The marks of count windows from at, each window compared in parts of
// width bytes: part(p) gives the bits of the width bytes at p.
template <unsigned width, typename Part>
KOVA_ALWAYS_INLINE inline void clfWindowsByParts(const uint8_t* at, uint32_t count,
                                                 uint64_t* blanks, uint64_t* brackets, Part part) {
  for (uint32_t w = 0; w < count; ++w) {
    ClfPartBits window{0, 0};
    for (unsigned k = 0; k < 64 / width; ++k) {
      const ClfPartBits bits = part(at + 64 * w + width * k);
      window.blanks |= bits.blanks << (width * k);
      window.brackets |= bits.brackets << (width * k);
    }
    blanks[w] = window.blanks;
    brackets[w] = window.brackets;
  }
}

inline void clfWindowsPortable(const uint8_t* at, uint32_t count, uint64_t* blanks,
                               uint64_t* brackets) {
  clfWindowsByParts<1>(at, count, blanks, brackets, [](const uint8_t* p) {
    const uint8_t b = *p;
    return ClfPartBits{uint64_t(b == ' ' || b == '\n'),
                       uint64_t(b == '[' || b == ']' || b == '"' || b == '\n')};
  });
}

#if defined(__x86_64__)
inline void clfWindowsSse2(const uint8_t* at, uint32_t count, uint64_t* blanks,
                           uint64_t* brackets) {
  clfWindowsByParts<16>(at, count, blanks, brackets, [](const uint8_t* p) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i lf = _mm_cmpeq_epi8(v, _mm_set1_epi8('\n'));
    const __m128i isBlank = _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8(' ')), lf);
    const __m128i isBracket = _mm_or_si128(
        _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('[')), _mm_cmpeq_epi8(v, _mm_set1_epi8(']'))),
        _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('"')), lf));
    return ClfPartBits{uint64_t(uint32_t(_mm_movemask_epi8(isBlank))),
                       uint64_t(uint32_t(_mm_movemask_epi8(isBracket)))};
  });
}

// The blanks (with the line feeds) and the brackets of 32 bytes, each a
// byte mask.
struct ClfHalfAvx2 {
  __m256i blanks;
  __m256i brackets;
};

[[gnu::target("avx2")]] KOVA_ALWAYS_INLINE inline ClfHalfAvx2 clfHalfAvx2(const uint8_t* at) {
  const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at));
  const __m256i lf = _mm256_cmpeq_epi8(v, _mm256_set1_epi8('\n'));
  return ClfHalfAvx2{
      _mm256_or_si256(_mm256_cmpeq_epi8(v, _mm256_set1_epi8(' ')), lf),
      _mm256_or_si256(_mm256_or_si256(_mm256_cmpeq_epi8(v, _mm256_set1_epi8('[')),
                                      _mm256_cmpeq_epi8(v, _mm256_set1_epi8(']'))),
                      _mm256_or_si256(_mm256_cmpeq_epi8(v, _mm256_set1_epi8('"')), lf))};
}

// The bit mask of the 64 bytes of two byte masks.
[[gnu::target("avx2")]] KOVA_ALWAYS_INLINE inline uint64_t clfBitsAvx2(__m256i low, __m256i high) {
  return uint64_t(uint32_t(_mm256_movemask_epi8(low))) |
         uint64_t(uint32_t(_mm256_movemask_epi8(high))) << 32;
}

[[gnu::target("avx2")]] inline void clfWindowsAvx2(const uint8_t* at, uint32_t count,
                                                   uint64_t* blanks, uint64_t* brackets) {
  for (uint32_t w = 0; w < count; ++w) {
    const ClfHalfAvx2 low = clfHalfAvx2(at + 64 * w);
    const ClfHalfAvx2 high = clfHalfAvx2(at + 64 * w + 32);
    blanks[w] = clfBitsAvx2(low.blanks, high.blanks);
    brackets[w] = clfBitsAvx2(low.brackets, high.brackets);
  }
}
#endif

// The window comparison of path; REQUIRES: scanPathAvailable(path).
inline ClfWindowsFn clfWindowsOf(ScanPath path) {
  switch (path) {
#if defined(__x86_64__)
    case ScanPath::kSse2:
      return clfWindowsSse2;
    case ScanPath::kAvx2:
      return clfWindowsAvx2;
#endif
    default:
      return clfWindowsPortable;
  }
}

// A walk over the marks of size bytes at begin. The windows are compared a
// chunk of up to kChunk at a time (one call per chunk, the comparison's
// constants loaded once), and a search inside the chunk indexes its
// windows directly; a window of all marks after the chunk's last one ends
// every search there. A search past the chunk compares the chunk that
// starts at its window, so each window is compared once while searches
// move forward.
class ClfMarkCursor {
 public:
  ClfMarkCursor(const uint8_t* begin, uint64_t size, ScanPath path)
      : begin_(begin), size_(size), windows_(clfWindowsOf(path)) {
    load(0);
  }

  uint64_t size() const { return size_; }

  // The first byte at or after from that is mark m or a line feed; size()
  // when the block has none.
  template <ClfMark m>
  KOVA_ALWAYS_INLINE uint64_t find(uint64_t from) {
    const uint64_t offset = from - base_;
    if (offset < bytes_) [[likely]] {
      const uint64_t* window = &stops_[m][offset / 64];
      const uint64_t bits = *window >> (offset % 64);
      if (bits != 0) [[likely]]
        return from + lowestBit(bits);
      return findAfter<m>(window);
    }
    return findBeyond<m>(from);
  }

 private:
  static constexpr uint32_t kChunk = 32;

  // The place of the lowest set bit of bits (not 0), as a 64-bit number
  // straight from the instruction (countr_zero's int costs a widening).
  KOVA_ALWAYS_INLINE static uint64_t lowestBit(uint64_t bits) {
#if defined(__x86_64__)
    uint64_t place;
    // tzcnt reads as bsf where the CPU lacks it: the same for bits != 0.
    asm("rep bsf %1, %0" : "=r"(place) : "rm"(bits) : "cc");
    return place;
#else
    return uint64_t(std::countr_zero(bits));
#endif
  }

  // The first mark m after the chunk's window at window; past the chunk,
  // the chunks after it.
  template <ClfMark m>
  KOVA_ALWAYS_INLINE uint64_t findAfter(const uint64_t* window) {
    uint64_t bits;
    do {
      bits = *++window;  // the window after the chunk's last has every bit set
    } while (bits == 0);
    const uint64_t at = base_ + uint64_t(window - stops_[m]) * 64 + lowestBit(bits);
    if (at - base_ < bytes_) return at;
    return findBeyond<m>(at);
  }

  // find for a from outside the chunk: the chunks from its window on, one
  // after another while they have no mark m.
  template <ClfMark m>
  [[gnu::noinline]] uint64_t findBeyond(uint64_t from) {
    while (from < size_) {
      load(from & ~uint64_t(63));
      const uint64_t offset = from - base_;
      const uint64_t* window = &stops_[m][offset / 64];
      uint64_t bits = *window >> (offset % 64);
      if (bits != 0) return from + lowestBit(bits);
      do {
        bits = *++window;
      } while (bits == 0);
      from = base_ + uint64_t(window - stops_[m]) * 64 + lowestBit(bits);
      if (from - base_ < bytes_) return from;
    }
    return size_;
  }

  // The chunk at base (a multiple of 64 below size, or 0): the whole
  // windows from there, kChunk at most, and a last one shorter than 64
  // bytes compared from a copy padded with NUL bytes (no mark).
  [[gnu::noinline]] void load(uint64_t base) {
    base_ = base;
    const uint64_t left = size_ > base ? size_ - base : 0;
    uint32_t count = uint32_t(left / 64 < kChunk ? left / 64 : kChunk);
    if (count > 0) windows_(begin_ + base, count, stops_[kMarkBlank], stops_[kMarkBracket]);
    if (count < kChunk && left % 64 != 0) {
      uint8_t copy[64] = {};
      std::memcpy(copy, begin_ + base + 64 * count, left % 64);
      windows_(copy, 1, stops_[kMarkBlank] + count, stops_[kMarkBracket] + count);
      ++count;
    }
    bytes_ = 64 * uint64_t(count);
    stops_[kMarkBlank][count] = ~uint64_t(0);
    stops_[kMarkBracket][count] = ~uint64_t(0);
  }

  const uint8_t* begin_;
  uint64_t size_;
  ClfWindowsFn windows_;
  uint64_t base_ = 0;   // the chunk's first byte
  uint64_t bytes_ = 0;  // the bytes its windows cover
  // Bit i of stops_[m][w]: byte 64 * w + i of the chunk is mark m or a line feed.
  uint64_t stops_[kMarks][kChunk + 1];
};

// The loop of findByte past a first mark stop that is neither c nor a line
// feed; apart, so that the usual search (the first mark is the one sought)
// has no loop.
template <ClfMark m, uint8_t c>
[[gnu::noinline]] uint64_t findByteAfter(ClfMarkCursor& marks, const uint8_t* bytes,
                                         uint64_t stop) {
  do {
    stop = marks.find<m>(stop + 1);
  } while (stop != marks.size() && bytes[stop] != c && bytes[stop] != '\n');
  return stop;
}

// From the search start from on, the first byte that is c or a line feed,
// where c is a byte of mark m; size() when the block has none.
template <ClfMark m, uint8_t c>
KOVA_ALWAYS_INLINE inline uint64_t findByte(ClfMarkCursor& marks, const uint8_t* bytes,
                                            uint64_t from) {
  const uint64_t stop = marks.find<m>(from);
  if (stop != marks.size() && bytes[stop] != c && bytes[stop] != '\n') [[unlikely]] {
    return findByteAfter<m, c>(marks, bytes, stop);
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
  if (at == size) return size;
  if (bytes[at] <= '\r') [[unlikely]] {
    if (bytes[at] == '\r' && at + 1 == size) return size;
    if (bytes[at] == '\n' || (bytes[at] == '\r' && bytes[at + 1] == '\n')) {
      return findByte<kMarkBlank, '\n'>(marks, bytes, at);
    }
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
