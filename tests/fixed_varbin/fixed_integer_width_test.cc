// Integer fields of FIXED records whose width is not their column's slot
// size, in either byte order, in typed rows and row images: a SMALLINT kept in 4 bytes gives its
// low-order bytes (a value too large for the slot is cut and counted), an
// INT kept in 2 bytes is widened by its sign, and neither reads a byte of the next field or past
// the record.
#include <string>
#include <vector>

#include "tests/fixed_varbin/binary_test_util.h"

namespace kova::testing {
namespace {

class FixedIntegerWidthTest : public BinaryRipTest {
 protected:
  // A big- or little-endian integer of width bytes.
  static std::string field(int64_t value, int width, bool bigEndian) {
    std::string bytes;
    for (int i = 0; i < width; ++i) {
      const char byte = char(uint64_t(value) >> (8 * (bigEndian ? width - 1 - i : i)));
      bytes += byte;
    }
    return bytes;
  }
};

TEST_F(FixedIntegerWidthTest, WideAndNarrowFieldsGiveTheirValues) {
  for (bool bigEndian : {false, true}) {
    SCOPED_TRACE(bigEndian ? "big-endian" : "little-endian");
    KovaObject* table = newTable(kRecfmFixed, kEncodingUtf8);
    table->bigendian = bigEndian;
    struct Column {
      const char16_t* name;
      uint32_t type;
      uint32_t cType;
      int width;
    } columns[] = {
        {u"small_in_4", kTypeSmallint, kCTypeInt16, 4}, {u"int_in_8", kTypeInt, kCTypeInt32, 8},
        {u"int_in_2", kTypeInt, kCTypeInt32, 2},        {u"big_in_3", kTypeBigint, kCTypeInt64, 3},
        {u"small_in_1", kTypeSmallint, kCTypeInt16, 1},
    };
    int64_t offset = 0;
    for (const Column& c : columns) {
      KovaColumn* column = addColumn(table, c.name, c.type, 0, c.width);
      column->c_type = c.cType;
      column->offset = offset;
      offset += c.width;
    }
    table->reclen = offset;
    auto record = [&](std::vector<int64_t> values) {
      std::string bytes;
      for (size_t i = 0; i < values.size(); ++i) {
        bytes += field(values[i], columns[i].width, bigEndian);
      }
      return bytes;
    };
    const std::string input = record({-9739, -5, -300, -70000, -56}) +
                              record({17566, 70000, 300, 8388607, 127}) +
                              record({70000, int64_t(1) << 40, -1, -1, 0});
    const std::vector<std::string> expected = {
        "-9739|-5|-300|-70000|-56", "17566|70000|300|8388607|127",
        // Too large for a SMALLINT and an INT: their low-order bytes, counted.
        "4464|0|-1|-1|0"};
    // Typed rows and row images alike, cut anywhere.
    for (uint32_t flags : {0u, kRipperRowImage}) {
      KovaRipper* ripper = bound(table, flags);
      ASSERT_NE(ripper, nullptr);
      EXPECT_EQ(ripAll(ripper, {input}), expected) << flags;
      EXPECT_EQ(ripper->truncations, 2u);
      EXPECT_EQ(ripAll(ripper, {input.substr(0, 7), input.substr(7)}), expected) << flags;
      destroy(ripper);
    }
  }
}

}  // namespace
}  // namespace kova::testing
