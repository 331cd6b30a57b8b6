// classify and the locale's integer parsers.
#include "tests/nls/nls_test_util.h"

namespace kova::runtime::nlstest {
namespace {

using ClassifyTest = NlsTest;
using LocaleTest = NlsTest;

TEST_F(ClassifyTest, AsciiPrintablesAreExactlyBlankToTilde) {
  for (uint32_t c = 0; c < 0x80; ++c) {
    bool printable = ops().classify(nls(), c) & kCharPrintable;
    EXPECT_EQ(printable, c >= 0x20 && c <= 0x7E) << c;
  }
}

TEST_F(ClassifyTest, WhiteSpaceIsTheUnicodeSet) {
  const uint32_t spaces[] = {0x09,   0x0A,   0x0B,   0x0C,   0x0D,   0x20,   0x85,   0xA0,  0x1680,
                             0x2000, 0x2005, 0x200A, 0x2028, 0x2029, 0x202F, 0x205F, 0x3000};
  for (uint32_t c : spaces)
    EXPECT_TRUE(ops().classify(nls(), c) & kCharWhiteSpace) << std::hex << c;
  for (uint32_t c : {0x41u, 0x200Bu, 0x00u, 0x1Fu, 0xFEFFu, 0x180Eu, 0x7Fu}) {
    EXPECT_FALSE(ops().classify(nls(), c) & kCharWhiteSpace) << std::hex << c;
  }
}

TEST_F(ClassifyTest, PrintableMeansAnAssignedVisibleOrSpacingCategory) {
  auto printable = [&](uint32_t c) { return (ops().classify(nls(), c) & kCharPrintable) != 0; };
  // Letters, marks, numbers, punctuation, symbols, separators.
  for (uint32_t c : {0xE9u, 0x4E2Du, 0x0301u, 0x0663u, 0x00BFu, 0x20ACu, 0x1F600u, 0x00A0u, 0x2028u,
                     0x3000u, 0xFFFDu}) {
    EXPECT_TRUE(printable(c)) << std::hex << c;
  }
  // Controls, format characters, surrogates, private use, unassigned, beyond Unicode.
  for (uint32_t c : {0x80u, 0x9Fu, 0x00ADu, 0x200Bu, 0xFEFFu, 0xD800u, 0xDFFFu, 0xE000u, 0xF8FFu,
                     0x0378u, 0xFFFFu, 0x10FFFFu, 0x110000u, 0xFFFFFFFFu}) {
    EXPECT_FALSE(printable(c)) << std::hex << c;
  }
  EXPECT_EQ(ops().classify(nls(), 0x20), kCharPrintable | kCharWhiteSpace);
  EXPECT_EQ(ops().classify(nls(), 0x0A), kCharWhiteSpace);
}

struct IntegerCase {
  const char16_t* text;
  KovaStatus strict;  // kStatusOk: reads as value
  KovaStatus lenient;
  int32_t value;
};

TEST_F(LocaleTest, IntegerParsersTakeDigitsWithOptionalSign) {
  KovaLocale* locale = ops().currentLocale(nls());
  ASSERT_NE(locale, nullptr);
  EXPECT_EQ(ops().currentLocale(nls()), locale) << "one host-owned locale";
  const IntegerCase cases[] = {
      {u"0", kStatusOk, kStatusOk, 0},
      {u"42", kStatusOk, kStatusOk, 42},
      {u"+42", kStatusOk, kStatusOk, 42},
      {u"-42", kStatusOk, kStatusOk, -42},
      {u"007", kStatusOk, kStatusOk, 7},
      {u"2147483647", kStatusOk, kStatusOk, INT32_MAX},
      {u"-2147483648", kStatusOk, kStatusOk, INT32_MIN},
      {u" 42", kStatusNotANumber, kStatusOk, 42},
      {u"42  ", kStatusNotANumber, kStatusOk, 42},
      {u"  -5 ", kStatusNotANumber, kStatusOk, -5},
      {u"2147483648", kStatusDecimalOverflow, kStatusDecimalOverflow, 0},
      {u"-2147483649", kStatusDecimalOverflow, kStatusDecimalOverflow, 0},
      {u"99999999999999999999999", kStatusDecimalOverflow, kStatusDecimalOverflow, 0},
      {u"", kStatusNotANumber, kStatusNotANumber, 0},
      {u"   ", kStatusNotANumber, kStatusNotANumber, 0},
      {u"-", kStatusNotANumber, kStatusNotANumber, 0},
      {u"+-1", kStatusNotANumber, kStatusNotANumber, 0},
      {u"4 2", kStatusNotANumber, kStatusNotANumber, 0},
      {u"42x", kStatusNotANumber, kStatusNotANumber, 0},
      {u"4.0", kStatusNotANumber, kStatusNotANumber, 0},
      {u"0x10", kStatusNotANumber, kStatusNotANumber, 0},
      {u"\t42", kStatusNotANumber, kStatusNotANumber, 0},
      {u"\uFF14\uFF12", kStatusNotANumber, kStatusNotANumber, 0},  // full-width digits
      {u"- 4", kStatusNotANumber, kStatusNotANumber, 0},
  };
  for (const IntegerCase& c : cases) {
    std::u16string text(c.text);
    for (bool strict : {true, false}) {
      int32_t value = 1234;
      uint64_t scratch = 77;
      auto parse = strict ? locale->ops->parseIntegerStrict : locale->ops->parseInteger;
      KovaStatus status = parse(locale, text.data(), int64_t(text.size()), 0, &value, &scratch);
      KovaStatus expected = strict ? c.strict : c.lenient;
      EXPECT_EQ(status, expected) << (strict ? "strict " : "lenient ") << text.size();
      EXPECT_EQ(value, expected == kStatusOk ? c.value : 1234) << "refusals leave the value alone";
    }
  }
  int32_t value = 5;
  EXPECT_NE(locale->ops->parseInteger(locale, nullptr, 3, 0, &value, nullptr), kStatusOk);
  EXPECT_NE(locale->ops->parseIntegerStrict(locale, u"12", -1, 0, &value, nullptr), kStatusOk);
  EXPECT_EQ(value, 5);
}

}  // namespace
}  // namespace kova::runtime::nlstest
