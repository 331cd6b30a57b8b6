// The CLF line cutter: the seven fields of a line found in one forward pass
// over its bytes, 64 at a time. Each group of 64 is loaded once and its
// blanks, "[", "]" and '"' marked; the fields are then found by walking the
// marks, each search starting where the last one ended.
// Shared by splitClfLine (one line through convertField) and the block
// parser (lines through the column plan). Header only: the cutter is
// inlined into both.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace kova {

// The bytes of one line, looked at in groups of 64 from its start: each
// group is loaded once and marked where it holds a blank, "[", "]" or '"',
// the bytes the line's grammar looks for; a search walks the marks.
class ClfLineBytes {
 public:
  // readable: bytes from line that may be read (length or more).
  ClfLineBytes(const uint8_t* line, uint64_t length, uint64_t readable)
      : line_(line), length_(length), readable_(readable) {
    load(0);
  }

  // The first byte at or after from that is c (a blank, "[", "]" or '"');
  // length when there is none.
  uint64_t find(uint8_t c, uint64_t from) {
    while (from < length_) {
      if (from >= base_ + 64) load(from & ~uint64_t(63));
      uint64_t bits = marks_ & (~uint64_t(0) << (from - base_));
      while (bits) {
        const uint64_t at = base_ + uint64_t(std::countr_zero(bits));
        if (line_[at] == c) return at;
        bits &= bits - 1;
      }
      from = base_ + 64;
    }
    return length_;
  }

 private:
  // The marks of n bytes (n <= 64) at p, one byte at a time.
  static uint64_t marksOf(const uint8_t* p, uint64_t n) {
    uint64_t marks = 0;
    for (uint64_t i = 0; i < n; ++i) {
      const bool marked = p[i] == ' ' || p[i] == '[' || p[i] == ']' || p[i] == '"';
      marks |= uint64_t(marked) << i;
    }
    return marks;
  }

#if defined(__SSE2__)
  // The marks of 64 readable bytes at p.
  static uint64_t marks64(const uint8_t* p) {
    uint64_t marks = 0;
    for (unsigned k = 0; k < 4; ++k) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * k));
      const __m128i hit = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8(' ')),
                                                    _mm_cmpeq_epi8(v, _mm_set1_epi8('"'))),
                                       _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('[')),
                                                    _mm_cmpeq_epi8(v, _mm_set1_epi8(']'))));
      marks |= uint64_t(unsigned(_mm_movemask_epi8(hit))) << (16 * k);
    }
    return marks;
  }
#endif

  // Makes the group at base (a multiple of 64 below length) the current
  // one; a group that would reach past the readable bytes is read from a
  // copy.
  void load(uint64_t base) {
    base_ = base;
    const uint64_t n = length_ > base ? (length_ - base < 64 ? length_ - base : 64) : 0;
#if defined(__SSE2__)
    if (readable_ - base >= 64) {
      marks_ = marks64(line_ + base);
    } else {
      uint8_t copy[64] = {};
      std::memcpy(copy, line_ + base, n);
      marks_ = marks64(copy);
    }
    if (n < 64) marks_ &= (uint64_t(1) << n) - 1;
#else
    marks_ = marksOf(line_ + base, n);
#endif
  }

  const uint8_t* line_;
  uint64_t length_;
  uint64_t readable_;
  uint64_t base_ = 0;
  uint64_t marks_ = 0;
};

// Cuts one line (length bytes at line, no line end; readable bytes from line
// may be read) into its fields, calling sink(k, first, n) for each field k
// found, in order:
//   host ident user       up to the next blank each
//   [time]                after the next "[", up to the next "]"
//   "request"             after the next '"', up to the next '"'
//   status                after any blanks, up to the next blank
//   size                  the rest of the line
// A field whose closing byte is missing takes the rest of the line and no
// field follows it; a missing "[" or '"', or a line that ends in the blanks
// before the status, ends the line too.
template <typename Sink>
inline void cutClfLine(const uint8_t* line, uint64_t length, uint64_t readable, Sink&& sink) {
  ClfLineBytes bytes(line, length, readable);
  uint64_t at = 0;
  for (uint32_t k = 0; k < 3; ++k) {
    const uint64_t stop = bytes.find(' ', at);
    sink(k, line + at, stop - at);
    if (stop == length) return;
    at = stop + 1;
  }
  const uint64_t open = bytes.find('[', at);
  if (open == length) return;
  at = open + 1;
  const uint64_t close = bytes.find(']', at);
  sink(3, line + at, close - at);
  if (close == length) return;
  at = close + 1;
  const uint64_t quote = bytes.find('"', at);
  if (quote == length) return;
  at = quote + 1;
  const uint64_t unquote = bytes.find('"', at);
  sink(4, line + at, unquote - at);
  if (unquote == length) return;
  at = unquote + 1;
  while (at < length && line[at] == ' ') ++at;
  if (at == length) return;
  const uint64_t stop = bytes.find(' ', at);
  sink(5, line + at, stop - at);
  if (stop == length) return;
  at = stop + 1;
  sink(6, line + at, length - at);
}

}  // namespace kova
