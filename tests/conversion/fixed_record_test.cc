// FIXED records into typed rows and row images: byte order, widened short
// doubles, missing codes in the indicator, trimmed text, columns no
// converter stores, and the record that stops on text that is not valid.
#include <bit>
#include <string>

#include "tests/conversion/conversion_test_util.h"

namespace kova::testing {
namespace {

class FixedRecordTest : public ConversionTest {
 protected:
  KovaColumn* at(KovaObject* table, std::u16string_view name, uint32_t type, uint32_t cType,
                 int64_t offset, int64_t bytelength, int64_t charlength = 0) {
    KovaColumn* column = addColumn(table, name, type, charlength, bytelength);
    column->c_type = cType;
    column->offset = offset;
    return column;
  }
  static std::string record(std::initializer_list<int> bytes) {
    std::string out;
    for (int b : bytes) out.push_back(char(b));
    return out;
  }
  // Through the bound ripper's convertRecord slot (the loaded module's).
  static KovaStatus convert(KovaRipper* ripper, const std::string& bytes,
                            std::vector<uint8_t>& row) {
    return ripper->ops.convertRecord(ripper, reinterpret_cast<const uint8_t*>(bytes.data()),
                                     int64_t(bytes.size()), row.data());
  }
};

TEST_F(FixedRecordTest, TypedColumnsOfABigEndianRecord) {
  KovaObject* table = newTable(kRecfmFixed, kEncodingUtf8);
  table->bigendian = 1;
  table->reclen = 30;
  at(table, u"n", kTypeInt, kCTypeInt32, 0, 4);
  at(table, u"x", kTypeDouble, kCTypeDouble, 4, 4);
  at(table, u"t", kTypeTinyint, kCTypeInt8, 10, 1);
  at(table, u"s", kTypeVarchar, kCTypeChar, 11, 6, 6);
  at(table, u"d", kTypeDecimal, kCTypeChar, 17, 5, 5);
  at(table, u"b", kTypeBinary, kCTypeBinary, 22, 3);
  KovaColumn* little = at(table, u"l", kTypeDouble, kCTypeDouble, 25, 4);
  little->colendian = 1;
  KovaRipper* ripper = bound(table);
  ASSERT_NE(ripper, nullptr);

  const std::string bytes = record({0, 0, 1, 0, 0x40, 0x09, 0x21, 0xFB, 0x77, 0x77, 0xFE}) +
                            "ab    " + "12.50" + record({0xFF, 0x00, 0xFE}) +
                            record({0xFB, 0x21, 0x09, 0x40, 0x77});
  ASSERT_EQ(bytes.size(), 30u);
  auto row = newRow(ripper);
  // Garbage where the DECIMAL's indicator lies: it must end up null.
  row[entry(ripper, 4).indicatorOffset] = 0x33;
  ASSERT_EQ(convert(ripper, bytes, row), kStatusOk);

  EXPECT_EQ(valueAs<int32_t>(ripper, row, 0), 256);
  EXPECT_EQ(indicator(ripper, row, 0), 4);
  EXPECT_EQ(std::bit_cast<uint64_t>(valueAs<double>(ripper, row, 1)), 0x400921FB00000000ull);
  EXPECT_EQ(indicator(ripper, row, 1), 8);
  EXPECT_EQ(valueAs<int8_t>(ripper, row, 2), -2);  // byte 10, not the first byte
  EXPECT_EQ(value(ripper, row, 3, 2), "ab");
  EXPECT_EQ(indicator(ripper, row, 3), 2);
  EXPECT_EQ(indicator(ripper, row, 4), -1);
  EXPECT_EQ(value(ripper, row, 5), record({0xFF, 0x00, 0xFE}));  // binary is never checked as text
  EXPECT_EQ(indicator(ripper, row, 5), 3);
  EXPECT_EQ(std::bit_cast<uint64_t>(valueAs<double>(ripper, row, 6)), 0x400921FB00000000ull);
}

TEST_F(FixedRecordTest, MissingDoublesKeepTheirCodeWithNullAsMissing) {
  for (uint32_t flags : {0u, kRipperNullAsMissing}) {
    KovaObject* table = newTable(kRecfmFixed, kEncodingUtf8);
    table->reclen = 16;
    at(table, u"x", kTypeDouble, kCTypeDouble, 0, 8);
    at(table, u"t", kTypeTime, kCTypeDouble, 8, 8);
    KovaRipper* ripper = bound(table, flags);
    ASSERT_NE(ripper, nullptr);
    // byte 5 (little-endian) and the indicator of a DOUBLE with nullAsMissing.
    const std::pair<int, int64_t> codes[] = {{0xD1, -88}, {0xD2, -89}, {0xBE, -87},
                                             {0xBB, -84}, {0xA5, -62}, {0xC0, -88}};
    for (auto [code, expected] : codes) {
      const std::string missing = record({0, 0, 0, 0, 0, code, 0xFF, 0xFF});
      auto row = newRow(ripper);
      ASSERT_EQ(convert(ripper, missing + missing, row), kStatusOk);
      EXPECT_EQ(indicator(ripper, row, 0), flags ? expected : -1) << code;
      // Other double columns keep the code as well.
      EXPECT_EQ(indicator(ripper, row, 1), flags ? expected : -1) << code;
    }
  }
}

TEST_F(FixedRecordTest, TextThatIsNotValidStopsTheRecord) {
  KovaObject* table = newTable(kRecfmFixed, kEncodingUtf8);
  table->reclen = 6;
  at(table, u"a", kTypeTinyint, kCTypeInt8, 0, 1);
  at(table, u"s", kTypeVarchar, kCTypeChar, 1, 4, 4);
  at(table, u"z", kTypeTinyint, kCTypeInt8, 5, 1);
  KovaRipper* ripper = bound(table);
  ASSERT_NE(ripper, nullptr);
  auto row = newRow(ripper);
  EXPECT_EQ(convert(ripper, record({7, 'a', 0xFF, 0xFE, 'b', 9}), row), kStatusCorruptData);
  EXPECT_EQ(indicator(ripper, row, 0), 1);
  EXPECT_EQ(indicator(ripper, row, 1), -1);
  EXPECT_EQ(indicator(ripper, row, 2), -1);  // never reached
  EXPECT_EQ(convert(ripper, record({7, 'a', 'b', ' ', ' ', 9}), row), kStatusOk);
  EXPECT_EQ(value(ripper, row, 1, 2), "ab");
  EXPECT_EQ(indicator(ripper, row, 1), 2);
  EXPECT_EQ(valueAs<int8_t>(ripper, row, 2), 9);

  // A column whose bytes lie past the record stays null.
  table->columns[2]->offset = 6;
  row = newRow(ripper);
  EXPECT_EQ(convert(ripper, record({7, 'a', 'b', ' ', ' ', 9}), row), kStatusOk);
  EXPECT_EQ(indicator(ripper, row, 2), -1);
}

TEST_F(FixedRecordTest, RowImageNumbersByStorageTypeAndTranscodedText) {
  host().setOption(u"ZRNLS.KPA_SESSION_CEI", kEncodingUtf8);
  KovaObject* table = newTable(kRecfmFixed, 1);  // ISO-8859-1 records
  table->bigendian = 1;
  table->reclen = 32;
  at(table, u"i8", kTypeTinyint, kCTypeInt8, 0, 1);
  at(table, u"u8", kTypeTinyint, kCTypeUint8, 0, 1);
  at(table, u"i16", kTypeSmallint, kCTypeInt16, 1, 2);
  at(table, u"u32", kTypeBigint, kCTypeUint32, 3, 4);
  at(table, u"u64", kTypeBigint, kCTypeUint64, 7, 8);
  at(table, u"i64", kTypeBigint, kCTypeInt64, 7, 8);
  at(table, u"x", kTypeDouble, kCTypeDouble, 15, 4);
  at(table, u"c", kTypeChar, kCTypeChar, 19, 4);
  at(table, u"far", kTypeInt, kCTypeInt32, 30, 4);
  at(table, u"f", kTypeInt, kCTypeFloat, 0, 4);
  KovaRipper* ripper = bound(table, kRipperRowImage);
  ASSERT_NE(ripper, nullptr);
  ASSERT_NE(state(ripper, 7).directTranscoder, nullptr);
  state(ripper, 6).formatObject = nullptr;  // read the double's bytes, not through IEEE

  const std::string bytes = record({0xFE, 0xFF, 0xFE, 0xFF, 0xFF, 0xFF, 0xFE, 0x80, 0,   0,   0, 0,
                                    0,    0,    0x01, 0x40, 0x09, 0x21, 0xFB, 0xE9, 't', 0xE9}) +
                            std::string(10, '\0');
  auto row = newRow(ripper);
  ASSERT_EQ(convert(ripper, bytes, row), kStatusOk);
  EXPECT_EQ(imageNumber(ripper, row, 0), -2.0);
  EXPECT_EQ(imageNumber(ripper, row, 1), 254.0);
  EXPECT_EQ(imageNumber(ripper, row, 2), -2.0);
  EXPECT_EQ(imageNumber(ripper, row, 3), 4294967294.0);
  EXPECT_EQ(imageNumber(ripper, row, 4), 9223372036854775808.0);
  EXPECT_EQ(imageNumber(ripper, row, 5), double(INT64_MIN + 1));
  EXPECT_EQ(std::bit_cast<uint64_t>(imageNumber(ripper, row, 6)), 0x400921FB00000000ull);
  // "été" and a NUL are 6 bytes of UTF-8: the whole characters that fit,
  // then a blank.
  EXPECT_EQ(imageValue(ripper, row, 7), "\xC3\xA9t ");
  EXPECT_EQ(ripper->truncations, 1u);
  // Past the record, and a storage type without a reading: still missing.
  const std::string missing("\0\0\0\0\0\xD1\xFF\xFF", 8);
  EXPECT_EQ(imageValue(ripper, row, 8), missing);
  EXPECT_EQ(imageValue(ripper, row, 9), missing);
}

}  // namespace
}  // namespace kova::testing
