// $CHAR and $ (character text), IEEE and IEEER (binary doubles in either
// byte order, full and short fields).
#include <cstring>
#include <random>

#include "tests/siblings/format_test_util.h"

namespace kova::runtime {
namespace {

class CharBinaryFormats : public FormatConversionTest {
 protected:
  // Runs a character format or informat; the output's capacity is given.
  std::u16string chars(KovaFormatObject* object, std::u16string_view text, int64_t capacity) {
    std::u16string out(static_cast<size_t>(capacity) + 4, u'#');
    object->input = text.data();
    object->inputLength = static_cast<int64_t>(text.size());
    object->output = out.data();
    object->outputCapacity = capacity;
    lastStatus_ = object->run(object, 0);
    EXPECT_EQ(out[static_cast<size_t>(capacity)], u'#') << "wrote past the capacity";
    out.resize(static_cast<size_t>(object->outputLength));
    return out;
  }

  std::vector<uint8_t> bytes(std::string_view name, double v, int32_t width, int64_t capacity = 8) {
    KovaFormatObject* format = object(name, kFormatLookupFormat, width);
    std::vector<uint8_t> out(static_cast<size_t>(capacity) + 2, 0xAA);
    format->input = &v;
    format->output = out.data();
    format->outputCapacity = capacity;
    lastStatus_ = format->run(format, 0);
    EXPECT_EQ(out[static_cast<size_t>(capacity)], 0xAA) << "wrote past the capacity";
    out.resize(static_cast<size_t>(format->outputLength));
    return out;
  }

  Reading fromBytes(std::string_view name, const std::vector<uint8_t>& field) {
    KovaFormatObject* informat = object(name, kFormatLookupInformat);
    informat->width = static_cast<int32_t>(field.size());
    informat->input = field.data();
    informat->inputLength = static_cast<int64_t>(field.size());
    double v = 99;
    informat->output = &v;
    const KovaStatus status = informat->run(informat, 0);
    return {status, v, informat->outputLength};
  }
};

TEST_F(CharBinaryFormats, CharKeepsEveryBlankAndDollarTrimsBothEnds) {
  KovaFormatObject* keep = object("$CHAR", kFormatLookupInformat);
  KovaFormatObject* trim = object("$", kFormatLookupInformat);
  EXPECT_EQ(chars(keep, u"  a b  ", 20), u"  a b  ");
  EXPECT_EQ(chars(trim, u"  a b  ", 20), u"a b");
  EXPECT_EQ(chars(trim, u"\ta\t", 20), u"a");
  EXPECT_EQ(chars(trim, u"     ", 20), u"");
  EXPECT_EQ(chars(keep, u"", 20), u"");
  EXPECT_EQ(chars(keep, u"h\u00e9\u4e2d\U0001F600", 20), u"h\u00e9\u4e2d\U0001F600");
  EXPECT_EQ(lastStatus_, kStatusOk);
}

TEST_F(CharBinaryFormats, CharactersAreCutToTheWidthAndTheCapacity) {
  KovaFormatObject* informat = object("$CHAR", kFormatLookupInformat, 4);
  EXPECT_EQ(chars(informat, u"abcdefgh", 20), u"abcd");
  EXPECT_EQ(chars(informat, u"abcdefgh", 3), u"abc");
  informat->width = 0;  // no width: only the capacity cuts
  EXPECT_EQ(chars(informat, u"abcdefgh", 6), u"abcdef");
  EXPECT_EQ(chars(informat, u"abcdefgh", 0), u"");
  KovaFormatObject* trim = object("$", kFormatLookupInformat, 5);
  EXPECT_EQ(chars(trim, u"   abcdef", 20), u"ab");  // the field is the first 5 characters
  // The formats copy text the same way.
  KovaFormatObject* format = object("$CHAR", kFormatLookupFormat, 5);
  EXPECT_EQ(chars(format, u" abc   ", 10), u" abc ");
  KovaFormatObject* dollar = object("$", kFormatLookupFormat);
  EXPECT_EQ(chars(dollar, u" abc   ", 10), u" abc   ");
  EXPECT_EQ(lastStatus_, kStatusOk);
}

TEST_F(CharBinaryFormats, IeeeWritesMostSignificantByteFirstAndIeeerLeast) {
  // 1.0 is 3F F0 00 00 00 00 00 00; -2.5 is C0 04 00 ...
  EXPECT_EQ(bytes("IEEE", 1.0, 8), (std::vector<uint8_t>{0x3F, 0xF0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(bytes("IEEER", 1.0, 8), (std::vector<uint8_t>{0, 0, 0, 0, 0, 0, 0xF0, 0x3F}));
  EXPECT_EQ(bytes("IEEE", -2.5, 0), (std::vector<uint8_t>{0xC0, 0x04, 0, 0, 0, 0, 0, 0}));
  // Short fields keep the high-order bytes.
  EXPECT_EQ(bytes("IEEE", -2.5, 2), (std::vector<uint8_t>{0xC0, 0x04}));
  EXPECT_EQ(bytes("IEEER", -2.5, 3), (std::vector<uint8_t>{0, 0x04, 0xC0}));
  EXPECT_EQ(bytes("IEEE", 1.0, 12, 12).size(), 8u);  // never more than the double
  EXPECT_EQ(bytes("IEEE", 1.0, 8, 4), (std::vector<uint8_t>{0x3F, 0xF0, 0, 0}));
  EXPECT_TRUE(bytes("IEEE", 1.0, 8, 0).empty());
  EXPECT_EQ(lastStatus_, kStatusBufferTooSmall);
  // Missing values travel as their bit pattern.
  EXPECT_EQ(bytes("IEEER", std::bit_cast<double>(kMissingPattern), 8),
            (std::vector<uint8_t>{0, 0, 0, 0, 0, 0xD1, 0xFF, 0xFF}));
}

TEST_F(CharBinaryFormats, IeeeFieldsReadBackInBothOrdersAndEveryLength) {
  std::mt19937_64 random(11);
  for (int i = 0; i < 2000; ++i) {
    const uint64_t bits = random();
    const double v = std::bit_cast<double>(bits);
    for (int width = 1; width <= 8; ++width) {
      const uint64_t kept = width == 8 ? bits : bits & ~(~0ull >> (8 * width));
      for (std::string_view name : {"IEEE", "IEEER"}) {
        const Reading back = fromBytes(name, bytes(name, v, width));
        ASSERT_TRUE(back.ok());
        ASSERT_EQ(std::bit_cast<uint64_t>(back.value), kept) << name << width;
      }
    }
  }
}

TEST_F(CharBinaryFormats, IeeeInformatsTakeTheFirstEightBytesAndReadEmptyAsMissing) {
  EXPECT_EQ(fromBytes("IEEE", {0x40, 0x59, 0, 0, 0, 0, 0, 0, 0x77, 0x77}).value, 100.0);
  EXPECT_EQ(fromBytes("IEEER", {0, 0, 0, 0, 0, 0, 0x59, 0x40, 0x77}).value, 100.0);
  EXPECT_EQ(fromBytes("IEEE", {0x40, 0x59}).value, 100.0);
  EXPECT_EQ(fromBytes("IEEER", {0x59, 0x40}).value, 100.0);
  const Reading empty = fromBytes("IEEE", {});
  EXPECT_TRUE(empty.ok());
  EXPECT_EQ(std::bit_cast<uint64_t>(empty.value), kMissingPattern);
}

}  // namespace
}  // namespace kova::runtime
