// Exact decimals: text to the 19-byte DecimalValue of rows and back. No
// floating arithmetic, no allocation (fixed local scratch only), no state;
// any caller on any thread.
#pragma once

#include <cstdint>

#include "kova/decimal.h"
#include "kova/status.h"

namespace kova {

// Reads an ASCII decimal number into *result, clearing its 19 bytes first.
//
// text, length: the bytes; a negative length means the text ends at its
//   first NUL. Blanks (TAB, LF, VT, FF, CR, space) around the number, one
//   sign, a point and an exponent ("1.5E3", "15e-1") are accepted.
// truncate: when set, digits the scale cannot hold are dropped (the value is
//   cut towards zero); when clear, losing a non-zero digit is an error.
// precision, scale: the column's. Precision 0 declares none: the value keeps
//   up to 38 significant digits and takes its scale from the text.
//
// Returns kStatusOk, kStatusNotANumber (not a number), kStatusDecimalOverflow
// (does not fit the precision and scale, or more than 38 significant digits
// would be needed), or kStatusDecimalPrecision (precision above 38, scale
// outside -127..127). On failure *result is all zeros.
[[nodiscard]] KovaStatus parseDecimal(const char* text, int64_t length, bool truncate,
                                      int32_t precision, int32_t scale, DecimalValue* result);

// Writes value as plain decimal text ("123.45", "-0.005", an integer with a
// trailing point: "12300."). *length counts the bytes written, also when the
// call fails part way. Returns kStatusOk, kStatusDecimalNoRoom when capacity
// is exhausted, or kStatusDecimalPrecision for a negative capacity or a scale
// below -127.
[[nodiscard]] KovaStatus decimalToText(const DecimalValue* value, char* output, int64_t capacity,
                                       int64_t* length);

// The most characters decimalToText can produce (sign, 39 digits, 127 zeros
// and a point).
inline constexpr int64_t kDecimalTextMax = 168;

}  // namespace kova
