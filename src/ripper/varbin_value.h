// The values of VARBIN fields: how many record bytes a value takes for its
// column, and how it is stored into a row with its null indicator. Used by
// the VARBIN block parser (varBinaryRipBlock), which has already checked the
// field's header and that the value's bytes lie within the record.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

#include "kova/ripper.h"

namespace kova::varbin {

// A little-endian integer of sizeof(T) bytes at p (any alignment).
template <typename T>
inline T loadLittle(const uint8_t* p) {
  T value;
  std::memcpy(&value, p, sizeof value);
  if constexpr (std::endian::native == std::endian::big) {
    if constexpr (sizeof value == 2) value = T(__builtin_bswap16(uint16_t(value)));
    if constexpr (sizeof value == 4) value = T(__builtin_bswap32(uint32_t(value)));
    if constexpr (sizeof value == 8) value = T(__builtin_bswap64(uint64_t(value)));
  }
  return value;
}

// How a present value lies in a record after its length code.
enum class Form : uint8_t {
  kBytes,       // L bytes
  kSizedBytes,  // a 4-byte data length D, then D bytes (character and binary columns)
  kDecimal,     // one byte k (at most 19), then k bytes of the 19-byte decimal
  kDate,        // year (2 bytes), month, day
  kTime,        // hour, minute, second
  kTimestamp,   // year (2 bytes), month, day, hour, minute, second, fraction (4 bytes)
};

// The form of a column's values: by its layout entry, or for a dropped
// column (no entry) by its type, so that its fields can be skipped.
Form formOf(const KovaColumnState* state);

// A present value: its first byte, the record bytes left from there, and
// its length (the data length for kSizedBytes, else the length code).
struct Field {
  const uint8_t* at;
  int64_t left;
  int64_t length;
};

// The bytes the value takes in the record, or -1 when its form cannot be
// read (a decimal whose byte count is missing or above 19). The caller
// checks the result against field.left.
int64_t valueSize(Form form, const Field& field);

// Stores a present value of a column with a layout entry into row and
// returns the indicator to write. A value that does not fit its column's
// form (a double that is not 8 bytes, an integer shorter than the column)
// is not stored: the null indicator, and one more in truncations; a text or
// byte value longer than the column is cut to it and counted.
int64_t storeValue(KovaRipper* ripper, const KovaColumnState* state, Form form,
                   const Field& field, uint8_t* row);

// The indicator of a field whose length code L is 0 or negative (no value
// bytes follow): an empty text or byte value for L = 0, a null otherwise.
int64_t noValueIndicator(KovaRipper* ripper, const KovaColumnState* state, int64_t code);

}  // namespace kova::varbin
