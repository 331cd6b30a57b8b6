// Number text in ASCII (or 16-bit text holding ASCII): the readers and writers
// shared by the encoding handles and the locale. No allocation, no locale:
// the decimal point is always '.', blanks are U+0020 only.
//
// Readers accept blanks around the number, one optional sign, and nothing
// else; doubles are decimal (digits, optional fraction, optional exponent) or
// "inf"/"infinity" in any case; "nan" and hexadecimal forms are refused.
#pragma once

#include <cstddef>
#include <cstdint>

#include "kova/host.h"

namespace kova::runtime {

// The standard missing value the double readers of the locale leave behind
// when a text is no number (bytes 00 00 00 00 00 D1 FF FF in memory).
inline constexpr uint64_t kMissingValueBits = 0xFFFFD10000000000ull;

// The longest number text (after its blanks are dropped) the double readers
// take; longer texts are refused.
inline constexpr size_t kMaxNumberText = 1024;

// 0 and *value, kStatusNotANumber for anything but a number, or
// kStatusDecimalOverflow when the number is outside the target's range.
// *value is left unchanged on failure.
KovaStatus parseDouble(const char* text, size_t length, double* value);
KovaStatus parseInt64(const char* text, size_t length, int64_t* value);
KovaStatus parseInt64(const char16_t* text, size_t length, int64_t* value);
// With strict set: no blanks at all.
KovaStatus parseInt32(const char16_t* text, size_t length, bool strict, int32_t* value);
// The 16-bit double reader: narrows the text, then parseDouble.
KovaStatus parseDouble(const char16_t* text, size_t length, double* value);

// The room formatDouble needs for any width and decimals it accepts.
inline constexpr size_t kNumberBufferSize = 512;

// Writes value as ASCII text into out (room kNumberBufferSize) and returns
// its length, or 0 with *status set when it cannot be written in width
// characters (kStatusDecimalNoRoom). width <= 0 means no limit.
//   decimals > 0: fixed notation with that many decimals, when it fits;
//   otherwise (or when that does not fit): the shortest text that reads back
//   as the same double, then fewer significant digits until it fits.
// NaN (every missing value included) gives the empty text; infinities give
// "inf" and "-inf".
size_t formatDouble(double value, int32_t width, int32_t decimals, char* out, KovaStatus* status);
// Decimal digits with a '-' when negative; 0 and kStatusDecimalNoRoom when
// longer than width (width <= 0: no limit). out has room for 20 characters.
size_t formatInt64(int64_t value, int32_t width, char* out, KovaStatus* status);

}  // namespace kova::runtime
