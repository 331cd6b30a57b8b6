// 16-bit text values into typed and row-image rows: every SQL type of the
// layout, informats over 16-bit text, the missing-value indicators and the
// scratch buffer the character informat needs.
#include <bit>
#include <cmath>
#include <string>

#include "src/convert/decimal.h"
#include "src/convert/missing.h"
#include "src/ripper/convert_value.h"
#include "tests/conversion/conversion_test_util.h"

namespace kova::testing {
namespace {

// A numeric informat that reads "." "_" and "A".."Z" as those missing
// values and anything else as a number.
KovaStatus readMissingCodes(KovaFormatObject* object, int32_t) {
  const auto* text = static_cast<const char16_t*>(object->input);
  double value = 0;
  if (object->inputLength == 1 && missingBitsFor(char(text[0])) != 0) {
    value = std::bit_cast<double>(missingBitsFor(char(text[0])));
  } else {
    std::string narrow(text, text + object->inputLength);
    value = std::strtod(narrow.c_str(), nullptr);
  }
  std::memcpy(object->output, &value, 8);
  object->outputLength = 8;
  return kStatusOk;
}

class WideValueTest : public ConversionTest {
 protected:
  void put(KovaRipper* ripper, std::vector<uint8_t>& row, uint32_t column,
           std::u16string_view text) {
    // A heap copy of exactly the text's size: a read past it is caught.
    std::u16string copy(text);
    EXPECT_EQ(convertWideValue(ripper, row.data(), column, copy.data(), int64_t(copy.size())),
              kStatusOk);
  }
  static uint64_t bits(double x) { return std::bit_cast<uint64_t>(x); }
};

TEST_F(WideValueTest, IntegersAreReadStoredInTheirWidthOrNullAndCounted) {
  KovaObject* table = newTable(kRecfmDelimited);
  addColumn(table, u"i8", kTypeTinyint);
  addColumn(table, u"i16", kTypeSmallint);
  addColumn(table, u"i32", kTypeInt);
  addColumn(table, u"i64", kTypeBigint);
  KovaRipper* ripper = bound(table);
  ASSERT_NE(ripper, nullptr);
  auto row = newRow(ripper);

  put(ripper, row, 2, u"12");
  EXPECT_EQ(valueAs<int32_t>(ripper, row, 2), 12);
  EXPECT_EQ(indicator(ripper, row, 2), 4);
  put(ripper, row, 0, u"-128");
  EXPECT_EQ(valueAs<int8_t>(ripper, row, 0), -128);
  EXPECT_EQ(indicator(ripper, row, 0), 1);
  put(ripper, row, 1, u"-32768");
  EXPECT_EQ(valueAs<int16_t>(ripper, row, 1), -32768);
  put(ripper, row, 3, u"-9223372036854775808");
  EXPECT_EQ(valueAs<int64_t>(ripper, row, 3), std::numeric_limits<int64_t>::min());
  EXPECT_EQ(indicator(ripper, row, 3), 8);
  EXPECT_EQ(ripper->truncations, 0u);

  // Not a number, too large for the slot, too large for 64 bits: null,
  // counted, the slot's old value never shown as present.
  put(ripper, row, 2, u"x");
  EXPECT_EQ(indicator(ripper, row, 2), -1);
  put(ripper, row, 0, u"128");
  EXPECT_EQ(indicator(ripper, row, 0), -1);
  put(ripper, row, 3, u"9223372036854775808");
  EXPECT_EQ(indicator(ripper, row, 3), -1);
  put(ripper, row, 1, u"1.5");
  EXPECT_EQ(indicator(ripper, row, 1), -1);
  EXPECT_EQ(ripper->truncations, 4u);
  // An empty text is a null, not a refused number.
  put(ripper, row, 1, u"");
  EXPECT_EQ(indicator(ripper, row, 1), -1);
  EXPECT_EQ(ripper->truncations, 4u);

  // Through an informat: its double truncated toward zero; its missing
  // value ends as null.
  StandInInformat reader(StandInInformat::Kind::kDouble);
  state(ripper, 2).formatObject = &reader.object;
  put(ripper, row, 2, u"-3.7");
  EXPECT_EQ(valueAs<int32_t>(ripper, row, 2), -3);
  EXPECT_EQ(indicator(ripper, row, 2), 4);
  EXPECT_EQ(reader.seenInput, u"-3.7");
  EXPECT_EQ(reader.seenWidth, 4);
  put(ripper, row, 2, u"1e300");
  EXPECT_EQ(indicator(ripper, row, 2), -1);
  EXPECT_EQ(ripper->truncations, 5u);
  put(ripper, row, 2, u"abc");
  EXPECT_EQ(indicator(ripper, row, 2), -1);
}

TEST_F(WideValueTest, DoublesDatesAndTheirMissingIndicators) {
  for (uint32_t flags : {0u, kRipperNullAsMissing}) {
    KovaObject* table = newTable(kRecfmDelimited);
    addColumn(table, u"x", kTypeDouble);
    addColumn(table, u"d", kTypeDate);
    KovaRipper* ripper = bound(table, flags);
    ASSERT_NE(ripper, nullptr);
    auto row = newRow(ripper);

    put(ripper, row, 0, u" -2.5e3");
    EXPECT_EQ(valueAs<double>(ripper, row, 0), -2500.0);
    EXPECT_EQ(indicator(ripper, row, 0), 8);
    // A refused text is the missing value, never what the slot held.
    put(ripper, row, 0, u"2,5");
    EXPECT_EQ(bits(valueAs<double>(ripper, row, 0)), kMissingBits);
    EXPECT_EQ(indicator(ripper, row, 0), flags ? -88 : -1);
    EXPECT_EQ(ripper->truncations, 1u);

    StandInInformat codes(StandInInformat::Kind::kDouble);
    codes.object.run = readMissingCodes;
    state(ripper, 0).formatObject = &codes.object;
    state(ripper, 1).formatObject = &codes.object;
    const struct {
      std::u16string_view text;
      int64_t asMissing;
    } cases[] = {{u".", -88}, {u"_", -89}, {u"A", -87}, {u"Z", -62}, {u"B", -86}};
    for (const auto& c : cases) {
      put(ripper, row, 0, c.text);
      EXPECT_EQ(indicator(ripper, row, 0), flags ? c.asMissing : -1) << u8(c.text);
      EXPECT_EQ(bits(valueAs<double>(ripper, row, 0)), missingBitsFor(char(c.text[0])));
      // Only DOUBLE columns keep the kind of missing value.
      put(ripper, row, 1, c.text);
      EXPECT_EQ(indicator(ripper, row, 1), -1);
    }
    put(ripper, row, 1, u"731");
    EXPECT_EQ(valueAs<double>(ripper, row, 1), 731.0);
    EXPECT_EQ(indicator(ripper, row, 1), 8);
  }
}

TEST_F(WideValueTest, CharacterValuesAreCutOnCharactersAndCounted) {
  // A UTF-16 row: the text is copied, cut to the slot.
  KovaObject* table = newTable(kRecfmDelimited);
  KovaColumn* wide = addColumn(table, u"w", kTypeVarchar, 0, 10);
  wide->cei = kEncodingWide;
  KovaColumn* utf8 = addColumn(table, u"u", kTypeVarchar, 0, 4);
  utf8->cei = kEncodingUtf8;
  KovaColumn* limited = addColumn(table, u"l", kTypeChar, 3, 0);
  limited->cei = kEncodingUtf8;
  KovaRipper* ripper = bound(table);
  ASSERT_NE(ripper, nullptr);
  ASSERT_EQ(state(ripper, 0).fromWide, nullptr);
  auto row = newRow(ripper);

  put(ripper, row, 0, u"abcdefg");
  EXPECT_EQ(indicator(ripper, row, 0), 10);
  EXPECT_EQ(value(ripper, row, 0), std::string("a\0b\0c\0d\0e\0", 10));
  EXPECT_EQ(ripper->truncations, 1u);
  // A surrogate pair is never split.
  put(ripper, row, 0, u"abcd\U0001F600");
  EXPECT_EQ(indicator(ripper, row, 0), 8);
  EXPECT_EQ(ripper->truncations, 2u);

  // Transcoded to UTF-8: whole characters that fit.
  put(ripper, row, 1, u"d\u00e9j");
  EXPECT_EQ(indicator(ripper, row, 1), 4);
  EXPECT_EQ(value(ripper, row, 1), "d\xC3\xA9j");
  put(ripper, row, 1, u"\u00e9\u00e9\u00e9");
  EXPECT_EQ(indicator(ripper, row, 1), 4);
  EXPECT_EQ(value(ripper, row, 1), "\xC3\xA9\xC3\xA9");
  EXPECT_EQ(ripper->truncations, 3u);
  put(ripper, row, 1, u"");
  EXPECT_EQ(indicator(ripper, row, 1), 0);

  // The column's character length cuts as in delimited fields.
  put(ripper, row, 2, u"\u00e9xyz");
  EXPECT_EQ(value(ripper, row, 2, size_t(indicator(ripper, row, 2))), "\xC3\xA9xy");
  EXPECT_EQ(ripper->truncations, 4u);
}

TEST_F(WideValueTest, CharacterInformatGrowsScratchAndFailsToANull) {
  KovaObject* table = newTable(kRecfmDelimited);
  addColumn(table, u"s", kTypeVarchar, 0, 600)->cei = kEncodingUtf8;
  KovaRipper* ripper = bound(table);
  ASSERT_NE(ripper, nullptr);
  StandInInformat upper(StandInInformat::Kind::kText);
  state(ripper, 0).formatObject = &upper.object;
  auto row = newRow(ripper);

  host().failAllocation(1);
  put(ripper, row, 0, u"abc");
  host().clearFailure();
  EXPECT_TRUE(diagnostics().contains(
      "[charInformatZRChars] : Failed to allocate memory. Space requested=[2048]", kLogError));
  EXPECT_EQ(indicator(ripper, row, 0), -1);
  EXPECT_EQ(upper.seenWidth, -1);

  put(ripper, row, 0, u"d\u00e9j\u00e0");
  EXPECT_EQ(upper.seenWidth, 4);
  EXPECT_EQ(upper.seenInput, u"d\u00e9j\u00e0");
  EXPECT_EQ(indicator(ripper, row, 0), 6);
  EXPECT_EQ(value(ripper, row, 0, 6), "D\xC3\xA9J\xC3\xA0");
  EXPECT_EQ(ripper->wideScratchSize, 2048u);
}

TEST_F(WideValueTest, DecimalsAreParsedIntoTheirRecord) {
  KovaObject* table = newTable(kRecfmDelimited);
  addColumn(table, u"amount", kTypeDecimal, 5, 2);
  KovaRipper* ripper = bound(table);
  ASSERT_NE(ripper, nullptr);
  auto row = newRow(ripper);

  put(ripper, row, 0, u"-12.5");
  EXPECT_EQ(indicator(ripper, row, 0), kDecimalSize);
  DecimalValue expected;
  ASSERT_EQ(parseDecimal("-12.50", 6, false, 5, 2, &expected), kStatusOk);
  EXPECT_EQ(value(ripper, row, 0, kDecimalSize),
            std::string(reinterpret_cast<const char*>(&expected), kDecimalSize));

  for (std::u16string_view bad : {u"abc", u"1\u00e9", u"12345.6"}) {
    put(ripper, row, 0, bad);
    EXPECT_EQ(indicator(ripper, row, 0), -1) << u8(bad);
  }
  EXPECT_EQ(ripper->truncations, 3u);
}

TEST_F(WideValueTest, RowImageSlotsArePaddedAndNumbersMissingWhenUnread) {
  host().setOption(u"ZRNLS.KPA_SESSION_CEI", kEncodingUtf8);
  KovaObject* table = newTable(kRecfmDelimited);
  addColumn(table, u"c", kTypeChar, 0, 8);
  addColumn(table, u"x", kTypeDouble);
  addColumn(table, u"s", kTypeChar, 0, 4);
  KovaRipper* ripper = bound(table, kRipperRowImage);
  ASSERT_NE(ripper, nullptr);
  auto row = newRow(ripper);

  put(ripper, row, 0, u"\u00e9");
  EXPECT_EQ(imageValue(ripper, row, 0), "\xC3\xA9      ");
  put(ripper, row, 1, u"2.5");
  EXPECT_EQ(imageNumber(ripper, row, 1), 2.5);
  put(ripper, row, 1, u"two");
  EXPECT_EQ(bits(imageNumber(ripper, row, 1)), kMissingBits);

  // Scratch that cannot grow leaves the slot's blanks.
  StandInInformat upper(StandInInformat::Kind::kText);
  state(ripper, 2).formatObject = &upper.object;
  host().failAllocation(1);
  put(ripper, row, 2, u"ab");
  host().clearFailure();
  EXPECT_EQ(imageValue(ripper, row, 2), "    ");
  put(ripper, row, 2, u"ab");
  EXPECT_EQ(imageValue(ripper, row, 2), "AB  ");
}

// Plain integer texts are read without the locale's reader: every text,
// plain or not, must give the value, indicator and count the reader gives.
TEST_F(WideValueTest, IntegersReadInPlaceMatchTheLocaleReader) {
  KovaObject* table = newTable(kRecfmDelimited);
  addColumn(table, u"i64", kTypeBigint);
  KovaRipper* ripper = bound(table);
  ASSERT_NE(ripper, nullptr);
  ASSERT_NE(ripper->locale, nullptr);
  auto row = newRow(ripper);
  std::vector<std::u16string> texts = {u"0",
                                       u"-0",
                                       u"7",
                                       u"-7",
                                       u"+7",
                                       u" 7",
                                       u"7 ",
                                       u"007",
                                       u"-",
                                       u"+",
                                       u"--1",
                                       u"1-",
                                       u"1.0",
                                       u"1e3",
                                       u"\uFF11",
                                       u"999999999999999999",
                                       u"-999999999999999999",
                                       u"1000000000000000000",
                                       u"9223372036854775807",
                                       u"-9223372036854775808",
                                       u"9223372036854775808",
                                       u"-9223372036854775809",
                                       u"00000000000000000000001",
                                       u"12a",
                                       u"/",
                                       u":"};
  uint64_t seed = 7;
  for (int i = 0; i < 2000; ++i) {
    seed = seed * 6364136223846793005ull + 1442695040888963407ull;
    std::u16string text;
    if ((seed >> 60) & 1) text += u'-';
    const int digits = 1 + int((seed >> 33) % 21);
    for (int d = 0; d < digits; ++d) text += char16_t(u'0' + (seed >> (d % 40)) % 10);
    texts.push_back(text);
  }
  for (const std::u16string& text : texts) {
    int64_t expected = 0;
    uint64_t scratch = 0;
    const bool readable =
        ripper->locale->ops->readWideInteger(ripper->locale, text.data(), int64_t(text.size()), 0,
                                             &expected, &scratch) == kStatusOk;
    const uint32_t truncations = ripper->truncations;
    put(ripper, row, 0, text);
    SCOPED_TRACE(std::string(text.begin(), text.end()));
    if (readable) {
      EXPECT_EQ(indicator(ripper, row, 0), 8);
      EXPECT_EQ(valueAs<int64_t>(ripper, row, 0), expected);
      EXPECT_EQ(ripper->truncations, truncations);
    } else {
      EXPECT_EQ(indicator(ripper, row, 0), -1);
      EXPECT_EQ(ripper->truncations, truncations + 1);
    }
  }
}

TEST_F(WideValueTest, DroppedBinaryAndUnknownColumnsAreLeftAlone) {
  KovaObject* table = newTable(kRecfmDelimited);
  addColumn(table, u"b", kTypeBinary, 0, 4);
  addColumn(table, u"gone", kTypeInt)->dropped = 1;
  KovaRipper* ripper = bound(table);
  ASSERT_NE(ripper, nullptr);
  auto row = newRow(ripper);
  const auto before = row;
  put(ripper, row, 0, u"abcd");
  put(ripper, row, 1, u"7");
  put(ripper, row, 2, u"7");
  EXPECT_EQ(row, before);
}

}  // namespace
}  // namespace kova::testing
