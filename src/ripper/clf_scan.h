// The CLF line cutter: one pass over a line's bytes, 64 at a time, marks the
// bytes of the four classes the line's grammar looks for (blank, "[", "]",
// '"'); the seven fields are then found from those marks. Shared by
// splitClfLine (one line through convertField) and the block parser (lines
// through the column plan). Header only: the cutter is inlined into both.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace kova {

// One window of up to 64 bytes: bit i stands for byte i.
struct ClfClasses {
  uint64_t blank;
  uint64_t open;   // '['
  uint64_t close;  // ']'
  uint64_t quote;  // '"'
};

// The classes of the n bytes at p (n <= 64) one byte at a time; bits from n
// on are clear.
inline ClfClasses clfClassesScalar(const uint8_t* p, uint64_t n) {
  ClfClasses c{0, 0, 0, 0};
  for (uint64_t i = 0; i < n; ++i) {
    const uint64_t bit = uint64_t(1) << i;
    c.blank |= p[i] == ' ' ? bit : 0;
    c.open |= p[i] == '[' ? bit : 0;
    c.close |= p[i] == ']' ? bit : 0;
    c.quote |= p[i] == '"' ? bit : 0;
  }
  return c;
}

#if defined(__SSE2__)
namespace clf_detail {

// The classes of 64 readable bytes at p.
inline ClfClasses classes64(const uint8_t* p) {
  const __m128i blank = _mm_set1_epi8(' ');
  const __m128i open = _mm_set1_epi8('[');
  const __m128i close = _mm_set1_epi8(']');
  const __m128i quote = _mm_set1_epi8('"');
  ClfClasses c{0, 0, 0, 0};
  for (unsigned k = 0; k < 4; ++k) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * k));
    const unsigned shift = 16 * k;
    c.blank |= uint64_t(unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(v, blank)))) << shift;
    c.open |= uint64_t(unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(v, open)))) << shift;
    c.close |= uint64_t(unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(v, close)))) << shift;
    c.quote |= uint64_t(unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(v, quote)))) << shift;
  }
  return c;
}

}  // namespace clf_detail
#endif

// The classes of the n bytes at p (n <= 64); bits from n on are clear.
// readable: how many bytes from p may be read (n or more); with 64 or more
// the window is read in place, otherwise through a copy.
inline ClfClasses clfClasses(const uint8_t* p, uint64_t n, uint64_t readable) {
#if defined(__SSE2__)
  ClfClasses c;
  if (readable >= 64) {
    c = clf_detail::classes64(p);
  } else {
    uint8_t copy[64] = {};
    std::memcpy(copy, p, n);
    c = clf_detail::classes64(copy);
  }
  if (n < 64) {
    const uint64_t keep = (uint64_t(1) << n) - 1;
    c.blank &= keep;
    c.open &= keep;
    c.close &= keep;
    c.quote &= keep;
  }
  return c;
#else
  (void)readable;
  return clfClassesScalar(p, n);
#endif
}

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
  uint64_t base = 0;  // the window's first byte
  ClfClasses w = clfClasses(line, length < 64 ? length : 64, readable);
  // The first byte at or after from whose class bits(window) marks; length
  // when the line has none.
  auto next = [&](auto bits, uint64_t from) -> uint64_t {
    while (true) {
      if (from < base + 64) {
        uint64_t marks = bits(w);
        if (from > base) marks &= ~uint64_t(0) << (from - base);
        if (marks) return base + uint64_t(std::countr_zero(marks));
      }
      if (base + 64 >= length) return length;
      base += 64;
      const uint64_t left = length - base;
      w = clfClasses(line + base, left < 64 ? left : 64, readable - base);
    }
  };
  auto blanks = [](const ClfClasses& c) { return c.blank; };
  uint64_t at = 0;
  for (uint32_t k = 0; k < 3; ++k) {
    const uint64_t stop = next(blanks, at);
    sink(k, line + at, stop - at);
    if (stop == length) return;
    at = stop + 1;
  }
  const uint64_t open = next([](const ClfClasses& c) { return c.open; }, at);
  if (open == length) return;
  at = open + 1;
  const uint64_t close = next([](const ClfClasses& c) { return c.close; }, at);
  sink(3, line + at, close - at);
  if (close == length) return;
  at = close + 1;
  const uint64_t quote = next([](const ClfClasses& c) { return c.quote; }, at);
  if (quote == length) return;
  at = quote + 1;
  const uint64_t unquote = next([](const ClfClasses& c) { return c.quote; }, at);
  sink(4, line + at, unquote - at);
  if (unquote == length) return;
  at = unquote + 1;
  // The window's bytes of the line that are no blank.
  const uint64_t status = next(
      [&](const ClfClasses& c) {
        const uint64_t inLine =
            length - base >= 64 ? ~uint64_t(0) : (uint64_t(1) << (length - base)) - 1;
        return ~c.blank & inLine;
      },
      at);
  if (status == length) return;
  at = status;
  const uint64_t stop = next(blanks, at);
  sink(5, line + at, stop - at);
  if (stop == length) return;
  at = stop + 1;
  sink(6, line + at, length - at);
}

}  // namespace kova
