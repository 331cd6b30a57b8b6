// The delimited writer's fast paths against the host's general paths: the
// plans chosen at bind, and the same bytes from both over generated values
// and the edges (signs, zero, extremes, missing values, negative dates,
// fractions, values past a fast path's span).
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <limits>
#include <random>
#include <tuple>

#include "src/burner/text_plan.h"
#include "src/convert/missing.h"
#include "tests/burner/burner_fixture.h"

namespace kova::testing {
namespace {

class TextPlanTest : public BurnerTest {
 protected:
  // One column of each kind with a fast path, and a VARCHAR and a TIMESTAMP
  // with fraction digits that keep the general paths.
  KovaObject* mixedTable(int32_t encoding, uint8_t fieldsep = ',', uint8_t qualifier = '"') {
    KovaObject* table = newTable(kRecfmDelimited, encoding);
    table->fieldsep = fieldsep;
    table->textqual = qualifier;
    addColumn(table, u"i", kTypeInt);
    addColumn(table, u"big", kTypeBigint);
    addColumn(table, u"small", kTypeSmallint);
    addColumn(table, u"tiny", kTypeTinyint);
    addColumn(table, u"x", kTypeDouble);
    addColumn(table, u"d", kTypeDate);
    addColumn(table, u"code", kTypeChar, 8);
    addColumn(table, u"name", kTypeVarchar, 12);
    addColumn(table, u"at", kTypeTimestamp);
    addColumn(table, u"at3", kTypeTimestamp, 3);
    return table;
  }

  // The bytes of rows written with the burner's own plan and with every
  // column on the general path; both must be the same.
  void expectSameBytes(KovaRipper* b, const std::vector<uint8_t>& r) {
    const std::string fast = write(b, r);
    planGeneralText(b);
    const std::string general = write(b, r);
    planTextColumns(b);
    ASSERT_FALSE(fast.empty());
    ASSERT_EQ(fast.size(), general.size());
    // The first differing record, for a readable failure.
    size_t at = 0;
    while (at < fast.size() && fast[at] == general[at]) ++at;
    if (at < fast.size()) {
      const size_t end = at == 0 ? std::string::npos : fast.rfind('\n', at - 1);
      const size_t start = end == std::string::npos ? 0 : end + 1;
      FAIL() << "fast:    " << fast.substr(start, 120)
             << "\ngeneral: " << general.substr(start, 120);
    }
  }

  // Rows of random values of every length and sign for mixedTable.
  std::vector<uint8_t> generatedRows(KovaRipper* b, size_t count);

  std::mt19937_64 rng_{12};
};

TEST_F(TextPlanTest, AsciiFieldsTakeTheFastPathsOthersKeepTheHost) {
  KovaRipper* b = burner(mixedTable(kEncodingUtf8));
  ASSERT_NE(b, nullptr);
  const TextPlan expected[] = {TextPlan::kInteger,  TextPlan::kInteger, TextPlan::kInteger,
                               TextPlan::kInteger,  TextPlan::kDouble,  TextPlan::kDate,
                               TextPlan::kTrimChar, TextPlan::kGeneral, TextPlan::kTimestamp,
                               TextPlan::kGeneral};
  for (int32_t i = 0; i < 10; ++i) EXPECT_EQ(textPlanOf(b, &b->columns[i]), expected[i]) << i;
  for (int32_t i = 0; i < 10; ++i) {
    EXPECT_EQ(fastTextIsFinal(b, &b->columns[i]), i <= 5 || i == 8) << i;
  }

  // Separators and qualifiers that number texts may hold: those texts go
  // through the qualifier check; escape style: through its qualifying.
  // (The double column writes "." and "e", the timestamp "-" and ":".)
  for (auto [sep, q, column] :
       {std::tuple{'-', '"', 8}, {',', '.', 4}, {':', '"', 8}, {'e', '\'', 4}}) {
    KovaRipper* odd = burner(mixedTable(kEncodingUtf8, uint8_t(sep), uint8_t(q)));
    ASSERT_NE(odd, nullptr);
    EXPECT_NE(textPlanOf(odd, &odd->columns[column]), TextPlan::kGeneral);
    EXPECT_FALSE(fastTextIsFinal(odd, &odd->columns[column])) << sep << q;
  }
  KovaRipper* escaped = burner(mixedTable(kEncodingUtf8), kRipperEscapeStyle);
  ASSERT_NE(escaped, nullptr);
  EXPECT_EQ(textPlanOf(escaped, &escaped->columns[0]), TextPlan::kInteger);
  EXPECT_FALSE(fastTextIsFinal(escaped, &escaped->columns[0]));

  // Row-image text keeps the general paths.
  KovaObject* table = mixedTable(kEncodingUtf8);
  KovaRipper* image = burner(table, kRipperRowImage);
  ASSERT_NE(image, nullptr);
  for (int32_t i = 0; i < 10; ++i)
    EXPECT_EQ(textPlanOf(image, &image->columns[i]), TextPlan::kGeneral);
}

TEST_F(TextPlanTest, EdgeValuesWriteTheHostsBytes) {
  KovaRipper* b = burner(mixedTable(kEncodingUtf8));
  ASSERT_NE(b, nullptr);
  constexpr auto kInt64 = std::numeric_limits<int64_t>::max();
  constexpr auto kDouble = std::numeric_limits<double>::max();
  const int64_t integers[] = {
      0, 1, -1, 9, -10, 127, -128, 32767, -32768, 2147483647, -2147483647 - 1, kInt64, -kInt64 - 1};
  const double doubles[] = {0.0,
                            -0.0,
                            0.5,
                            -1.25,
                            1.0 / 3,
                            1e-7,
                            1e20,
                            1e21,
                            1e22,
                            -1e300,
                            kDouble,
                            -kDouble,
                            std::numeric_limits<double>::min(),
                            std::numeric_limits<double>::denorm_min(),
                            M_PI * 1e-5,
                            123456789012345.678,
                            std::numeric_limits<double>::infinity(),
                            -std::numeric_limits<double>::infinity(),
                            std::numeric_limits<double>::quiet_NaN(),
                            kMissing};
  // Around the fast span (1582-01-01 is -138061, 4000-01-01 is 745095),
  // the epoch, leap days, 4000-03-01 (no 02-29), fractions of days.
  const double dates[] = {-138062,
                          -138061.5,
                          -138061,
                          -138060,
                          -1.5,
                          -1,
                          -0.25,
                          0,
                          0.75,
                          59,
                          60,
                          14669,
                          745094,
                          745094.9,
                          745095,
                          745153,
                          745154,
                          2936549,
                          6589335,
                          6589336,
                          1e12,
                          -1e12,
                          std::numeric_limits<double>::quiet_NaN(),
                          kMissing};
  const char* codes[] = {"",         " ",         "        ", "AB  ",  "A B     ",
                         "ABCDEFGH", "A\t      ", "\"q\"  ",  "a,b   "};
  const size_t n =
      std::max({std::size(integers), std::size(doubles), std::size(dates), std::size(codes)});
  auto r = rows(b, n + 3);
  const uint64_t L = b->rowLength;
  for (size_t k = 0; k < n; ++k) {
    uint8_t* row = r.data() + k * L;
    const int64_t v = integers[k % std::size(integers)];
    setValue<int32_t>(b, row, 0, int32_t(v));
    setValue<int64_t>(b, row, 1, v);
    setValue<int16_t>(b, row, 2, int16_t(v));
    setValue<int8_t>(b, row, 3, int8_t(v));
    setValue<double>(b, row, 4, doubles[k % std::size(doubles)]);
    setValue<double>(b, row, 5, dates[k % std::size(dates)]);
    setBytes(b, row, 6, codes[k % std::size(codes)]);
    setBytes(b, row, 7, "n");
    const double stamp = dates[k % std::size(dates)] * 86400 + double(k % 3) * 0.4995;
    setValue<double>(b, row, 8, stamp);
    setValue<double>(b, row, 9, stamp);
  }
  // Missing values: a null indicator, and the special missing values
  // (indicator -2 .. -28) of doubles and dates.
  for (size_t k = n; k < n + 3; ++k) {
    for (int32_t c = 0; c < 10; ++c) setIndicator(b, r.data() + k * L, c, -1 - int64_t(k - n) * 9);
  }
  expectSameBytes(b, r);

  b->writeNullText = 1;
  expectSameBytes(b, r);
}

TEST_F(TextPlanTest, GeneratedValuesWriteTheHostsBytes) {
  for (auto [sep, q, style] :
       {std::tuple{',', '"', 0u}, {'-', '"', 0u}, {':', '.', 0u}, {',', '"', kRipperEscapeStyle}}) {
    KovaRipper* b = burner(mixedTable(kEncodingUtf8, uint8_t(sep), uint8_t(q)), style);
    ASSERT_NE(b, nullptr);
    expectSameBytes(b, generatedRows(b, sep == ',' && !style ? 20000 : 2000));
  }
}

std::vector<uint8_t> TextPlanTest::generatedRows(KovaRipper* b, size_t count) {
  auto r = rows(b, count);
  const uint64_t L = b->rowLength;
  for (size_t k = 0; k < count; ++k) {
    uint8_t* row = r.data() + k * L;
    const uint64_t bits = rng_();
    // Integers of every length, by a random shift.
    const int64_t v = int64_t(bits) >> (rng_() % 64);
    setValue<int32_t>(b, row, 0, int32_t(v));
    setValue<int64_t>(b, row, 1, v);
    setValue<int16_t>(b, row, 2, int16_t(v));
    setValue<int8_t>(b, row, 3, int8_t(v));
    // Doubles: any bit pattern, short decimals, and integers.
    double x;
    switch (k % 3) {
      case 0:
        x = std::bit_cast<double>(rng_());
        break;
      case 1:
        x = double(int64_t(rng_() % 2000001) - 1000000) / 100;
        break;
      default:
        x = double(v);
        break;
    }
    setValue<double>(b, row, 4, x);
    // Dates over the whole span the engine writes and past it, with fractions.
    const double day = double(int64_t(rng_() % 6800000) - 150000) + (k % 4) * 0.25;
    setValue<double>(b, row, 5, k % 97 == 0 ? -day : day);
    std::string code(1 + rng_() % 8, 'A');
    for (char& c : code) c = "AB \t0"[rng_() % 5];
    setBytes(b, row, 6, code);
    setBytes(b, row, 7, "v");
    // Whole seconds mostly; some with a fraction.
    const double stamp = day * 86400 + double(rng_() % 86400) + (k % 5 == 0 ? 0.25 : 0);
    setValue<double>(b, row, 8, stamp);
    setValue<double>(b, row, 9, stamp);
    if (k % 11 == 0) setIndicator(b, row, int32_t(rng_() % 10), -1);
  }
  return r;
}

TEST_F(TextPlanTest, FastTextsAreThoseOfTheirFormats) {
  uint8_t out[24];
  EXPECT_EQ(std::string_view(reinterpret_cast<char*>(out), dateText(-138061, out)), "1582-01-01");
  EXPECT_EQ(std::string_view(reinterpret_cast<char*>(out), dateText(-0.5, out)), "1959-12-31");
  EXPECT_EQ(std::string_view(reinterpret_cast<char*>(out), dateText(745094, out)), "3999-12-31");
  EXPECT_EQ(dateText(745095, out), 0u);  // from 4000 on: the engine's
  EXPECT_EQ(dateText(kMissing, out), 0u);
  EXPECT_EQ(doubleText(1.0 / 7 * 1e-5, out), 0u);  // over 20 bytes: the host's
  EXPECT_EQ(trimBlanks(reinterpret_cast<const uint8_t*>("a \t  "), 5), 3u);
}

}  // namespace
}  // namespace kova::testing
