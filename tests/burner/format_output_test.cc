// formatForOutput through the delimited writer: the timestamp text with 0 to
// 9 fraction digits, dates and times through their bound formats, formats of
// row-image columns, and the wide scratch buffer failing to grow.
#include <gtest/gtest.h>

#include "src/ripper/column_settings.h"
#include "tests/burner/burner_fixture.h"

namespace kova::testing {
namespace {

class FormatOutputTest : public BurnerTest {
 protected:
  std::string stamp(double value, int64_t digits) {
    KovaObject* table = newTable(kRecfmDelimited, kEncodingUtf8);
    addColumn(table, u"t", kTypeTimestamp, digits);
    KovaRipper* b = burner(table);
    if (!b) return "no burner";
    auto r = rows(b);
    setValue<double>(b, r.data(), 0, value);
    std::string out = write(b, r);
    destroy(b);
    return out;
  }
};

TEST_F(FormatOutputTest, TimestampTexts) {
  EXPECT_EQ(stamp(0, 6), "1960-01-01 00:00:00.000000\n");
  EXPECT_EQ(stamp(-1, 0), "1959-12-31 23:59:59\n");
  EXPECT_EQ(stamp(1893456000.5, 3), "2020-01-01 00:00:00.500\n");
  EXPECT_EQ(stamp(1893456000.5, 0), "2020-01-01 00:00:00\n");
  EXPECT_EQ(stamp(1893456000.25, 12), "2020-01-01 00:00:00.250000000\n");
  EXPECT_EQ(stamp(-3600 * 24 * 365.0 * 100, 1), "1860-01-25 00:00:00.0\n");
  // A fraction that rounds up to the next second keeps nine digits.
  EXPECT_EQ(stamp(59.9999999997, 9), "1960-01-01 00:00:59.999999999\n");
  EXPECT_EQ(stamp(59.9999997, 6), "1960-01-01 00:00:59.999999\n");
  // Far from 1960 a microsecond is held only approximately: it is rounded
  // at the last digit shown, not cut.
  EXPECT_EQ(stamp(-1888354985.999999, 6), "1900-02-28 00:56:54.000001\n");
  double missing;
  uint64_t bits = 0xFFFFD10000000000ull;
  std::memcpy(&missing, &bits, 8);
  EXPECT_EQ(stamp(missing, 3), "\n");
  EXPECT_EQ(stamp(1e15, 3), "\n");  // beyond the calendar
}

TEST_F(FormatOutputTest, HostPrintfPathGivesTheSameTexts) {
  // Texts go to ASCII field encodings directly; any other encoding takes
  // them from the host's printWide and the column's transcoder. Both ways
  // must agree.
  KovaObject* table = newTable(kRecfmDelimited, kEncodingUtf8);
  addColumn(table, u"t", kTypeTimestamp, 3);
  addColumn(table, u"u", kTypeTimestamp, 0);
  addColumn(table, u"d", kTypeDate);
  KovaRipper* b = burner(table);
  ASSERT_NE(b, nullptr);
  auto r = rows(b, 3);
  const double values[] = {1893456000.5, -1, 1e9 + 0.123456};
  for (int i = 0; i < 3; ++i) {
    setValue<double>(b, r.data() + i * b->rowLength, 0, values[i]);
    setValue<double>(b, r.data() + i * b->rowLength, 1, values[i]);
    setValue<double>(b, r.data() + i * b->rowLength, 2, double(i * 10000));
  }
  const std::string direct = write(b, r);
  for (int c = 0; c < 3; ++c) {
    settingsOf(b, &b->columns[c]).asciiPasses = false;  // as for a non-ASCII encoding
  }
  EXPECT_EQ(write(b, r), direct);
  EXPECT_EQ(direct,
            "2020-01-01 00:00:00.500,2020-01-01 00:00:00,1960-01-01\n"
            "1959-12-31 23:59:59.000,1959-12-31 23:59:59,1987-05-19\n"
            "1991-09-09 01:46:40.123,1991-09-09 01:46:40,2014-10-04\n");
}

TEST_F(FormatOutputTest, DatesAndTimesUseTheirBoundFormats) {
  KovaObject* table = newTable(kRecfmDelimited, kEncodingUtf8);
  addColumn(table, u"d", kTypeDate);
  addColumn(table, u"t", kTypeTime);
  addColumn(table, u"x", kTypeDouble);
  KovaRipper* b = burner(table);
  ASSERT_NE(b, nullptr);
  auto r = rows(b);
  setValue<double>(b, r.data(), 0, 23069.0);  // 2023-02-28
  setValue<double>(b, r.data(), 1, 13 * 3600 + 5 * 60 + 9.0);
  setValue<double>(b, r.data(), 2, 0.1);
  EXPECT_EQ(write(b, r), "2023-02-28,13:05:09,0.1\n");
}

TEST_F(FormatOutputTest, RowImageColumnFormatIsCutToItsWidth) {
  KovaObject* table = newTable(kRecfmDelimited, kEncodingUtf8);
  KovaColumn* n = addColumn(table, u"n", kTypeDouble);
  setText(table, &n->format, &n->formatLength, u"COMMA5.");
  KovaRipper* b = burner(table, kRipperRowImage);
  ASSERT_NE(b, nullptr);
  ASSERT_NE(b->columns[0].formatObject, nullptr);
  std::vector<uint8_t> r(b->rowLength, 0);
  double v = 1234.0;
  std::memcpy(r.data() + b->imageLayout[0].offset, &v, 8);
  EXPECT_EQ(write(b, r), "1,234\n");
  v = 123456789.0;
  std::memcpy(r.data() + b->imageLayout[0].offset, &v, 8);
  const std::string out = write(b, r);
  EXPECT_LE(out.size(), 6u);
}

TEST_F(FormatOutputTest, FailedScratchGrowthGivesAnEmptyFieldAndALogLine) {
  KovaObject* table = newTable(kRecfmDelimited, kEncodingUtf8);
  addColumn(table, u"d", kTypeDate);
  KovaRipper* b = burner(table);
  ASSERT_NE(b, nullptr);
  auto r = rows(b);
  setValue<double>(b, r.data(), 0, 0.0);
  // The output buffer grows first; the scratch buffer is the next block.
  KovaStatus status = kStatusOk;
  host().failAllocation(2, false);
  std::string out = write(b, r, &status);
  host().clearFailure();
  EXPECT_EQ(status, kStatusOk);
  EXPECT_EQ(out, "\n");
  EXPECT_TRUE(
      diagnostics().contains("[numFormat] : Failed to allocate memory. Space requested=[20]", 4));
  EXPECT_EQ(write(b, r), "1960-01-01\n");
}

}  // namespace
}  // namespace kova::testing
