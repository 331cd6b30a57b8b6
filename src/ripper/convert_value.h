// The value converters behind convertField and the FIXED record converters:
// character fields into their row areas (charInformat), text into doubles
// (numInformat), and the small byte helpers they share. Called on the
// ripper's one thread once bind has prepared the column states; they use the
// ripper's scratch buffers, which only grow and live as long as the ripper.
#pragma once

#include <cstdint>
#include <cstring>
#include <string_view>

#include "kova/ripper.h"

namespace kova {

// True when the n bytes are all below 0x80.
inline bool allAscii(const uint8_t* text, uint64_t n) {
  uint64_t i = 0;
  uint64_t high = 0;
  for (; i + 8 <= n; i += 8) {
    uint64_t word;
    std::memcpy(&word, text + i, 8);
    high |= word;
  }
  high &= 0x8080808080808080ull;
  for (; i < n; ++i) high |= text[i] & 0x80u;
  return high == 0;
}

// Stores one field of n bytes into destination (capacity bytes), through the
// column's transcoders and, for a column without a character length, its
// character informat; cuts the value to the column's character length and to
// the capacity (counting one truncation for a value that was cut). Returns
// the bytes stored, or -1 when the value could not be converted.
int64_t charInformat(KovaRipper* ripper, KovaColumnState* state, const uint8_t* text, int32_t n,
                     uint8_t* destination, int64_t capacity);

// Reads one field of n bytes as a double through the column's numeric
// informat, or through the host's number reader of the field's encoding.
// The missing value when the text cannot be read.
double numInformat(KovaRipper* ripper, KovaColumnState* state, const uint8_t* text, uint32_t n);

// Transcodes n field bytes through the column's directTranscoder into
// destination. A value too long for the capacity is cut to the whole
// characters that fit and counted. Returns the bytes stored, or -1 when the
// long value could not be converted for cutting.
int64_t transcodeDirect(KovaRipper* ripper, KovaColumnState* state, const uint8_t* text, uint32_t n,
                        uint8_t* destination, int64_t capacity);

// Stores a 64-bit integer into the integer column of entry and writes the
// indicator: the slot's length when value is given and fits the slot, else
// the null indicator (a value outside the slot's range counts as a
// truncation).
void storeIntegerColumn(KovaRipper* ripper, const KovaLayoutEntry* entry, uint8_t* row,
                        const int64_t* value);

// An informat's double as an integer, truncated toward zero. False for the
// missing value, and (counted as a truncation) for NaN, infinities and
// values outside the 64-bit range.
bool informatInteger(KovaRipper* ripper, double v, int64_t* value);

// Parses n bytes of decimal text into the DECIMAL column of state, with the
// column's precision and scale, and writes the indicator (the decimal's 19
// bytes, or null for a text that is no decimal of that size, counted).
void convertDecimalText(KovaRipper* ripper, const KovaColumnState* state, uint8_t* row,
                        const char* text, uint32_t n);

// ---- 16-bit text values (JSON and XML records) -----------------------------

// convertWideValue: stores units 16-bit units of text into column `column`
// of row, by the column's layout entry (typed or row-image), through its
// informat when one is bound. A column past the table or without a layout
// entry is left alone. Values that cannot be read leave the column null (or
// missing) and count as truncations; nothing fails: always kStatusOk.
KovaStatus convertWideValue(KovaRipper* ripper, uint8_t* row, uint32_t column, const char16_t* text,
                            int64_t units);

// Runs the column's character informat over units of 16-bit text into
// wideScratch (grown to twice the capacity; a failed growth logs label) and
// stores its output into destination, cut to the capacity and counted.
// Returns the bytes stored, or -1 when the scratch could not be had.
int64_t wideThroughInformat(KovaRipper* ripper, KovaColumnState* state, const char16_t* text,
                            uint64_t units, uint8_t* destination, int64_t capacity,
                            std::u16string_view label);

// Stores units of 16-bit text into a character area: cut to the column's
// character length (when it has one) and to the capacity on whole
// characters, one truncation counted for a cut value. Returns the bytes
// stored.
int64_t storeWideText(KovaRipper* ripper, const KovaColumnState* state, const char16_t* text,
                      uint64_t units, uint8_t* destination, int64_t capacity);

// ---- 16-bit text scratch ---------------------------------------------------

// Converts n field bytes into wideInput (grown to n units when it is smaller;
// a failed growth logs label and keeps the old buffer). units receives the
// 16-bit units written. 0, or the status that made the conversion fail (a
// text longer than the buffer is cut, counted and fails with
// kStatusTargetTooSmall).
KovaStatus fieldToWideInput(KovaRipper* ripper, const KovaColumnState* state, const uint8_t* text,
                            uint32_t n, std::u16string_view label, uint64_t* units);

// Converts n field bytes into buffer (room bytes) as 16-bit text through
// toWide, or copies them when the field is 16-bit text already (a longer
// text is cut, counted and fails with kStatusTargetTooSmall). A transcoder's
// substitutions still count as success.
KovaStatus convertToWide(KovaRipper* ripper, const KovaColumnState* state, const uint8_t* text,
                         uint32_t n, char16_t* buffer, uint64_t room, uint64_t* units);

// Fills count bytes with blanks of the row encoding.
void padWithBlanks(const KovaColumnState* state, uint8_t* at, uint64_t count);

// Stores units 16-bit units of text into destination in the row encoding
// (through fromWide, or as they are), cut at the last whole character that
// fits. *cut is set when anything was left out. Returns the bytes stored.
int64_t storeWide(const KovaColumnState* state, const char16_t* text, uint64_t units,
                  uint8_t* destination, int64_t capacity, bool* cut);

// ---- byte helpers ----------------------------------------------------------

// The longest prefix of the 16-bit text of at most limit units that does not
// end inside a surrogate pair.
inline uint64_t wholeUnits(const char16_t* text, uint64_t units, uint64_t limit) {
  if (units <= limit) return units;
  if (limit > 0 && (text[limit - 1] & 0xFC00) == 0xD800) return limit - 1;
  return limit;
}

// Copies n bytes (n >= 1) of a field without a call for the short lengths
// fields mostly have: two overlapping moves of the largest fitting width.
inline void copyField(uint8_t* to, const uint8_t* from, uint64_t n) {
  if (n >= 16) {
    if (n > 32) {
      std::memcpy(to, from, n);
      return;
    }
    std::memcpy(to, from, 16);
    std::memcpy(to + n - 16, from + n - 16, 16);
  } else if (n >= 8) {
    std::memcpy(to, from, 8);
    std::memcpy(to + n - 8, from + n - 8, 8);
  } else if (n >= 4) {
    std::memcpy(to, from, 4);
    std::memcpy(to + n - 4, from + n - 4, 4);
  } else {
    to[0] = from[0];
    to[n / 2] = from[n / 2];
    to[n - 1] = from[n - 1];
  }
}

// Copies n bytes, reversing their order when reverse is set.
inline void copyOrdered(uint8_t* to, const uint8_t* from, uint64_t n, bool reverse) {
  if (!reverse) {
    // The sizes of numbers as constants: plain moves instead of a copy call.
    switch (n) {
      case 8:
        std::memcpy(to, from, 8);
        return;
      case 4:
        std::memcpy(to, from, 4);
        return;
      case 2:
        std::memcpy(to, from, 2);
        return;
      case 1:
        *to = *from;
        return;
      default:
        std::memcpy(to, from, n);
        return;
    }
  }
  for (uint64_t i = 0; i < n; ++i) to[i] = from[n - 1 - i];
}

}  // namespace kova
