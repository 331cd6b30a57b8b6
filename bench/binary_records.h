// Writers of FIXED and VARBIN file bytes for generators, benchmarks and
// tests: little- and big-endian integers, and a VARBIN record builder that
// writes fields in the form the VARBIN block parser reads. Header-only,
// plain std::string output.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace kova::records {

// n bytes of v, least significant first (little) or last (big).
inline void putInteger(std::string& out, uint64_t v, int n, bool big = false) {
  for (int i = 0; i < n; ++i) {
    int shift = 8 * (big ? n - 1 - i : i);
    out += char((v >> shift) & 0xFF);
  }
}

inline void putDouble(std::string& out, double x, bool big = false) {
  uint64_t bits;
  std::memcpy(&bits, &x, 8);
  putInteger(out, bits, 8, big);
}

// One VARBIN record: fields appended in any order, then bytes() with the
// record length in front.
class VarbinRecord {
 public:
  // The column number and the length code L in its shortest form: one signed
  // byte, or 0xFA and 32 bits when the byte would be a marker or too small.
  VarbinRecord& field(int32_t column, int64_t length) {
    putInteger(fields_, uint32_t(column), 4);
    const bool marker = length == -9 || length == -8 || length == -6;
    if (length >= -128 && length <= 127 && !marker) {
      fields_ += char(int8_t(length));
    } else if (length >= INT32_MIN && length <= INT32_MAX) {
      fields_ += char(0xFA);
      putInteger(fields_, uint32_t(int32_t(length)), 4);
    } else {
      fields_ += char(0xF7);
      putInteger(fields_, uint64_t(length), 8);
    }
    return *this;
  }
  VarbinRecord& raw(std::string_view bytes) {
    fields_ += bytes;
    return *this;
  }
  // No value: L of -1, or another missing code.
  VarbinRecord& null(int32_t column, int64_t code = -1) { return field(column, code); }
  // Character or binary bytes: L, the data length and the bytes (an empty
  // value is L = 0 alone).
  VarbinRecord& sized(int32_t column, std::string_view bytes) {
    if (bytes.empty()) return field(column, 0);
    field(column, int64_t(bytes.size()));
    putInteger(fields_, bytes.size(), 4);
    fields_ += bytes;
    return *this;
  }
  // An integer of n bytes (little-endian unless big).
  VarbinRecord& integer(int32_t column, int64_t v, int n, bool big = false) {
    field(column, n);
    putInteger(fields_, uint64_t(v), n, big);
    return *this;
  }
  VarbinRecord& real(int32_t column, double x, bool big = false) {
    field(column, 8);
    putDouble(fields_, x, big);
    return *this;
  }
  VarbinRecord& date(int32_t column, int year, int month, int day) {
    field(column, 6);
    putInteger(fields_, uint16_t(year), 2);
    fields_ += char(month);
    fields_ += char(day);
    return *this;
  }
  VarbinRecord& time(int32_t column, int hour, int minute, int second) {
    field(column, 6);
    fields_ += char(hour);
    fields_ += char(minute);
    fields_ += char(second);
    return *this;
  }
  VarbinRecord& timestamp(int32_t column, int year, int month, int day, int hour, int minute,
                          int second, uint32_t fraction) {
    field(column, 16);
    putInteger(fields_, uint16_t(year), 2);
    for (int part : {month, day, hour, minute, second}) fields_ += char(part);
    putInteger(fields_, fraction, 4);
    return *this;
  }
  // A 19-byte decimal value (precision, scale, sign, magnitude) without its
  // trailing zero bytes.
  VarbinRecord& decimal(int32_t column, const uint8_t (&value)[19]) {
    int k = 19;
    while (k > 0 && value[k - 1] == 0) --k;
    field(column, 19);
    fields_ += char(k);
    fields_.append(reinterpret_cast<const char*>(value), size_t(k));
    return *this;
  }
  std::string bytes() const {
    std::string out;
    putInteger(out, uint32_t(fields_.size() + 4), 4);
    return out + fields_;
  }

 private:
  std::string fields_;
};

}  // namespace kova::records
