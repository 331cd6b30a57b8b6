// The CLF line cutter: the seven fields of a line found in one forward pass
// over its bytes, 16 at a time. Each group of 16 is loaded once and compared
// with the byte the line's grammar looks for next (a blank, "[", "]" or
// '"'); the next search starts in the same group where the last one ended.
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

// The bytes of one line, looked at in groups of 16 from its start.
class ClfLineBytes {
 public:
  // readable: bytes from line that may be read (length or more).
  ClfLineBytes(const uint8_t* line, uint64_t length, uint64_t readable)
      : line_(line), length_(length), readable_(readable) {
    load(0);
  }

  uint64_t length() const { return length_; }

  // The first byte at or after from that is c (or, with other, that is not
  // c); length when there is none.
  template <bool other = false>
  uint64_t find(uint8_t c, uint64_t from) {
#if defined(__SSE2__)
    while (from < length_) {
      if (from >= base_ + 16) load(from & ~uint64_t(15));
      unsigned marks = unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(group_, _mm_set1_epi8(char(c)))));
      if constexpr (other) marks = ~marks & 0xFFFFu;
      marks &= ~0u << (from - base_);
      if (length_ - base_ < 16) marks &= (1u << (length_ - base_)) - 1;
      if (marks) return base_ + unsigned(std::countr_zero(marks));
      from = base_ + 16;
    }
    return length_;
#else
    while (from < length_ && (line_[from] == c) == other) ++from;
    return from;
#endif
  }

 private:
#if defined(__SSE2__)
  // Makes the group at base (a multiple of 16 below length) the current one;
  // a group that would reach past the readable bytes is read from a copy.
  void load(uint64_t base) {
    base_ = base;
    if (readable_ - base >= 16) {
      group_ = _mm_loadu_si128(reinterpret_cast<const __m128i*>(line_ + base));
    } else {
      uint8_t copy[16] = {};
      const uint64_t n = length_ > base ? length_ - base : 0;
      std::memcpy(copy, line_ + base, n < 16 ? n : 16);
      group_ = _mm_loadu_si128(reinterpret_cast<const __m128i*>(copy));
    }
  }
  __m128i group_;
  uint64_t base_ = 0;
#else
  void load(uint64_t) {}
#endif
  const uint8_t* line_;
  uint64_t length_;
  uint64_t readable_;
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
  at = bytes.find<true>(' ', unquote + 1);
  if (at == length) return;
  const uint64_t stop = bytes.find(' ', at);
  sink(5, line + at, stop - at);
  if (stop == length) return;
  at = stop + 1;
  sink(6, line + at, length - at);
}

}  // namespace kova
