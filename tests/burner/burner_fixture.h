// Shared pieces of the burner tests: burners for tables built in code, rows
// filled by the burner's layout (values, indicators, decimals from text) and
// one writeRows call returned as a byte string.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "kova/ripper.h"
#include "src/convert/decimal.h"
#include "tests/support/ripper_fixture.h"

namespace kova::testing {

class BurnerTest : public RipperTest {
 protected:
  // A bound burner for table (fails the test when it cannot be made).
  KovaRipper* burner(KovaObject* table, uint32_t flags = 0) {
    return bound(table, flags | kRipperOutput);
  }

  // Rows of zero bytes laid out for b.
  static std::vector<uint8_t> rows(const KovaRipper* b, size_t count = 1) {
    return std::vector<uint8_t>(b->rowLength * count, 0);
  }

  static KovaLayoutEntry& entryOf(KovaRipper* b, int32_t column) {
    return *b->columns[column].typedEntry;
  }

  static void setIndicator(KovaRipper* b, uint8_t* row, int32_t column, int64_t value) {
    const KovaLayoutEntry& e = entryOf(b, column);
    uint8_t* at = row + e.indicatorOffset;
    switch (e.indicatorWidth & kIndicatorWidthMask) {
      case kIndicatorWidth1:
        *at = uint8_t(int8_t(value));
        break;
      case kIndicatorWidth2: {
        int16_t v = int16_t(value);
        std::memcpy(at, &v, 2);
        break;
      }
      case kIndicatorWidth4: {
        int32_t v = int32_t(value);
        std::memcpy(at, &v, 4);
        break;
      }
      default:
        std::memcpy(at, &value, 8);
        break;
    }
  }

  static void setBytes(KovaRipper* b, uint8_t* row, int32_t column, std::string_view bytes) {
    std::memcpy(row + entryOf(b, column).dataOffset, bytes.data(), bytes.size());
    setIndicator(b, row, column, int64_t(bytes.size()));
  }

  template <typename T>
  static void setValue(KovaRipper* b, uint8_t* row, int32_t column, T value) {
    std::memcpy(row + entryOf(b, column).dataOffset, &value, sizeof value);
    setIndicator(b, row, column, int64_t(sizeof value));
  }

  static void setDecimal(KovaRipper* b, uint8_t* row, int32_t column, std::string_view text,
                         int32_t precision, int32_t scale) {
    DecimalValue d{};
    ASSERT_EQ(parseDecimal(text.data(), int64_t(text.size()), false, precision, scale, &d),
              kStatusOk);
    std::memcpy(row + entryOf(b, column).dataOffset, &d, sizeof d);
    setIndicator(b, row, column, sizeof d);
  }

  // One writeRows call; the bytes, or "" with *status set on failure.
  static std::string write(KovaRipper* b, const std::vector<uint8_t>& rows,
                           KovaStatus* status = nullptr, uint64_t byteCount = UINT64_MAX) {
    const uint8_t* data = reinterpret_cast<const uint8_t*>(1);
    uint64_t length = 99;
    KovaStatus s = b->ops.writeRows(
        b, rows.data(), byteCount == UINT64_MAX ? rows.size() : byteCount, &data, &length);
    if (status) *status = s;
    if (s != kStatusOk) {
      EXPECT_EQ(data, nullptr);
      EXPECT_EQ(length, 0u);
      return "";
    }
    return std::string(reinterpret_cast<const char*>(data), length);
  }
};

}  // namespace kova::testing
