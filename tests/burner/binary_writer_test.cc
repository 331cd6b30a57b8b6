// The fixed and VARBIN writers: field bytes by value kind, byte order, short
// and wide fields, special missing values, uncovered bytes, the 13-byte
// VARBIN batch, empty and marked values, and writeRowsInto.
#include <gtest/gtest.h>

#include <bit>
#include <random>

#include "src/convert/missing.h"

#include "tests/burner/burner_fixture.h"
#include "tests/support/rows.h"

namespace kova::testing {
namespace {

class BinaryWriterTest : public BurnerTest {
 protected:
  static std::string hex(std::string_view bytes) {
    std::string out;
    char b[4];
    for (unsigned char c : bytes) {
      std::snprintf(b, sizeof b, "%02x", c);
      out += b;
    }
    return out;
  }
  KovaColumn* at(KovaColumn* column, int64_t offset) {
    column->offset = offset;
    return column;
  }
};

TEST_F(BinaryWriterTest, ShortFloatKeepsMostSignificantBytes) {
  for (uint8_t big : {0, 1}) {
    KovaObject* table = newTable(kRecfmFixed, kEncodingUtf8);
    table->reclen = 4;
    KovaColumn* x = addColumn(table, u"x", kTypeDouble, 0, 4);
    x->c_type = kCTypeDouble;
    x->colendian = big ? 2 : 1;
    KovaRipper* b = burner(table);
    ASSERT_NE(b, nullptr);
    auto r = rows(b);
    setValue<double>(b, r.data(), 0, 1.5);  // 3F F8 00 .. 00
    EXPECT_EQ(hex(write(b, r)), big ? "3ff80000" : "0000f83f");
  }
}

TEST_F(BinaryWriterTest, FixedFieldsByKindWithZeroGapsAndSkippedOverhang) {
  KovaObject* table = newTable(kRecfmFixed, kEncodingUtf8);
  table->reclen = 24;
  at(addColumn(table, u"n", kTypeSmallint, 0, 4), 0);  // wider than the value
  at(addColumn(table, u"c", kTypeVarchar, 4, 4), 5);   // byte 4 uncovered
  at(addColumn(table, u"d", kTypeDouble, 0, 8), 12);
  at(addColumn(table, u"x", kTypeInt, 0, 4), 22);  // ends past reclen
  KovaRipper* b = burner(table);
  ASSERT_NE(b, nullptr);
  auto r = rows(b, 2);
  setValue<int16_t>(b, r.data(), 0, -2);
  setBytes(b, r.data(), 1, "ab");
  setValue<double>(b, r.data(), 2, 1.0);
  setValue<int32_t>(b, r.data(), 3, 7);
  uint8_t* second = r.data() + b->rowLength;
  setValue<int16_t>(b, second, 0, 3);
  setIndicator(b, second, 1, -1);
  setIndicator(b, second, 2, -70);  // special missing "R"
  setIndicator(b, second, 3, -1);
  EXPECT_EQ(hex(write(b, r)),
            "feffffff"
            "00"
            "61622020"
            "000000"
            "000000000000f03f"
            "00000000"
            "03000000"
            "00"
            "20202020"
            "000000"
            "0000000000adffff"
            "00000000");
  EXPECT_EQ(b->truncations, 2u);
}

TEST_F(BinaryWriterTest, BigEndianIntegersAndCutText) {
  KovaObject* table = newTable(kRecfmFixed, kEncodingUtf8);
  table->reclen = 6;
  at(addColumn(table, u"n", kTypeInt, 0, 4), 0)->colendian = 2;
  at(addColumn(table, u"c", kTypeChar, 2, 2), 4);
  KovaRipper* b = burner(table);
  ASSERT_NE(b, nullptr);
  auto r = rows(b);
  setValue<int32_t>(b, r.data(), 0, 0x01020304);
  setBytes(b, r.data(), 1, "xy");
  setIndicator(b, r.data(), 1, 50);  // above the slot: cut to it
  EXPECT_EQ(hex(write(b, r)), "010203047879");
  EXPECT_EQ(b->truncations, 1u);
}

TEST_F(BinaryWriterTest, VarbinBatchOfOneIntIsThirteenBytes) {
  KovaObject* table = newTable(kRecfmVarbin, kEncodingUtf8);
  addColumn(table, u"n", kTypeInt, 0, 4);
  KovaRipper* b = burner(table);
  ASSERT_NE(b, nullptr);
  auto r = rows(b);
  setValue<int32_t>(b, r.data(), 0, 7);
  EXPECT_EQ(hex(write(b, r)),
            "0d000000"
            "01000000"
            "04"
            "07000000");
  uint8_t into[64];
  uint64_t length = 0;
  EXPECT_EQ(b->ops.writeRowsInto(b, r.data(), 0, 1, into, 0, &length), kStatusOk);
  EXPECT_EQ(hex(std::string_view(reinterpret_cast<char*>(into), length)),
            "0d000000"
            "01000000"
            "04"
            "07000000");
}

TEST_F(BinaryWriterTest, VarbinEmptyMissingMarkedAndLongForms) {
  KovaObject* table = newTable(kRecfmVarbin, kEncodingUtf8);
  addColumn(table, u"v", kTypeVarchar, 300, 300);
  addColumn(table, u"x", kTypeDouble, 0, 8);
  addColumn(table, u"m", kTypeBinary, 0, 12);
  KovaRipper* b = burner(table);
  ASSERT_NE(b, nullptr);
  entryOf(b, 2).indicatorWidth |= kIndicatorNumberMark;
  auto r = rows(b, 3);
  uint8_t* r1 = r.data();
  uint8_t* r2 = r1 + b->rowLength;
  uint8_t* r3 = r2 + b->rowLength;
  setIndicator(b, r1, 0, 0);                         // empty: the length byte alone
  setValue<uint64_t>(b, r1, 1, 0xFFFFD10000000000);  // missing double
  setBytes(b, r1, 2, std::string("\x01\x02", 2));    // right-aligned number
  setBytes(b, r2, 0, std::string(200, 'a'));         // i16 length form
  setIndicator(b, r2, 1, -1);
  setBytes(b, r2, 2, std::string(10, 'z'));  // too long for a number: null
  setIndicator(b, r3, 0, -1);
  setValue<double>(b, r3, 1, 2.0);
  setBytes(b, r3, 2, std::string("\xff\xff", 2));  // a missing number
  const std::string out = write(b, r);
  // One record per row, each with its own total.
  std::string expected =
      "1b000000"
      "01000000"
      "00"
      "02000000"
      "ff"
      "03000000"
      "08"
      "0000000000000102";
  expected +=
      // 200 does not fit a signed byte: 0xFA and an i32, as the ripper reads it.
      "e3000000"
      "01000000"
      "fac8000000"
      "c8000000" +
      hex(std::string(200, 'a')) +
      "02000000"
      "ff"
      "03000000"
      "ff";
  expected +=
      "1b000000"
      "01000000"
      "ff"
      "02000000"
      "08"
      "0000000000000040"
      "03000000"
      "ff";
  EXPECT_TRUE(hex(out) == expected) << hex(out).substr(0, 80);
  EXPECT_EQ(out.size(), expected.size() / 2);
  EXPECT_EQ(b->truncations, 1u);
}

// Text fields of every width from 1 to 40 bytes over rows of more than one
// tile: the value's bytes, blanks after them, a missing value all blanks, a
// longer indicator cut to the field and counted; integers and doubles of the
// same rows zero bytes and the missing value's bits when missing.
TEST_F(BinaryWriterTest, FixedTextOfEveryWidthIsPaddedAndCutAcrossTiles) {
  KovaObject* table = newTable(kRecfmFixed, kEncodingUtf8);
  int64_t offset = 0;
  for (int64_t w = 1; w <= 40; ++w, offset += w - 1) {
    at(addColumn(table, u"c" + u16(std::to_string(w)), kTypeChar, w, w), offset);
  }
  at(addColumn(table, u"i", kTypeInt, 0, 4), offset);
  KovaColumn* d = at(addColumn(table, u"d", kTypeDouble, 0, 8), offset + 4);
  d->c_type = kCTypeDouble;
  table->reclen = offset + 12;
  KovaRipper* b = burner(table);
  ASSERT_NE(b, nullptr);
  constexpr size_t kRows = 150;
  auto r = rows(b, kRows);
  std::string expected;
  uint32_t cut = 0;
  std::mt19937 rng(5);
  for (size_t k = 0; k < kRows; ++k) {
    uint8_t* row = r.data() + k * b->rowLength;
    for (int32_t c = 0; c < 40; ++c) {
      const size_t w = size_t(c) + 1;
      std::string value(w, 'a');
      for (char& x : value) x = char('!' + rng() % 90);
      const int64_t n = int64_t(rng() % (w + 3)) - 1;  // -1 missing, up to w + 1
      setBytes(b, row, c, value);
      setIndicator(b, row, c, n);
      const size_t kept = n < 0 ? 0 : std::min<size_t>(size_t(n), w);
      cut += n > int64_t(w);
      expected += value.substr(0, kept) + std::string(w - kept, ' ');
    }
    const bool missing = k % 3 == 0;
    setValue<int32_t>(b, row, 40, int32_t(k) - 75);
    setValue<double>(b, row, 41, double(k) / 4);
    int32_t i = missing ? 0 : int32_t(k) - 75;
    uint64_t bits = missing ? kMissingBits : std::bit_cast<uint64_t>(double(k) / 4);
    if (missing) {
      setIndicator(b, row, 40, -1);
      setIndicator(b, row, 41, -1);
    }
    expected.append(reinterpret_cast<const char*>(&i), 4);
    expected.append(reinterpret_cast<const char*>(&bits), 8);
  }
  EXPECT_EQ(write(b, r), expected);
  EXPECT_EQ(b->truncations, cut);
}

// Indicators whose single byte would read as a length marker (-6, -8, -9)
// still come back as nulls with the next field in its place.
TEST_F(BinaryWriterTest, VarbinIndicatorsThatLookLikeMarkersReadBack) {
  for (int64_t indicator : {-1, -6, -8, -9}) {
    SCOPED_TRACE(indicator);
    KovaObject* table = newTable(kRecfmVarbin, kEncodingUtf8);
    addColumn(table, u"a", kTypeInt, 0, 4);
    addColumn(table, u"b", kTypeInt, 0, 4);
    KovaRipper* b = burner(table);
    ASSERT_NE(b, nullptr);
    auto r = rows(b);
    setIndicator(b, r.data(), 0, indicator);
    setValue<int32_t>(b, r.data(), 1, 7);
    const std::string bytes = write(b, r);
    KovaRipper* ripper = bound(table);
    ASSERT_NE(ripper, nullptr);
    const std::vector<std::string> ripped = ripBlocks(ripper, {bytes});
    ASSERT_EQ(ripped.size(), 1u) << hex(bytes);
    EXPECT_EQ(ripped[0], "NULL|7") << hex(bytes);
  }
}

}  // namespace
}  // namespace kova::testing
