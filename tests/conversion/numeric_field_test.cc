// Numeric fields: doubles with the missing value, integers of every width
// and their range, numbers read through an informat, and decimals.
#include <cmath>
#include <limits>

#include "src/convert/missing.h"
#include "tests/conversion/conversion_test_util.h"

namespace kova::testing {
namespace {

class NumericFieldTest : public ConversionTest {
 protected:
  // A typed DELIMITED ripper with DOUBLE, TINYINT, SMALLINT, INT, BIGINT.
  KovaRipper* numbers(uint32_t flags = 0) {
    KovaObject* table = newTable(kRecfmDelimited);
    addColumn(table, u"x", kTypeDouble);
    addColumn(table, u"i8", kTypeTinyint);
    addColumn(table, u"i16", kTypeSmallint);
    addColumn(table, u"i32", kTypeInt);
    addColumn(table, u"i64", kTypeBigint);
    return bound(table, flags);
  }
  static uint64_t bits(double x) { return std::bit_cast<uint64_t>(x); }
};

TEST_F(NumericFieldTest, DoublesThatCannotBeReadAreMissing) {
  for (uint32_t flags : {0u, kRipperNullAsMissing}) {
    KovaRipper* ripper = numbers(flags);
    ASSERT_NE(ripper, nullptr);
    auto row = newRow(ripper);
    convert(ripper, row, 0, " -2.5e3 ");
    EXPECT_EQ(valueAs<double>(ripper, row, 0), -2500.0);
    EXPECT_EQ(indicator(ripper, row, 0), 8);
    convert(ripper, row, 0, "abc");
    EXPECT_EQ(bits(valueAs<double>(ripper, row, 0)), kMissingBits);
    EXPECT_EQ(indicator(ripper, row, 0), flags ? -88 : -1);
    convert(ripper, row, 0, "");
    EXPECT_EQ(indicator(ripper, row, 0), flags ? -88 : -1);
    // Only DOUBLE columns take -88.
    convert(ripper, row, 3, "x");
    EXPECT_EQ(indicator(ripper, row, 3), -1);
    EXPECT_EQ(ripper->truncations, 0u);
  }
}

TEST_F(NumericFieldTest, IntegersAreStoredInTheirWidth) {
  KovaRipper* ripper = numbers();
  ASSERT_NE(ripper, nullptr);
  auto row = newRow(ripper);
  convert(ripper, row, 1, "-5");
  EXPECT_EQ(value(ripper, row, 1), "\xFB");
  EXPECT_EQ(indicator(ripper, row, 1), 1);
  convert(ripper, row, 2, "-32768");
  EXPECT_EQ(valueAs<int16_t>(ripper, row, 2), -32768);
  EXPECT_EQ(indicator(ripper, row, 2), 2);
  convert(ripper, row, 3, " 2147483647");
  EXPECT_EQ(valueAs<int32_t>(ripper, row, 3), 2147483647);
  EXPECT_EQ(indicator(ripper, row, 3), 4);
  convert(ripper, row, 4, "-9223372036854775808");
  EXPECT_EQ(valueAs<int64_t>(ripper, row, 4), std::numeric_limits<int64_t>::min());
  EXPECT_EQ(indicator(ripper, row, 4), 8);
  EXPECT_EQ(ripper->truncations, 0u);

  // Text that is no integer is a null, not a truncation.
  convert(ripper, row, 3, "12.5");
  EXPECT_EQ(indicator(ripper, row, 3), -1);
  EXPECT_EQ(ripper->truncations, 0u);
}

TEST_F(NumericFieldTest, IntegersOutsideTheirColumnAreNullAndCounted) {
  KovaRipper* ripper = numbers();
  ASSERT_NE(ripper, nullptr);
  struct Case {
    uint32_t field;
    const char* text;
  };
  const Case cases[] = {{1, "128"},
                        {1, "-129"},
                        {2, "32768"},
                        {2, "-32769"},
                        {3, "2147483648"},
                        {3, "-2147483649"},
                        {4, "9223372036854775808"},
                        {4, "-99999999999999999999"}};
  uint32_t counted = 0;
  for (const Case& c : cases) {
    auto row = newRow(ripper, 0x11);
    convert(ripper, row, c.field, c.text);
    EXPECT_EQ(indicator(ripper, row, c.field), -1) << c.text;
    EXPECT_EQ(ripper->truncations, ++counted) << c.text;
  }
}

TEST_F(NumericFieldTest, InformatValuesAreTruncatedTowardZero) {
  KovaRipper* ripper = numbers();
  ASSERT_NE(ripper, nullptr);
  StandInInformat informat(StandInInformat::Kind::kDouble);
  state(ripper, 3).formatObject = &informat.object;
  state(ripper, 1).formatObject = &informat.object;
  auto row = newRow(ripper);
  convert(ripper, row, 3, "12.9");
  EXPECT_EQ(valueAs<int32_t>(ripper, row, 3), 12);
  EXPECT_EQ(informat.seenInput, u"12.9");
  EXPECT_EQ(informat.seenWidth, 4);
  convert(ripper, row, 3, "-12.9");
  EXPECT_EQ(valueAs<int32_t>(ripper, row, 3), -12);
  EXPECT_EQ(indicator(ripper, row, 3), 4);
  EXPECT_EQ(ripper->wideScratchSize, 10u);  // exactly the last longest field

  // NaN, infinities, values beyond 64 bits or the column: null, counted.
  uint32_t counted = 0;
  for (const char* text : {"nan", "inf", "-1e300", "9.3e18", "2147483648.5"}) {
    convert(ripper, row, 3, text);
    EXPECT_EQ(indicator(ripper, row, 3), -1) << text;
    EXPECT_EQ(ripper->truncations, ++counted) << text;
  }
  convert(ripper, row, 1, "-128.7");
  EXPECT_EQ(value(ripper, row, 1), "\x80");

  // A failing informat is logged as a warning; the column stays null.
  informat.failWith = kStatusNotSupported;
  convert(ripper, row, 3, "7");
  EXPECT_EQ(indicator(ripper, row, 3), -1);
  EXPECT_TRUE(diagnostics().contains(
      "Unable to format numeric value. Returning MISSING value. RC=[", kLogWarning));
  EXPECT_EQ(ripper->truncations, counted);

  // The same informat on a DOUBLE: the missing value with a null.
  state(ripper, 0).formatObject = &informat.object;
  convert(ripper, row, 0, "7");
  EXPECT_EQ(bits(valueAs<double>(ripper, row, 0)), kMissingBits);
  EXPECT_EQ(indicator(ripper, row, 0), -1);
}

TEST_F(NumericFieldTest, InformatScratchThatCannotGrowGivesMissing) {
  KovaRipper* ripper = numbers();
  ASSERT_NE(ripper, nullptr);
  StandInInformat informat(StandInInformat::Kind::kDouble);
  state(ripper, 0).formatObject = &informat.object;
  auto row = newRow(ripper);
  host().failAllocation(1);
  convert(ripper, row, 0, "1.25");
  host().clearFailure();
  EXPECT_TRUE(diagnostics().contains(
      "[numInformat[2]] : Failed to allocate memory. Space requested=[8]", kLogError));
  EXPECT_EQ(indicator(ripper, row, 0), -1);
  EXPECT_EQ(informat.seenWidth, -1);  // never run on a cut text
  convert(ripper, row, 0, "1.25");
  EXPECT_EQ(valueAs<double>(ripper, row, 0), 1.25);
}

TEST_F(NumericFieldTest, HostInformatsReadTextAndBinaryFields) {
  KovaObject* table = newTable(kRecfmDelimited);
  KovaColumn* n = addColumn(table, u"n", kTypeInt);
  setText(table, &n->informat, &n->informatLength, u"F8.");
  addColumn(table, u"d", kTypeDate);  // ANYDTDTE. by default
  KovaRipper* ripper = bound(table);
  ASSERT_NE(ripper, nullptr);
  auto row = newRow(ripper);
  convert(ripper, row, 0, "-12.9");
  EXPECT_EQ(valueAs<int32_t>(ripper, row, 0), -12);
  convert(ripper, row, 1, "2024-02-29");
  EXPECT_EQ(valueAs<double>(ripper, row, 1), 23435.0);
  EXPECT_EQ(indicator(ripper, row, 1), 8);

  // A little-endian FIXED row image reads its doubles through IEEER.
  host().setOption(u"ZRNLS.KPA_SESSION_CEI", kEncodingUtf8);
  KovaObject* fixed = newTable(kRecfmFixed, kEncodingUtf8);
  fixed->reclen = 8;
  KovaColumn* x = addColumn(fixed, u"x", kTypeDouble, 0, 8);
  x->c_type = kCTypeDouble;
  KovaRipper* image = bound(fixed, kRipperRowImage);
  ASSERT_NE(image, nullptr);
  ASSERT_NE(state(image, 0).formatObject, nullptr);
  auto imageRow = newRow(image);
  const double pi = 3.25;
  std::string bytes(8, '\0');
  std::memcpy(bytes.data(), &pi, 8);
  ASSERT_EQ(image->ops.convertRecord(image, reinterpret_cast<const uint8_t*>(bytes.data()), 8,
                                     imageRow.data()),
            kStatusOk);
  EXPECT_EQ(imageNumber(image, imageRow, 0), 3.25);
}

TEST_F(NumericFieldTest, DecimalsTakePrecisionAndScaleFromTheColumn) {
  KovaObject* table = newTable(kRecfmDelimited);
  addColumn(table, u"d", kTypeDecimal, 5, 2);
  KovaRipper* ripper = bound(table);
  ASSERT_NE(ripper, nullptr);
  auto row = newRow(ripper);
  convert(ripper, row, 0, "123.45");
  EXPECT_EQ(indicator(ripper, row, 0), 19);
  const std::string stored = value(ripper, row, 0, 19);
  EXPECT_EQ(stored.substr(0, 3), std::string("\x05\x02\x01", 3));
  EXPECT_EQ(stored.substr(3), std::string("\x39\x30", 2) + std::string(14, '\0'));  // 12345
  convert(ripper, row, 0, "-0.5");
  EXPECT_EQ(value(ripper, row, 0, 5), std::string("\x05\x02\x00\x32\x00", 5));
  EXPECT_EQ(ripper->truncations, 0u);

  convert(ripper, row, 0, "12.345");
  EXPECT_EQ(indicator(ripper, row, 0), -1);
  convert(ripper, row, 0, "abc");
  EXPECT_EQ(indicator(ripper, row, 0), -1);
  EXPECT_EQ(ripper->truncations, 2u);
}

}  // namespace
}  // namespace kova::testing
