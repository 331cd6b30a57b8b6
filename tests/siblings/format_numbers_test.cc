// F, BEST, COMMA and E: the texts each informat reads and refuses, and the
// fields each format writes, against printf where printf has the answer.
#include <cmath>
#include <cstdio>
#include <limits>
#include <random>

#include "tests/siblings/format_test_util.h"

namespace kova::runtime {
namespace {

class NumberFormats : public FormatConversionTest {};

std::string printed(const char* format, int width, int decimals, double v) {
  char text[512];
  std::snprintf(text, sizeof text, format, width, decimals, v);
  return text;
}

TEST_F(NumberFormats, PlainNumbersReadAsTheNearestDouble) {
  EXPECT_EQ(value("F", "123"), 123.0);
  EXPECT_EQ(value("F", "  -12.5  "), -12.5);
  EXPECT_EQ(value("F", "+7"), 7.0);
  EXPECT_EQ(value("F", ".5"), 0.5);
  EXPECT_EQ(value("F", "5."), 5.0);
  EXPECT_EQ(value("F", "0.1"), 0.1);
  EXPECT_EQ(value("F", "1e3"), 1000.0);
  EXPECT_EQ(value("F", "1.5E-2"), 0.015);
  EXPECT_EQ(value("F", "-2.5e+1"), -25.0);
  EXPECT_EQ(value("F", "9007199254740993"), 9007199254740992.0);  // ties to even
  EXPECT_EQ(value("F", "1.7976931348623157e308"), std::numeric_limits<double>::max());
  EXPECT_EQ(value("F", "1e-400"), 0.0);  // below the smallest double
  EXPECT_EQ(value("F", "\t42\t"), 42.0);
  // BEST and E read exactly what F reads.
  EXPECT_EQ(value("BEST", "-1.25E3"), -1250.0);
  EXPECT_EQ(value("E", "6.02214076E23"), 6.02214076e23);
  EXPECT_EQ(value("E", "17"), 17.0);
}

TEST_F(NumberFormats, DecimalsImplyAPointOnlyWhenTheTextHasNone) {
  EXPECT_EQ(value("F", "12345", 2), 123.45);
  EXPECT_EQ(value("F", "-12345", 3), -12.345);
  EXPECT_EQ(value("F", "123.4", 2), 123.4);
  EXPECT_EQ(value("F", "12.", 2), 12.0);
  EXPECT_EQ(value("F", "1e2", 2), 100.0);
  EXPECT_EQ(value("F", "7", 0), 7.0);
  EXPECT_EQ(value("BEST", "250", 1), 25.0);
  EXPECT_EQ(value("COMMA", "1,234,5", 1), 1234.5);
}

TEST_F(NumberFormats, BlankTextsAndALonePointAreMissingWithoutComplaint) {
  for (std::string_view text : {"", "   ", ".", "  .  "}) {
    for (std::string_view name : {"F", "BEST", "E", "COMMA"}) {
      const Reading r = read(name, text);
      EXPECT_TRUE(r.ok()) << name << " \"" << text << "\"";
      EXPECT_EQ(std::bit_cast<uint64_t>(r.value), kMissingPattern);
    }
  }
}

TEST_F(NumberFormats, TextsThatAreNotPlainNumbersAreRefused) {
  for (std::string_view text :
       {"abc", "1,234", "$5",        "12a", "1e",   "1e+",   "--1",     "+-1",   "1 2",
        "- 1", "inf",   "-infinity", "nan", "0x10", "1e400", "-1e999",  "1.2.3", "e5",
        "-",   "+",     "..",        "(5)", "5-",   "1_000", "\xC2\xB2"}) {
    EXPECT_TRUE(refuses("F", text)) << "\"" << text << "\"";
    EXPECT_TRUE(refuses("BEST", text)) << "\"" << text << "\"";
  }
  // Not ASCII: a full-width digit.
  KovaFormatObject* informat = object("F", kFormatLookupInformat);
  EXPECT_EQ(readWith(informat, u"\uFF11").status, kStatusNotSupported);
}

TEST_F(NumberFormats, CommaReadsSeparatorsCurrencyBlanksAndParentheses) {
  EXPECT_EQ(value("COMMA", "1,234.50"), 1234.5);
  EXPECT_EQ(value("COMMA", "$1,234"), 1234.0);
  EXPECT_EQ(value("COMMA", " $ 1 234 567 "), 1234567.0);
  EXPECT_EQ(value("COMMA", "(1,234.50)"), -1234.5);
  EXPECT_EQ(value("COMMA", "($12)"), -12.0);
  EXPECT_EQ(value("COMMA", "-1,000"), -1000.0);
  EXPECT_EQ(value("COMMA", "12345", 2), 123.45);
  EXPECT_EQ(value("COMMA", "1.5e3"), 1500.0);
  for (std::string_view text : {"(12", "12)", "(-12)", "()", "1,2a", "€5", "(1)(2)"}) {
    EXPECT_TRUE(refuses("COMMA", text)) << "\"" << text << "\"";
  }
}

TEST_F(NumberFormats, FixedFieldsMatchPrintfWhenTheyFit) {
  const double values[] = {0,     1,          -1,     3.14159265,  123.456,  -0.75,
                           1e6,   2.5,        0.125,  1234567.891, -98.7654, 1.0 / 3,
                           0.005, -12345.678, 99.995, 1e-7};
  int compared = 0;
  for (double v : values) {
    for (int width : {6, 8, 12, 20}) {
      for (int decimals : {0, 1, 2, 5}) {
        const std::string expected = printed("%*.*f", width, decimals, v);
        if (expected.size() > static_cast<size_t>(width)) continue;
        if (expected.find_first_of("123456789") == std::string::npos) continue;  // signed zero
        EXPECT_EQ(write("F", v, width, decimals), expected)
            << v << " F" << width << "." << decimals;
        ++compared;
      }
    }
  }
  EXPECT_GT(compared, 150);
}

TEST_F(NumberFormats, FixedFieldsGiveUpDecimalsThenDigitsWhenNarrow) {
  EXPECT_EQ(write("F", -0.001, 8, 2), "    0.00");  // no negative zero
  EXPECT_EQ(write("F", -0.4, 4, 0), "   0");
  EXPECT_EQ(write("F", 123.456, 5, 2), "123.5");
  EXPECT_EQ(write("F", 123.456, 4, 2), " 123");
  EXPECT_EQ(write("F", 1e10, 6, 2), "  1E10");
  EXPECT_EQ(write("F", 12345, 3, 0), "***");
  EXPECT_EQ(write("F", 7, 0, 0), "           7");  // the default width, 12
}

TEST_F(NumberFormats, BestKeepsAsMuchOfTheValueAsTheWidthHolds) {
  EXPECT_EQ(write("BEST", 3, 12), "           3");
  EXPECT_EQ(write("BEST", 0, 4), "   0");
  EXPECT_EQ(write("BEST", 0.1, 12), "         0.1");
  EXPECT_EQ(write("BEST", 1.0 / 3, 12), "0.3333333333");
  EXPECT_EQ(write("BEST", -1.0 / 3, 12), "-0.333333333");
  EXPECT_EQ(write("BEST", 0.1 + 0.2, 5), "  0.3");
  EXPECT_EQ(write("BEST", 1e20, 12), "        1E20");
  EXPECT_EQ(write("BEST", -1e20, 4), "****");
  EXPECT_EQ(write("BEST", 1.234e-10, 12), "   1.234E-10");
  EXPECT_EQ(write("BEST", 123456789012.0, 12), "123456789012");
  EXPECT_EQ(write("BEST", 1234567890123.0, 12), "1.2345679E12");
  EXPECT_EQ(write("BEST", 9.9999, 3), " 10");
  EXPECT_EQ(write("BEST", 123456.7, 5), "1.2E5");
  EXPECT_EQ(write("BEST", 12345, 3), "***");
}

TEST_F(NumberFormats, WideBestTextsReadBackToTheSameDouble) {
  KovaFormatObject* best = object("BEST", kFormatLookupFormat, 32);
  KovaFormatObject* f = object("F", kFormatLookupInformat);
  std::mt19937_64 random(7);
  std::uniform_real_distribution<double> exponent(-3, 15);
  for (int i = 0; i < 20000; ++i) {
    const double v = std::pow(10.0, exponent(random)) * (i % 2 ? -1 : 1);
    const std::string text = writeWith(best, v, 32);
    const Reading back = readWith(f, std::u16string(text.begin(), text.end()));
    ASSERT_TRUE(back.ok()) << text;
    ASSERT_EQ(back.value, v) << text;
  }
}

TEST_F(NumberFormats, CommaGroupsThousandsAndDropsTheSeparatorsWhenNarrow) {
  EXPECT_EQ(write("COMMA", 1234567.891, 12, 2), "1,234,567.89");
  EXPECT_EQ(write("COMMA", -1234.5, 12, 2), "   -1,234.50");
  EXPECT_EQ(write("COMMA", 999.999, 10, 2), "  1,000.00");
  EXPECT_EQ(write("COMMA", 999, 6, 0), "   999");
  EXPECT_EQ(write("COMMA", 100000, 8, 0), " 100,000");
  EXPECT_EQ(write("COMMA", -0.001, 6, 2), "  0.00");
  EXPECT_EQ(write("COMMA", 1234567.891, 10, 2), "1234567.89");
  EXPECT_EQ(write("COMMA", 12345, 5, 0), "12345");
  // Written and read back.
  EXPECT_EQ(value("COMMA", write("COMMA", -9876543.21, 16, 2)), -9876543.21);
}

TEST_F(NumberFormats, ScientificFieldsMatchPrintfWithOneColumnForTheSign) {
  EXPECT_EQ(write("E", 12345, 12), printed("%*.*E", 12, 5, 12345));
  EXPECT_EQ(write("E", 12345, 12), " 1.23450E+04");
  EXPECT_EQ(write("E", -12345, 12), "-1.23450E+04");
  EXPECT_EQ(write("E", 0, 10), " 0.000E+00");
  EXPECT_EQ(write("E", 1e-300, 12), printed("%*.*E", 12, 5, 1e-300));
  EXPECT_EQ(write("E", -1e-300, 12), printed("%*.*E", 12, 4, -1e-300));
  EXPECT_EQ(write("E", 2.5, 6), " 2E+00");  // printf's rounding: half to even
  EXPECT_EQ(write("E", 6.02214076e23, 20, 3), printed("%*.*E", 20, 3, 6.02214076e23));
  EXPECT_EQ(write("E", -1e100, 5), "*****");
  EXPECT_EQ(write("E", -0.0, 8), " 0.0E+00");
  EXPECT_EQ(value("E", write("E", 6.02214076e23, 24)), 6.02214076e23);
}

TEST_F(NumberFormats, ValuesWithoutDigitsAndFieldsWithoutRoom) {
  const double missing = std::bit_cast<double>(kMissingPattern);
  const double specialA = std::bit_cast<double>(0xFFFFBE0000000000ull);
  for (std::string_view name : {"F", "BEST", "COMMA", "E"}) {
    EXPECT_EQ(write(name, missing, 8, 2), "       .") << name;
    EXPECT_EQ(write(name, specialA, 3), "  .") << name;
    EXPECT_EQ(write(name, std::numeric_limits<double>::quiet_NaN(), 2), " .") << name;
    EXPECT_EQ(write(name, std::numeric_limits<double>::infinity(), 6), "******") << name;
    EXPECT_EQ(write(name, -std::numeric_limits<double>::infinity(), 2), "**") << name;
  }
  // A capacity below the width narrows the field.
  KovaFormatObject* f = object("F", kFormatLookupFormat, 10, 2);
  EXPECT_EQ(writeWith(f, 3.5, 6), "  3.50");
  EXPECT_EQ(writeWith(f, 3.5, 0), "");
  EXPECT_EQ(lastStatus_, kStatusBufferTooSmall);
  // A null input is the missing value.
  char16_t field[10];
  f->input = nullptr;
  f->output = field;
  f->outputCapacity = 10;
  ASSERT_EQ(f->run(f, 0), kStatusOk);
  EXPECT_EQ(f->outputLength, 10);
  EXPECT_EQ(field[9], u'.');
}

}  // namespace
}  // namespace kova::runtime
