// Typed FIXED rows filled by the block parser: every byte of every row the
// same as the record converter (slot 4) makes of the same record, for every
// kind of column, byte order, indicator width and missing code; text kept
// up to its last non-blank byte at every length; encodings that refuse some
// bytes still refuse them; a column changed between blocks read as changed.
#include <random>
#include <string>
#include <vector>

#include "tests/fixed_varbin/binary_test_util.h"

namespace kova::testing {
namespace {

using FixedTypedRowsTest = BinaryRipTest;

// Not a ripper option: the test's own mark for layouts without indicators.
constexpr uint32_t kNoIndicators = 0x80000000u;

TEST_F(FixedTypedRowsTest, BlockRowsAreTheRecordConvertersRowsByteForByte) {
  std::mt19937_64 random(5);
  for (int bigendian : {0, 1}) {
    for (uint32_t flags : {0u, kRipperNullAsMissing, kNoIndicators}) {
      KovaObject* table = newTable(kRecfmFixed, 1);  // ISO-8859-1
      table->bigendian = bigendian;
      table->reclen = 270;
      at(table, u"i8", kTypeTinyint, kCTypeInt8, 0, 1);
      at(table, u"i16", kTypeSmallint, kCTypeInt16, 1, 2);
      at(table, u"i32", kTypeInt, kCTypeInt32, 3, 4);
      at(table, u"i64", kTypeBigint, kCTypeInt64, 7, 8);
      at(table, u"x", kTypeDouble, kCTypeDouble, 15, 8);
      at(table, u"short", kTypeDouble, kCTypeDouble, 23, 4);
      at(table, u"other", kTypeDouble, kCTypeDouble, 27, 8)->colendian = 1;
      at(table, u"day", kTypeDate, kCTypeDouble, 35, 8);
      at(table, u"b", kTypeBinary, kCTypeBinary, 43, 3);
      at(table, u"s3", kTypeVarchar, kCTypeChar, 46, 3);
      at(table, u"s12", kTypeVarchar, kCTypeChar, 49, 12);
      at(table, u"c70", kTypeChar, kCTypeChar, 61, 70);
      at(table, u"d", kTypeDecimal, kCTypeChar, 131, 5);
      at(table, u"s130", kTypeVarchar, kCTypeChar, 136, 130);  // a 2-byte indicator
      at(table, u"i32none", kTypeInt, kCTypeInt32, 266, 4);    // no indicator (below)
      at(table, u"past", kTypeInt, kCTypeInt32, 268, 4);       // ends past the record
      at(table, u"xpast", kTypeDouble, kCTypeDouble, 270, 8);
      KovaRipper* ripper = bound(table, flags & ~kNoIndicators);
      ASSERT_NE(ripper, nullptr);
      ASSERT_EQ(entry(ripper, 13).indicatorWidth, kIndicatorWidth2);
      entry(ripper, 14).indicatorWidth = kIndicatorNone;
      // A host that wants values only: no column has an indicator.
      if (flags & kNoIndicators) {
        for (uint32_t k = 0; k < ripper->layoutCount; ++k) {
          entry(ripper, k).indicatorWidth = kIndicatorNone;
        }
      }

      // Random bytes, texts of every kept length, and missing doubles.
      auto text = [&](size_t width) {
        std::string s(size_t(random() % (width + 1)), ' ');
        for (char& c : s) c = random() % 4 == 0 ? ' ' : char(0x21 + random() % 0xDE);
        return s + std::string(width - s.size(), ' ');
      };
      std::string input;
      for (int i = 0; i < 300; ++i) {
        std::string record(270, '\0');
        for (char& c : record) c = char(random());
        for (int k : {15, 23, 27, 35}) {
          if (random() % 3 == 0) {
            // A missing value as it lies in the record: FF FF high, code in byte 5.
            const bool big = k == 27 ? !bigendian : bigendian;
            const int width = k == 23 ? 4 : 8;
            const char code = char(i % 2 ? ~(0x41 + random() % 26) : random());
            if (big) {
              record[size_t(k)] = record[size_t(k) + 1] = '\xFF';
              if (width == 8) record[size_t(k) + 2] = code;
            } else if (width == 8) {
              record[size_t(k) + 7] = record[size_t(k) + 6] = '\xFF';
              record[size_t(k) + 5] = code;
            } else {
              record[size_t(k) + 3] = record[size_t(k) + 2] = '\xFF';
            }
          }
        }
        record.replace(46, 3, text(3));
        record.replace(49, 12, text(12));
        record.replace(61, 70, text(70));
        record.replace(136, 130, text(130));
        input += record;
      }
      expectRowsOfTheRecordConverter(ripper, input);
    }
  }
}

TEST_F(FixedTypedRowsTest, TextKeepsEverythingBeforeItsTrailingBlanksAtEveryLength) {
  for (int encoding : {1, 20}) {  // ISO-8859-1 (every byte valid), UTF-8
    for (int64_t width : {1, 5, 7, 8, 9, 15, 16, 17, 20, 24, 33, 63, 64, 65, 72, 130}) {
      KovaObject* table = newTable(kRecfmFixed, encoding);
      table->reclen = width + 1;
      at(table, u"s", kTypeVarchar, kCTypeChar, 0, width);
      at(table, u"n", kTypeTinyint, kCTypeInt8, width, 1);
      KovaRipper* ripper = bound(table);
      ASSERT_NE(ripper, nullptr);
      std::string input;
      std::vector<std::string> expected;
      for (int64_t kept = 0; kept <= width; ++kept) {
        // Blanks inside and in front of the text stay; only trailing ones go.
        std::string value(size_t(kept), 'q');
        if (kept > 2) value[0] = ' ', value[size_t(kept) / 2] = ' ';
        input += value + std::string(size_t(width - kept), ' ') + char(kept);
        expected.push_back(value);
      }
      Result r = ripOnce(ripper, input);
      ASSERT_EQ(r.status, kStatusOk);
      ASSERT_EQ(r.count, int32_t(width + 1));
      for (int64_t kept = 0; kept <= width; ++kept) {
        const uint8_t* row = r.rows + uint64_t(kept) * ripper->rowLength;
        ASSERT_EQ(indicator(ripper, row, 0), kept) << encoding << " width " << width;
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(row + entry(ripper, 0).dataOffset),
                              size_t(kept)),
                  expected[size_t(kept)]);
        EXPECT_EQ(row[entry(ripper, 1).dataOffset], uint8_t(kept));
      }
      destroy(ripper);
    }
  }
}

TEST_F(FixedTypedRowsTest, EncodingsThatRefuseSomeBytesStillRefuseThem) {
  // 0xAE is no character of ISO-8859-7; ISO-8859-1 and windows-1252 have
  // one for every byte.
  const std::string input = std::string("ab  ") + "a\xAE  ";
  for (int encoding : {1, 12, 4}) {
    KovaObject* table = newTable(kRecfmFixed, encoding);
    table->reclen = 4;
    at(table, u"s", kTypeVarchar, kCTypeChar, 0, 4);
    KovaRipper* ripper = bound(table);
    ASSERT_NE(ripper, nullptr);
    Result r = ripOnce(ripper, input);
    if (encoding == 4) {
      EXPECT_EQ(r.status, kStatusCorruptData);
      EXPECT_EQ(r.count, 0);
      continue;
    }
    ASSERT_EQ(r.status, kStatusOk);
    ASSERT_EQ(r.count, 2);
    const uint8_t* second = r.rows + ripper->rowLength;
    EXPECT_EQ(indicator(ripper, second, 0), 2);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(second + entry(ripper, 0).dataOffset), 2),
              "a\xAE");
  }
}

TEST_F(FixedTypedRowsTest, AColumnChangedBetweenBlocksIsReadAsChanged) {
  KovaObject* table = newTable(kRecfmFixed, 20);
  table->reclen = 8;
  KovaColumn* n = at(table, u"n", kTypeInt, kCTypeInt32, 0, 4);
  at(table, u"s", kTypeVarchar, kCTypeChar, 4, 4);
  KovaRipper* ripper = bound(table);
  ASSERT_NE(ripper, nullptr);
  std::string record;
  records::putInteger(record, 77, 4);
  record += "xy  ";

  Result r = ripOnce(ripper, record);
  ASSERT_EQ(r.count, 1);
  EXPECT_EQ(indicator(ripper, r.rows, 0), 4);
  n->offset = 6;  // now ends past the record: null
  r = ripOnce(ripper, record);
  ASSERT_EQ(r.count, 1);
  EXPECT_EQ(indicator(ripper, r.rows, 0), -1);
  n->offset = 2;
  r = ripOnce(ripper, record);
  ASSERT_EQ(r.count, 1);
  EXPECT_EQ(indicator(ripper, r.rows, 0), 4);
  int32_t value;
  std::memcpy(&value, r.rows + entry(ripper, 0).dataOffset, 4);
  EXPECT_EQ(value, 0x79780000);  // bytes 2 to 5: 00 00 'x' 'y', little-endian
}

}  // namespace
}  // namespace kova::testing
