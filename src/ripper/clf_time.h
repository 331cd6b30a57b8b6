// The time of a CLF line in its one written shape, "dd/Mon/yyyy:hh:mm:ss"
// with or without " +hhmm", read without the general date reader's search
// for a form. Used by the CLF block parser before readDateText; a text this
// reads is one readDateText reads, to the same value (a differential test
// compares the two), and any other text is left to it.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "src/convert/calendar.h"
#include "src/ripper/force_inline.h"

namespace kova {

namespace clf_time_detail {

// The 8 bytes at p as one little-endian word: byte i is p[i].
inline uint64_t load8(const uint8_t* p) {
  uint64_t w;
  std::memcpy(&w, p, 8);
  if constexpr (std::endian::native == std::endian::big) w = __builtin_bswap64(w);
  return w;
}

// 0xFF in each byte of a word whose letter in shape is c.
constexpr uint64_t bytesOf(const char (&shape)[9], char c) {
  uint64_t mask = 0;
  for (unsigned i = 0; i < 8; ++i) {
    if (shape[i] == c) mask |= uint64_t(0xFF) << (8 * i);
  }
  return mask;
}

// Whether w has the separators of shape ('d' a digit, '.' any byte, every
// other letter itself) and an ASCII digit wherever shape has 'd'.
template <const char (&shape)[9]>
inline bool fitsShape(uint64_t w) {
  constexpr uint64_t digits = bytesOf(shape, 'd');
  constexpr uint64_t fixed = ~(digits | bytesOf(shape, '.'));
  constexpr uint64_t expected = [] {
    uint64_t word = 0;
    for (unsigned i = 0; i < 8; ++i) word |= uint64_t(uint8_t(shape[i])) << (8 * i);
    return word;
  }();
  constexpr uint64_t high = digits & 0xF0F0F0F0F0F0F0F0ull;
  constexpr uint64_t zeros = digits & 0x3030303030303030ull;
  // A digit's high half is 3 and stays 3 when 6 is added to it.
  return ((w ^ expected) & fixed) == 0 && (w & high) == zeros &&
         ((w + (digits & 0x0606060606060606ull)) & high) == zeros;
}

inline constexpr char kDate[9] = "dd/.../d";   // bytes 0 to 7
inline constexpr char kYear[9] = "dddd:dd:";   // bytes 7 to 14
inline constexpr char kClock[9] = "dd:dd:dd";  // bytes 12 to 19
inline constexpr char kZone[9] = ".. .dddd";   // bytes 18 to 25

// Byte i of the result: the two-digit number of bytes i and i + 1 of w
// (where both are digits). Low halves only, so no byte carries into the next.
inline uint64_t pairs(uint64_t w) {
  const uint64_t d = w & 0x0F0F0F0F0F0F0F0Full;
  return d * 10 + (d >> 8);
}

inline int64_t byteOf(uint64_t w, unsigned i) { return int64_t((w >> (8 * i)) & 0xFF); }

}  // namespace clf_time_detail

// What readClfTime keeps of the months it read: the month and year bytes
// ("Mon/yyyy", bytes 3 to 10) and the days they stand for, so that the
// times of a month read before cost no month lookup and no calendar sums.
// Sixteen slots, chosen by a hash under which the twelve month names as
// usually written ("Jan/" to "Dec/") never share one. One per column and
// block; a cache of zeros holds nothing.
struct ClfTimeMonth {
  uint64_t monthYear = 0;  // the 8 bytes as one word (never 0 once filled)
  int64_t monthStart = 0;  // days from 1960-01-01 to the month's first day
  int64_t monthLength = 0;
};

struct ClfTimeCache {
  ClfTimeMonth slots[16];

  // The slot of the month and year bytes monthYear.
  ClfTimeMonth& slotOf(uint64_t monthYear) {
    return slots[uint32_t(uint32_t(monthYear) * 3067u) >> 28];
  }
};

namespace clf_time_detail {

// The month and year of the 8 bytes "Mon/yyyy" at p into cache; false for
// a name that is no month or a year before 1582. REQUIRES: the year's
// bytes are digits.
inline bool readMonthYear(const uint8_t* p, ClfTimeMonth* cache) {
  const uint64_t yearPairs = pairs(load8(p + 4));
  const int64_t year = byteOf(yearPairs, 0) * 100 + byteOf(yearPairs, 2);
  if (year < kFirstYear) return false;
  // The month's three letters in either case, found by a perfect hash of
  // their upper-case forms.
  struct Month {
    uint32_t name;
    uint8_t number;
  };
  static constexpr uint32_t kMultiplier = 236200;
  static constexpr Month kMonths[32] = {{},
                                        {0x444543, 12},
                                        {},
                                        {0x534550, 9},
                                        {},
                                        {},
                                        {},
                                        {0x4E4F56, 11},
                                        {0x464542, 2},
                                        {},
                                        {},
                                        {},
                                        {0x415052, 4},
                                        {0x4D4152, 3},
                                        {0x4D4159, 5},
                                        {0x415547, 8},
                                        {},
                                        {},
                                        {},
                                        {0x4A414E, 1},
                                        {},
                                        {0x4F4354, 10},
                                        {},
                                        {},
                                        {},
                                        {},
                                        {},
                                        {},
                                        {0x4A554C, 7},
                                        {0x4A554E, 6},
                                        {},
                                        {}};
  const uint32_t name = uint32_t(p[0] & 0xDF) << 16 | uint32_t(p[1] & 0xDF) << 8 | (p[2] & 0xDF);
  const Month& month = kMonths[uint32_t(name * kMultiplier) >> 27];
  if (month.number == 0 || month.name != name) return false;
  static constexpr int64_t kLengths[13] = {0, 31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  static constexpr int64_t kBefore[13] = {0, 0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
  const bool leap = isLeapYear(year);
  // Days from 0001-01-01 to each January 1st, in the host's calendar.
  auto daysBefore = [](int64_t y) {
    const int64_t q = y - 1;
    return 365 * q + q / 4 - q / 100 + q / 400 - q / 4000;
  };
  cache->monthYear = load8(p);
  cache->monthStart = daysBefore(year) - daysBefore(1960) + kBefore[month.number] +
                      (month.number > 2 && leap ? 1 : 0);
  cache->monthLength = kLengths[month.number] + (month.number == 2 && leap ? 1 : 0);
  return true;
}

}  // namespace clf_time_detail

namespace clf_time_detail {

// The day, clock and month of a text whose shape was checked: the seconds.
// False for a month name, year, day or time of day that is out of range.
KOVA_ALWAYS_INLINE inline bool secondsOf(const uint8_t* p, int64_t* seconds, ClfTimeCache* cache) {
  const uint64_t monthYear = load8(p + 3);
  ClfTimeMonth* month = &cache->slotOf(monthYear);
  if (monthYear != month->monthYear && !readMonthYear(p + 3, month)) return false;
  const uint64_t clockPairs = pairs(load8(p + 12));
  const int64_t day = int64_t(p[0] & 0x0F) * 10 + int64_t(p[1] & 0x0F);
  // The hour (byte 0) above 23, or the minute or second (bytes 3 and 6)
  // above 59, sets the byte's high bit once 104 or 68 is added; no byte of
  // the pairs is above 109, so none carries into the next.
  constexpr uint64_t kPastRange = 104 | uint64_t(68) << 24 | uint64_t(68) << 48;
  constexpr uint64_t kHighBits = 0x80 | uint64_t(0x80) << 24 | uint64_t(0x80) << 48;
  if (((clockPairs + kPastRange) & kHighBits) != 0 ||
      uint64_t(day - 1) >= uint64_t(month->monthLength)) {
    return false;
  }
  const int64_t hour = byteOf(clockPairs, 0);
  const int64_t minute = byteOf(clockPairs, 3);
  const int64_t second = byteOf(clockPairs, 6);
  *seconds = (month->monthStart + day - 1) * 86400 + hour * 3600 + minute * 60 + second;
  return true;
}

}  // namespace clf_time_detail

// Seconds from 1960-01-01 00:00:00 to the time written at p (n bytes): 20
// bytes, or 26 with a zone (read and ignored). False for any other text, a
// day the calendar does not have, or a year before 1582. The separators and
// digits are checked a word at a time; cache holds the months read.
inline bool readClfTime(const uint8_t* p, uint32_t n, int64_t* seconds, ClfTimeCache* cache) {
  using namespace clf_time_detail;
  if (n != 20 && n != 26) return false;
  if (!fitsShape<kDate>(load8(p)) || !fitsShape<kYear>(load8(p + 7)) ||
      !fitsShape<kClock>(load8(p + 12))) {
    return false;
  }
  if (n == 26) {
    const uint64_t zone = load8(p + 18);
    if (!fitsShape<kZone>(zone) || (p[21] != '+' && p[21] != '-')) return false;
    const uint64_t zonePairs = pairs(zone);
    if (byteOf(zonePairs, 4) > 23 || byteOf(zonePairs, 6) > 59) return false;
  }
  return secondsOf(p, seconds, cache);
}

#if defined(__SSE2__)
// readClfTime of a text of 26 bytes (zone) or 20, with the shape checked 16
// bytes at a time: bytes 0 to 15 and 10 to 25 compared at once with the
// digits and separators they must have. REQUIRES: 26 bytes readable at p.
template <bool zone>
KOVA_ALWAYS_INLINE inline bool readClfTimeShaped(const uint8_t* p, int64_t* seconds,
                                                 ClfTimeCache* cache) {
  using namespace clf_time_detail;
  const __m128i head = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  const __m128i tail = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 10));
  // Bit i: byte i is a digit (its value below 10 once '0' is taken off).
  auto digits = [](__m128i v) {
    const __m128i d = _mm_sub_epi8(v, _mm_set1_epi8('0'));
    return unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_min_epu8(d, _mm_set1_epi8(9)), d)));
  };
  // "dd/Mon/yyyy:hh:m" and "y:hh:mm:ss +hhmm": where each has its digits and
  // separators (the month and the zone's sign are checked apart).
  constexpr unsigned kHeadDigits = 0b1011011110000011;
  constexpr unsigned kHeadSeparators = 0b0100100001000100;
  constexpr unsigned kTailDigits = 0b1111001101101101;
  constexpr unsigned kTailSeparators = 0b0000010010010010;
  const __m128i headSeparators =
      _mm_setr_epi8(0, 0, '/', 0, 0, 0, '/', 0, 0, 0, 0, ':', 0, 0, ':', 0);
  const __m128i tailSeparators =
      _mm_setr_epi8(0, ':', 0, 0, ':', 0, 0, ':', 0, 0, ' ', 0, 0, 0, 0, 0);
  // Without a zone, only the tail's first 10 bytes are the text's.
  constexpr unsigned kTailBits = zone ? 0xFFFFu : 0x03FFu;
  const unsigned headOk =
      (digits(head) & kHeadDigits) |
      (unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(head, headSeparators))) & kHeadSeparators);
  const unsigned tailOk =
      ((digits(tail) & kTailDigits) |
       (unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(tail, tailSeparators))) & kTailSeparators)) &
      kTailBits;
  if (headOk != (kHeadDigits | kHeadSeparators) ||
      tailOk != ((kTailDigits | kTailSeparators) & kTailBits)) {
    return false;
  }
  if constexpr (zone) {
    if (p[21] != '+' && p[21] != '-') return false;
    // The zone's hours and minutes as two-digit numbers in bytes 0 and 2:
    // above 23 or 59, the byte's high bit is set once 104 or 68 is added.
    uint32_t pairs;
    std::memcpy(&pairs, p + 22, 4);
    if constexpr (std::endian::native == std::endian::big) pairs = __builtin_bswap32(pairs);
    pairs &= 0x0F0F0F0Fu;
    pairs = pairs * 10 + (pairs >> 8);
    if (((pairs + (104u | 68u << 16)) & (0x80u | 0x80u << 16)) != 0) return false;
  }
  return secondsOf(p, seconds, cache);
}

// readClfTime with the shape checked 16 bytes at a time. REQUIRES: 26
// bytes readable at p.
KOVA_ALWAYS_INLINE inline bool readClfTimeWide(const uint8_t* p, uint32_t n, int64_t* seconds,
                                               ClfTimeCache* cache) {
  if (n == 26) return readClfTimeShaped<true>(p, seconds, cache);
  if (n == 20) return readClfTimeShaped<false>(p, seconds, cache);
  return false;
}
#endif

// readClfTime by the widest shape check that may read readable bytes at p.
KOVA_ALWAYS_INLINE inline bool readClfTime(const uint8_t* p, uint32_t n, uint64_t readable,
                                           int64_t* seconds, ClfTimeCache* cache) {
#if defined(__SSE2__)
  if (readable >= 26) return readClfTimeWide(p, n, seconds, cache);
#else
  (void)readable;
#endif
  return readClfTime(p, n, seconds, cache);
}

// readClfTime without a cache to keep.
inline bool readClfTime(const uint8_t* p, uint32_t n, int64_t* seconds) {
  ClfTimeCache cache;
  return readClfTime(p, n, seconds, &cache);
}

}  // namespace kova
