#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "tests/convert/decimal_testing.h"

namespace kova {
namespace {

using testing::magnitude;
using testing::makeDecimal;
using testing::parse;
using testing::text;
using testing::U128;

constexpr U128 kMax128 = ~static_cast<U128>(0);

TEST(DecimalToText, WritesPointsZerosAndSigns) {
  EXPECT_EQ(text(makeDecimal(12345, 2)), "123.45");
  EXPECT_EQ(text(makeDecimal(5, 3)), "0.005");
  EXPECT_EQ(text(makeDecimal(123, -2)), "12300.");
  EXPECT_EQ(text(makeDecimal(0, 0)), "0.");
  EXPECT_EQ(text(makeDecimal(0, 0, true)), "-0.");
  EXPECT_EQ(text(makeDecimal(0, 2)), "0.00");
  EXPECT_EQ(text(makeDecimal(12345, 5, true)), "-0.12345");
  EXPECT_EQ(text(makeDecimal(12345, 4)), "1.2345");
  EXPECT_EQ(text(makeDecimal(1, 127)), "0." + std::string(126, '0') + "1");
}

TEST(DecimalToText, HandlesEveryMagnitudeWidth) {
  EXPECT_EQ(text(makeDecimal(kMax128, 0)), "340282366920938463463374607431768211455.");
  const U128 two64 = static_cast<U128>(1) << 64;
  EXPECT_EQ(text(makeDecimal(two64, 0)), "18446744073709551616.");
  EXPECT_EQ(text(makeDecimal(two64 - 1, 0)), "18446744073709551615.");
  const U128 ten19 = 10000000000000000000ull;
  EXPECT_EQ(text(makeDecimal(ten19 * ten19 + 1, 0)), "100000000000000000000000000000000000001.");
  EXPECT_EQ(text(makeDecimal(ten19 * 7 + 3, 1)), "7000000000000000000.3");
  // The longest text there is: sign, 39 digits, 127 zeros and the point.
  const std::string longest = text(makeDecimal(kMax128, -127, true));
  EXPECT_EQ(longest.size(), static_cast<size_t>(kDecimalTextMax));
  EXPECT_EQ(longest, "-340282366920938463463374607431768211455" + std::string(127, '0') + ".");
}

TEST(DecimalToText, ShortCapacityWritesTheLongestPrefix) {
  const DecimalValue values[] = {makeDecimal(123, 0), makeDecimal(5, 3, true),
                                 makeDecimal(98765, 2, true), makeDecimal(42, -3)};
  for (const DecimalValue& v : values) {
    const std::string full = text(v);
    for (int64_t capacity = 0; capacity < static_cast<int64_t>(full.size()); ++capacity) {
      char out[kDecimalTextMax];
      std::memset(out, '#', sizeof out);
      int64_t length = -1;
      ASSERT_EQ(decimalToText(&v, out, capacity, &length), kStatusDecimalNoRoom) << full;
      EXPECT_EQ(length, capacity);
      EXPECT_EQ(std::string(out, static_cast<size_t>(length)),
                full.substr(0, static_cast<size_t>(capacity)));
      EXPECT_EQ(out[capacity], '#');
    }
    char exact[kDecimalTextMax];
    int64_t length = -1;
    EXPECT_EQ(decimalToText(&v, exact, static_cast<int64_t>(full.size()), &length), kStatusOk);
    EXPECT_EQ(length, static_cast<int64_t>(full.size()));
  }
}

TEST(DecimalToText, RefusesNegativeCapacityAndScaleBelowLimit) {
  char out[8];
  int64_t length = 5;
  DecimalValue v = makeDecimal(1, 0);
  EXPECT_EQ(decimalToText(&v, out, -1, &length), kStatusDecimalPrecision);
  EXPECT_EQ(length, 0);
  v.scale = -128;
  length = 5;
  EXPECT_EQ(decimalToText(&v, out, sizeof out, &length), kStatusDecimalPrecision);
  EXPECT_EQ(length, 0);
}

// Generated values survive text and back: value -> text -> value with the
// precision and scale of the original gives the same 19 bytes.
TEST(DecimalRoundTrip, ValueToTextAndBack) {
  uint64_t seed = 12345;
  auto next = [&] {
    seed = seed * 6364136223846793005ull + 1442695040888963407ull;
    return seed >> 11;
  };
  int checked = 0;
  for (int round = 0; round < 20000; ++round) {
    const int digits = 1 + static_cast<int>(next() % 38);
    U128 m = 0;
    for (int i = 0; i < digits; ++i) m = m * 10 + next() % 10;
    if (next() % 8 == 0) m = 0;
    const int scale = static_cast<int>(next() % 255) - 127;
    const bool negative = m != 0 && next() % 2;
    int count = static_cast<int>(testing::toString(m).size());
    DecimalValue original = makeDecimal(m, scale, negative, count);
    const std::string t = text(original);
    DecimalValue back;
    ASSERT_EQ(parse(t, count, scale, &back), kStatusOk) << t;
    ASSERT_EQ(std::memcmp(&back, &original, sizeof back), 0)
        << t << " came back as " << text(back) << " p=" << int(back.precision);
    ++checked;
  }
  EXPECT_EQ(checked, 20000);
}

// Generated texts read without a declared precision come back in canonical
// form: no leading integer zeros, no trailing fraction zeros, "0." for zero.
TEST(DecimalRoundTrip, TextToValueAndBack) {
  uint64_t seed = 777;
  auto next = [&] {
    seed ^= seed << 13;
    seed ^= seed >> 7;
    seed ^= seed << 17;
    return seed;
  };
  auto digitsOf = [&](int n) {
    std::string s;
    for (int i = 0; i < n; ++i) s += static_cast<char>('0' + next() % 10);
    return s;
  };
  for (int round = 0; round < 20000; ++round) {
    const int integerLength = static_cast<int>(next() % 20);
    const int fractionLength = static_cast<int>(next() % 19);
    const std::string integerPart = digitsOf(integerLength);
    const std::string fractionPart = digitsOf(fractionLength);
    const bool negative = next() % 2;
    std::string number = integerPart + (fractionLength || next() % 2 ? "." : "") + fractionPart;
    if (integerPart.empty() && fractionPart.empty()) number += "0";
    const std::string input = std::string(next() % 3, ' ') +
                              (negative ? "-" : (next() % 2 ? "+" : "")) + number +
                              std::string(next() % 3, '\t');

    std::string whole =
        integerPart.substr(std::min(integerPart.find_first_not_of('0'), integerPart.size()));
    std::string fraction = fractionPart.substr(0, fractionPart.find_last_not_of('0') + 1);
    if (fractionPart.find_last_not_of('0') == std::string::npos) fraction.clear();
    const bool zero = whole.empty() && fraction.empty();
    std::string expected =
        (negative && !zero ? "-" : "") + (whole.empty() ? "0" : whole) + "." + fraction;

    DecimalValue v;
    ASSERT_EQ(parse(input, 0, 0, &v), kStatusOk) << "[" << input << "]";
    EXPECT_EQ(text(v), expected) << "[" << input << "]";
    EXPECT_EQ(v.scale, static_cast<int>(fraction.size())) << "[" << input << "]";
  }
}

}  // namespace
}  // namespace kova
