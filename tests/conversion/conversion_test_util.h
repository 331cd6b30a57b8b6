// Shared pieces of the field-conversion tests: rippers made and bound in
// code, rows with stale bytes in them, fields handed to convertField in
// buffers of exactly their size, and stand-in informats that the tests
// install in a column's state.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "kova/ripper.h"
#include "tests/support/ripper_fixture.h"

namespace kova::testing {

// A format object whose run reads 16-bit text: as a double (kind Double) or
// upper-cased 16-bit text (kind Text). failWith makes run answer that status.
struct StandInInformat {
  enum class Kind { kDouble, kText };
  explicit StandInInformat(Kind kind);

  KovaFormatObject object{};  // first: the converters see only this
  Kind kind;
  KovaStatus failWith = kStatusOk;
  int32_t seenWidth = -1;
  std::u16string seenInput;
};

class ConversionTest : public RipperTest {
 protected:
  // A row of the ripper's length full of stale bytes, then cleared as a
  // block parser would.
  std::vector<uint8_t> newRow(KovaRipper* ripper, uint8_t stale = 0x5A);

  // convertField on a copy of text that has no byte after it.
  void convert(KovaRipper* ripper, std::vector<uint8_t>& row, uint32_t field,
               std::string_view text);

  static int64_t indicator(KovaRipper* ripper, const std::vector<uint8_t>& row, uint32_t entry);
  // n value bytes of a typed entry (its octet length when n is 0).
  static std::string value(KovaRipper* ripper, const std::vector<uint8_t>& row, uint32_t entry,
                           size_t n = 0);
  template <typename T>
  static T valueAs(KovaRipper* ripper, const std::vector<uint8_t>& row, uint32_t entry) {
    T out;
    std::memcpy(&out, row.data() + ripper->typedLayout[entry].dataOffset, sizeof(T));
    return out;
  }
  // The bytes of a row-image entry.
  static std::string imageValue(KovaRipper* ripper, const std::vector<uint8_t>& row,
                                uint32_t entry);
  static double imageNumber(KovaRipper* ripper, const std::vector<uint8_t>& row, uint32_t entry);
};

}  // namespace kova::testing
