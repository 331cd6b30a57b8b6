#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string>

#include "tests/convert/decimal_testing.h"

namespace kova {
namespace {

using testing::bytesOfDigits;
using testing::magnitude;
using testing::parse;
using testing::text;
using testing::U128;
using testing::valBytes;

struct Expect {
  const char* text;
  int precision;
  int scale;
  bool truncate;
  KovaStatus status;
  // On success: the stored fields.
  int gotPrecision = 0;
  int gotScale = 0;
  int gotSign = 1;
  const char* val = "0";
};

void check(const Expect& e) {
  SCOPED_TRACE(std::string("text [") + e.text + "] p=" + std::to_string(e.precision) +
               " s=" + std::to_string(e.scale) + (e.truncate ? " truncate" : ""));
  DecimalValue v;
  std::memset(&v, 0xAB, sizeof v);
  ASSERT_EQ(parse(e.text, e.precision, e.scale, &v, e.truncate), e.status);
  if (e.status != kStatusOk) return;
  EXPECT_EQ(v.precision, e.gotPrecision);
  EXPECT_EQ(v.scale, e.gotScale);
  EXPECT_EQ(v.sign, e.gotSign);
  EXPECT_EQ(testing::toString(magnitude(v)), e.val);
}

TEST(ParseDecimal, TrimsBlanksSignAndLeadingZeros) {
  check({"  -0012.50 ", 5, 2, false, kStatusOk, 5, 2, 0, "1250"});
  check({"\t+7\r\n", 3, 0, false, kStatusOk, 3, 0, 1, "7"});
  check({"000123", 5, 0, false, kStatusOk, 5, 0, 1, "123"});
  check({"-.5", 3, 1, false, kStatusOk, 3, 1, 0, "5"});
  check({"5.", 3, 0, false, kStatusOk, 3, 0, 1, "5"});
}

TEST(ParseDecimal, ReadsTheExponentForm) {
  check({"1.5E3", 6, 0, false, kStatusOk, 6, 0, 1, "1500"});
  check({"15e-1", 2, 1, false, kStatusOk, 2, 1, 1, "15"});
  check({"1.5E3", 0, 0, false, kStatusOk, 4, 0, 1, "1500"});
  check({"12.5e-1", 3, 2, false, kStatusOk, 3, 2, 1, "125"});
  check({" -2.5e+2 ", 0, 0, false, kStatusOk, 3, 0, 0, "250"});
  check({"1e - 2", 0, 0, false, kStatusOk, 1, 2, 1, "1"});
  check({"1 E 2.00  ", 0, 0, false, kStatusOk, 3, 0, 1, "100"});
  check({"0.05e2", 0, 0, false, kStatusOk, 1, 0, 1, "5"});
  check({"5e-1", 0, 0, false, kStatusOk, 1, 1, 1, "5"});
  check({"0.0e5", 4, 2, false, kStatusOk, 4, 2, 1, "0"});
  check({"1e-127", 0, 0, false, kStatusOk, 1, 127, 1, "1"});
  check({"1e127", 0, 0, false, kStatusOk, 38, -90, 1, "10000000000000000000000000000000000000"});
  check({"1e-128", 0, 0, false, kStatusDecimalOverflow});
  check({"1e-130", 0, 0, true, kStatusOk, 1, 0, 1, "0"});
  check({"1e165", 0, 0, false, kStatusDecimalOverflow});
}

TEST(ParseDecimal, RejectsMalformedExponents) {
  for (const char* bad : {"1e", "e5", "1e5e3", "1ex", "1e+", "1e2.5", "1e2 .0", "--1e3", ".e5",
                          "1e 2 3", "1e.0", "E"}) {
    check({bad, 0, 0, false, kStatusNotANumber});
  }
}

TEST(ParseDecimal, HugeExponentsDoNotFitRatherThanBeingNoNumber) {
  check({"1e500", 0, 0, false, kStatusDecimalOverflow});
  check({"1e-168", 0, 0, true, kStatusDecimalOverflow});
  check({"-0e999999999999", 5, 2, false, kStatusOk, 5, 2, 1, "0"});
  // A written-out form over 167 characters does not fit either.
  check({"-1e-166", 0, 0, true, kStatusDecimalOverflow});
  check({"1e-166", 0, 0, true, kStatusOk, 1, 0, 1, "0"});
}

TEST(ParseDecimal, FractionDigitsBeyondTheScaleFailOrAreCut) {
  check({"12.345", 5, 2, false, kStatusDecimalOverflow});
  check({"12.345", 5, 2, true, kStatusOk, 5, 2, 1, "1234"});
  check({"12.340", 5, 2, false, kStatusOk, 5, 2, 1, "1234"});
  check({"-12.349", 5, 2, true, kStatusOk, 5, 2, 0, "1234"});
  check({"1.5", 5, 2, false, kStatusOk, 5, 2, 1, "150"});
  check({"0.05", 1, 2, false, kStatusOk, 1, 2, 1, "5"});
  check({"0.0000000001", 1, 10, false, kStatusOk, 1, 10, 1, "1"});
  check({"123.45", 4, 2, false, kStatusDecimalOverflow});  // precision reached, digit left
  check({"123.45", 4, 2, true, kStatusOk, 4, 2, 1, "12340"});
}

TEST(ParseDecimal, IntegerDigitsBeyondThePrecisionOverflow) {
  check({"123456", 5, 0, false, kStatusDecimalOverflow});
  check({"123456", 5, 0, true, kStatusDecimalOverflow});
  check({"12345", 5, 0, false, kStatusOk, 5, 0, 1, "12345"});
  // The integer part is not limited to precision - scale digits.
  check({"12345", 5, 2, false, kStatusOk, 5, 2, 1, "1234500"});
}

TEST(ParseDecimal, NotANumber) {
  for (const char* bad :
       {"abc", "",      " ",   "-",   "+",   ".",  " - ", "-.",   "1 2", "0 1",
        "- 5", "1.2.3", "--1", "+-1", "0-1", "1-", "12a", "0x10", "1,5", "\xff"}) {
    check({bad, 5, 2, false, kStatusNotANumber});
  }
  check({"", 0, 0, false, kStatusNotANumber});
}

TEST(ParseDecimal, ZerosInEveryForm) {
  for (const char* zero : {"0", "-0", "0.", "000", ".0", "-0.000", "+0", "  0  ", "0 ", "00.00"}) {
    check({zero, 5, 2, false, kStatusOk, 5, 2, 1, "0"});
    check({zero, 0, 0, false, kStatusOk, 1, 0, 1, "0"});
  }
  // A value cut to nothing is a plain zero, never a negative one.
  check({"-0.001", 5, 2, true, kStatusOk, 5, 2, 1, "0"});
}

TEST(ParseDecimal, NegativeScaleHoldsMultiplesOfAPowerOfTen) {
  check({"1200", 2, -2, false, kStatusOk, 2, -2, 1, "12"});
  check({"1230", 2, -2, false, kStatusDecimalOverflow});
  check({"1230", 2, -2, true, kStatusOk, 2, -2, 1, "12"});
  check({"-1200.00", 4, -2, false, kStatusOk, 4, -2, 0, "12"});
  check({"120000", 4, -2, false, kStatusOk, 4, -2, 1, "1200"});
  check({"99990000", 4, -2, false, kStatusDecimalOverflow});
  check({"120", 2, -2, false, kStatusDecimalOverflow});
  check({"120", 2, -2, true, kStatusOk, 2, -2, 1, "1"});
  check({"1200.5", 4, -2, false, kStatusDecimalOverflow});
  check({"1200.5", 4, -2, true, kStatusOk, 4, -2, 1, "12"});
  // Wide magnitudes: twenty zero digits come off a 38-digit string.
  const std::string wide = "123456789012345678" + std::string(20, '0');
  check({wide.c_str(), 38, -20, false, kStatusOk, 38, -20, 1, "123456789012345678"});
  const std::string lostInside =
      "123456789012345678" + std::string(9, '0') + "5" + std::string(10, '0');
  check({lostInside.c_str(), 38, -20, false, kStatusDecimalOverflow});
  check({lostInside.c_str(), 38, -20, true, kStatusOk, 38, -20, 1, "123456789012345678"});
  // Fewer digits than the scale: cut to zero, or refused.
  check({"50", 2, -2, false, kStatusDecimalOverflow});
  check({"50", 2, -2, true, kStatusOk, 2, -2, 1, "0"});
  check({"0.5", 2, -2, true, kStatusOk, 2, -2, 1, "0"});
}

TEST(ParseDecimal, WithoutPrecisionTheTextGivesPrecisionAndScale) {
  check({"3.25", 0, 0, false, kStatusOk, 3, 2, 1, "325"});
  check({"0.05", 0, 0, false, kStatusOk, 1, 2, 1, "5"});
  check({"-1200", 0, 0, false, kStatusOk, 4, 0, 0, "1200"});
  check({"3.25", 0, 7, false, kStatusOk, 3, 2, 1, "325"});
  // Past 38 significant digits the scale goes negative; a lost non-zero
  // digit fails unless cutting.
  const std::string tenTo39 = "1" + std::string(39, '0');
  check({tenTo39.c_str(), 0, 0, false, kStatusOk, 38, -2, 1, ("1" + std::string(37, '0')).c_str()});
  const std::string nines39(39, '9');
  check({nines39.c_str(), 0, 0, false, kStatusDecimalOverflow});
  check({nines39.c_str(), 0, 0, true, kStatusOk, 38, -1, 1,
         "99999999999999999999999999999999999999"});
  const std::string fraction40 = "0." + std::string(40, '1');
  check({fraction40.c_str(), 0, 0, false, kStatusDecimalOverflow});
  check({fraction40.c_str(), 0, 0, true, kStatusOk, 38, 38, 1,
         "11111111111111111111111111111111111111"});
}

TEST(ParseDecimal, PrecisionAndScaleLimits) {
  DecimalValue v;
  EXPECT_EQ(parse("1", 39, 0, &v), kStatusDecimalPrecision);
  EXPECT_EQ(parse("1", -1, 0, &v), kStatusDecimalPrecision);
  EXPECT_EQ(parse("1", 5, -128, &v), kStatusDecimalPrecision);
  EXPECT_EQ(parse("1", 5, 128, &v), kStatusDecimalPrecision);
  EXPECT_EQ(parse("abc", 39, 0, &v), kStatusDecimalPrecision);
  check({"1", 38, -127, true, kStatusOk, 38, -127, 1, "0"});
  check({"1", 0, -127, false, kStatusOk, 1, 0, 1, "1"});
}

// More than 38 significant digits never fit 16 bytes safely: refused, and
// nothing outside the 19 result bytes is written.
TEST(ParseDecimal, DigitStringsBeyond38DigitsAreRefusedWithoutOverrun) {
  struct Guarded {
    unsigned char before[8];
    DecimalValue value;
    unsigned char after[8];
  };
  const std::string digits38(38, '7');
  const std::string digits37(37, '7');
  const std::string nines38(38, '9');
  const std::string max128 = "340282366920938463463374607431768211455";
  const std::string over128 = "340282366920938463463374607431768211456";
  struct Case {
    std::string text;
    int precision;
    int scale;
    bool truncate;
  };
  const Case refused[] = {
      {digits38, 38, 10, false},       {digits38, 38, 1, true},
      {digits37 + ".5", 38, 2, false}, {"1", 1, 38, false},
      {"1e38", 38, 0, false},          {max128, 0, 0, false},
      {over128, 38, 0, true},          {max128, 38, -1, false},
      {nines38 + "9", 38, -1, false},  {digits38 + "e1", 38, 0, true},
      {digits37, 37, 2, false},
  };
  for (const Case& c : refused) {
    SCOPED_TRACE(c.text + " p=" + std::to_string(c.precision) + " s=" + std::to_string(c.scale));
    Guarded g;
    std::memset(&g, 0x5A, sizeof g);
    EXPECT_EQ(parse(c.text, c.precision, c.scale, &g.value, c.truncate), kStatusDecimalOverflow);
    for (unsigned char b : g.before) EXPECT_EQ(b, 0x5A);
    for (unsigned char b : g.after) EXPECT_EQ(b, 0x5A);
    const DecimalValue cleared{};
    EXPECT_EQ(std::memcmp(&g.value, &cleared, sizeof cleared), 0);
  }
  // Right at the edge: 38 digits in all.
  check({digits37.c_str(), 37, 1, false, kStatusOk, 37, 1, 1, (digits37 + "0").c_str()});
  check({nines38.c_str(), 38, 0, false, kStatusOk, 38, 0, 1, nines38.c_str()});
  check({"0.1", 1, 38, false, kStatusOk, 1, 38, 1, ("1" + std::string(37, '0')).c_str()});
  check({"1e37", 38, 0, false, kStatusOk, 38, 0, 1, ("1" + std::string(37, '0')).c_str()});
}

TEST(ParseDecimal, LengthBoundsTheText) {
  DecimalValue v;
  const char withNul[] = "12\0 34";
  ASSERT_EQ(parseDecimal(withNul, -1, false, 0, 0, &v), kStatusOk);
  EXPECT_EQ(magnitude(v), 12u);
  ASSERT_EQ(parseDecimal("12345", 3, false, 0, 0, &v), kStatusOk);
  EXPECT_EQ(magnitude(v), 123u);
  EXPECT_EQ(parseDecimal(withNul, sizeof withNul - 1, false, 0, 0, &v), kStatusNotANumber);
  EXPECT_EQ(parseDecimal(nullptr, 0, false, 0, 0, &v), kStatusNotANumber);
  EXPECT_EQ(parseDecimal(nullptr, -1, false, 0, 0, &v), kStatusNotANumber);
  // An exponent letter past the length is not seen.
  ASSERT_EQ(parseDecimal("15e3", 2, false, 0, 0, &v), kStatusOk);
  EXPECT_EQ(magnitude(v), 15u);
}

// The magnitude bytes agree with plain long division of the digits by 256,
// for digit strings of every length up to 38.
TEST(ParseDecimal, MagnitudeBytesMatchLongDivision) {
  uint64_t seed = 0x9E3779B97F4A7C15ull;
  auto next = [&] {
    seed ^= seed << 13;
    seed ^= seed >> 7;
    seed ^= seed << 17;
    return seed;
  };
  for (int length = 1; length <= 38; ++length) {
    for (int round = 0; round < 50; ++round) {
      std::string digits;
      digits += static_cast<char>('1' + next() % 9);
      while (static_cast<int>(digits.size()) < length)
        digits += static_cast<char>('0' + next() % 10);
      DecimalValue v;
      ASSERT_EQ(parse(digits, 0, 0, &v), kStatusOk) << digits;
      EXPECT_EQ(valBytes(v), bytesOfDigits(digits)) << digits;
      EXPECT_EQ(v.precision, length);
    }
  }
}

}  // namespace
}  // namespace kova

namespace kova {
namespace {

// The exact value of a well-formed text as (digits without leading or
// trailing zeros, power of ten), worked out with strings.
struct Exact {
  bool negative = false;
  std::string digits;  // empty for zero
  int64_t power = 0;
};

Exact exactValue(const std::string& text) {
  Exact e;
  size_t i = text.find_first_not_of(" \t");
  if (text[i] == '-' || text[i] == '+') e.negative = text[i++] == '-';
  int64_t pointShift = 0;
  bool afterPoint = false;
  for (; i < text.size() && (isdigit(static_cast<unsigned char>(text[i])) || text[i] == '.'); ++i) {
    if (text[i] == '.') {
      afterPoint = true;
    } else {
      e.digits += text[i];
      if (afterPoint) --pointShift;
    }
  }
  size_t letter = text.find_first_of("eE");
  if (letter != std::string::npos) pointShift += std::stoll(text.substr(letter + 1));
  e.power = pointShift;
  e.digits.erase(0, std::min(e.digits.find_first_not_of('0'), e.digits.size()));
  while (!e.digits.empty() && e.digits.back() == '0') {
    e.digits.pop_back();
    ++e.power;
  }
  if (e.digits.empty()) e = Exact{};
  return e;
}

Exact exactValue(const DecimalValue& v) {
  Exact e;
  e.digits = testing::toString(magnitude(v));
  e.power = -v.scale;
  e.negative = v.sign == 0;
  while (!e.digits.empty() && e.digits.back() == '0') {
    e.digits.pop_back();
    ++e.power;
  }
  if (e.digits.empty()) e = Exact{};
  return e;
}

// Random well-formed texts against every kind of column: each is a number,
// an accepted one holds exactly the text's value, and cutting changes
// nothing for a value that fits.
TEST(ParseDecimal, AcceptedValuesAreExactOnGeneratedTexts) {
  uint64_t seed = 2024;
  auto next = [&](uint64_t n) {
    seed = seed * 6364136223846793005ull + 1442695040888963407ull;
    return (seed >> 20) % n;
  };
  auto digits = [&](uint64_t most) {
    std::string s(next(most + 1), '0');
    for (char& c : s) c = static_cast<char>('0' + (next(3) ? next(10) : 0));
    return s;
  };
  int accepted = 0;
  for (int round = 0; round < 30000; ++round) {
    std::string text = std::string(next(2), ' ') + (next(3) ? "" : next(2) ? "-" : "+");
    std::string integerPart = digits(24), fractionPart = digits(24);
    if (integerPart.empty() && fractionPart.empty()) integerPart = "0";
    text += integerPart + (fractionPart.empty() && next(2) ? "" : ".") + fractionPart;
    if (!next(4))
      text += (next(2) ? "e" : "E") + std::string(next(2) ? "-" : "") + std::to_string(next(60));
    text += std::string(next(2), '\t');
    const int precision = next(4) ? static_cast<int>(next(39)) : 0;
    const int scale = static_cast<int>(next(50)) - 10;
    SCOPED_TRACE("[" + text + "] p=" + std::to_string(precision) + " s=" + std::to_string(scale));

    DecimalValue exact, cut;
    const KovaStatus status = parse(text, precision, scale, &exact);
    const KovaStatus cutStatus = parse(text, precision, scale, &cut, true);
    ASSERT_NE(status, kStatusNotANumber);
    ASSERT_NE(cutStatus, kStatusNotANumber);
    if (status != kStatusOk) {
      ASSERT_EQ(status, kStatusDecimalOverflow);
      continue;
    }
    ++accepted;
    const Exact want = exactValue(text), got = exactValue(exact);
    ASSERT_EQ(got.digits, want.digits);
    ASSERT_EQ(got.power, want.power);
    ASSERT_EQ(got.negative, want.negative);
    if (precision) {
      ASSERT_EQ(exact.precision, precision);
      ASSERT_EQ(exact.scale, scale);
    }
    ASSERT_EQ(cutStatus, kStatusOk);
    ASSERT_EQ(std::memcmp(&cut, &exact, sizeof cut), 0);
  }
  EXPECT_GT(accepted, 5000);
}

}  // namespace
}  // namespace kova
