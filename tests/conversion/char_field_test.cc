// Character and binary fields: the null rules, copies cut to the value area
// or to the column's character length, transcoded columns and character
// informats, and the scratch buffers those need.
#include <string>

#include "src/ripper/convert_value.h"
#include "src/ripper/operations.h"
#include "tests/conversion/conversion_test_util.h"

namespace kova::testing {
namespace {

class CharFieldTest : public ConversionTest {
 protected:
  // A typed DELIMITED ripper with one character column.
  KovaRipper* charRipper(int64_t charlength, int64_t bytelength, int32_t cei = 0,
                         uint32_t type = kTypeVarchar) {
    KovaObject* table = newTable(kRecfmDelimited);
    KovaColumn* column = addColumn(table, u"s", type, charlength, bytelength);
    column->cei = cei;
    return bound(table);
  }
};

TEST_F(CharFieldTest, NullTextAndEmptyFields) {
  KovaObject* table = newTable(kRecfmDelimited);
  addColumn(table, u"s", kTypeVarchar, 0, 8);
  addColumn(table, u"x", kTypeDouble);
  KovaColumn* gone = addColumn(table, u"gone", kTypeInt);
  gone->dropped = 1;
  KovaRipper* ripper = bound(table);
  ASSERT_NE(ripper, nullptr);
  auto row = newRow(ripper);

  convert(ripper, row, 0, "ab");
  ASSERT_EQ(indicator(ripper, row, 0), 2);
  convert(ripper, row, 0, "\\N");
  EXPECT_EQ(indicator(ripper, row, 0), -1);
  convert(ripper, row, 0, "\\N ");  // one byte more: text
  EXPECT_EQ(indicator(ripper, row, 0), 3);
  EXPECT_EQ(value(ripper, row, 0, 3), "\\N ");
  convert(ripper, row, 0, "");
  EXPECT_EQ(indicator(ripper, row, 0), -1);
  convert(ripper, row, 1, "\\N");
  EXPECT_EQ(indicator(ripper, row, 1), -1);

  // A dropped column and a field past the last column change nothing.
  const auto before = row;
  convert(ripper, row, 2, "7");
  convert(ripper, row, 3, "7");
  convert(ripper, row, 99, "7");
  EXPECT_EQ(row, before);

  // Outside DELIMITED tables "\N" is ordinary text.
  KovaObject* clf = newTable(kRecfmClf);
  addColumn(clf, u"s", kTypeVarchar, 0, 8);
  KovaRipper* clfRipper = bound(clf);
  ASSERT_NE(clfRipper, nullptr);
  auto clfRow = newRow(clfRipper);
  convert(clfRipper, clfRow, 0, "\\N");
  EXPECT_EQ(indicator(clfRipper, clfRow, 0), 2);
}

TEST_F(CharFieldTest, RowImageFieldsArePaddedAndNullsKeepTheClearedRow) {
  host().setOption(u"ZRNLS.KPA_SESSION_CEI", kEncodingUtf8);
  KovaObject* table = newTable(kRecfmDelimited);
  addColumn(table, u"c", kTypeChar, 0, 5);
  addColumn(table, u"x", kTypeDouble);
  KovaRipper* ripper = bound(table, kRipperRowImage);
  ASSERT_NE(ripper, nullptr);
  auto row = newRow(ripper);

  convert(ripper, row, 0, "ab");
  EXPECT_EQ(imageValue(ripper, row, 0), "ab   ");
  convert(ripper, row, 1, "2.5");
  EXPECT_EQ(imageNumber(ripper, row, 1), 2.5);

  // "\N" leaves what the slot holds; an empty field blanks or misses it.
  convert(ripper, row, 0, "\\N");
  convert(ripper, row, 1, "\\N");
  EXPECT_EQ(imageValue(ripper, row, 0), "ab   ");
  EXPECT_EQ(imageNumber(ripper, row, 1), 2.5);
  convert(ripper, row, 0, "");
  convert(ripper, row, 1, "");
  EXPECT_EQ(imageValue(ripper, row, 0), "     ");
  EXPECT_EQ(imageValue(ripper, row, 1), std::string("\0\0\0\0\0\xD1\xFF\xFF", 8));

  // A number that cannot be read is the missing value too.
  convert(ripper, row, 1, "x1");
  EXPECT_EQ(imageValue(ripper, row, 1), std::string("\0\0\0\0\0\xD1\xFF\xFF", 8));
  convert(ripper, row, 0, "abcdefg");
  EXPECT_EQ(imageValue(ripper, row, 0), "abcde");
  EXPECT_EQ(ripper->truncations, 1u);
}

TEST_F(CharFieldTest, ValueLongerThanItsAreaIsCutAndCounted) {
  KovaRipper* ripper = charRipper(0, 8, 0, kTypeChar);
  ASSERT_NE(ripper, nullptr);
  auto row = newRow(ripper);
  convert(ripper, row, 0, "0123456789");
  EXPECT_EQ(indicator(ripper, row, 0), 8);
  EXPECT_EQ(value(ripper, row, 0), "01234567");
  EXPECT_EQ(ripper->truncations, 1u);
  convert(ripper, row, 0, "01234567");
  EXPECT_EQ(ripper->truncations, 1u);

  // A UTF-8 row never ends inside a character: "abcdefg" and the
  // three-byte euro sign would cross the eighth byte.
  convert(ripper, row, 0, "abcdefg\xE2\x82\xAC");
  EXPECT_EQ(indicator(ripper, row, 0), 7);
  EXPECT_EQ(ripper->truncations, 2u);
}

TEST_F(CharFieldTest, Utf8ValuesAreCutOnCharacters) {
  KovaRipper* ripper = charRipper(3, 0);
  ASSERT_NE(ripper, nullptr);
  ASSERT_EQ(entry(ripper, 0).octetLength, 12u);
  auto row = newRow(ripper);
  convert(ripper, row, 0, "h\xC3\xA9llo");
  EXPECT_EQ(indicator(ripper, row, 0), 4);
  EXPECT_EQ(value(ripper, row, 0, 4), "h\xC3\xA9l");
  EXPECT_EQ(ripper->truncations, 1u);

  // Three characters are kept whole however many bytes they take.
  convert(ripper, row, 0, "\xE2\x82\xAC\xC3\xA9\xF0\x9F\x98\x80");
  EXPECT_EQ(indicator(ripper, row, 0), 9);
  EXPECT_EQ(ripper->truncations, 1u);

  // A lead byte that claims more bytes than the field has takes what is
  // left, and nothing past the field is read.
  convert(ripper, row, 0, "ab\xF0\x9F");
  EXPECT_EQ(indicator(ripper, row, 0), 4);
  EXPECT_EQ(value(ripper, row, 0, 4), "ab\xF0\x9F");

  // A character that would cross the value area is left out, and counted.
  KovaRipper* narrow = charRipper(3, 5);
  ASSERT_NE(narrow, nullptr);
  auto narrowRow = newRow(narrow);
  convert(narrow, narrowRow, 0,
          "ab\xE2\x82\xAC"
          "cd");
  EXPECT_EQ(indicator(narrow, narrowRow, 0), 5);
  convert(narrow, narrowRow, 0, "abc\xE2\x82\xAC");  // the cut character is the fourth
  EXPECT_EQ(indicator(narrow, narrowRow, 0), 3);
  convert(narrow, narrowRow, 0, "a\xF0\x9F\x98\x80z");  // bytes run out before characters
  EXPECT_EQ(indicator(narrow, narrowRow, 0), 5);
  convert(narrow, narrowRow, 0, "ab\xF0\x9F\x98\x80");  // 6 bytes, 3 characters, room for 5
  EXPECT_EQ(indicator(narrow, narrowRow, 0), 2);
  EXPECT_EQ(narrow->truncations, 4u);
}

TEST_F(CharFieldTest, SixteenBitRowsAreCutOnUnitsButNotInsidePairs) {
  // A column kept as 16-bit text: the field goes through wideInput.
  KovaRipper* ripper = charRipper(2, 0, kEncodingWide);
  ASSERT_NE(ripper, nullptr);
  ASSERT_NE(state(ripper, 0).directTranscoder, nullptr);
  auto row = newRow(ripper);
  convert(ripper, row, 0, "xyz");
  EXPECT_EQ(indicator(ripper, row, 0), 4);
  EXPECT_EQ(value(ripper, row, 0, 4), std::string("x\0y\0", 4));
  EXPECT_EQ(ripper->truncations, 1u);
  EXPECT_EQ(ripper->wideInputCapacity, 3u);

  convert(ripper, row, 0, "a\xF0\x9F\x98\x80z");  // a, a surrogate pair, z
  EXPECT_EQ(indicator(ripper, row, 0), 2);
  EXPECT_EQ(value(ripper, row, 0, 2), std::string("a\0", 2));
  EXPECT_EQ(ripper->truncations, 2u);
  EXPECT_EQ(ripper->wideInputCapacity, 6u);
}

TEST_F(CharFieldTest, DirectTranscodingCutsWhatDoesNotFit) {
  // ISO-8859-1 rows from UTF-8 fields.
  KovaRipper* ripper = charRipper(0, 4, 1);
  ASSERT_NE(ripper, nullptr);
  ASSERT_NE(state(ripper, 0).directTranscoder, nullptr);
  auto row = newRow(ripper);
  convert(ripper, row, 0, "\xC3\xA9t\xC3\xA9");
  EXPECT_EQ(indicator(ripper, row, 0), 3);
  EXPECT_EQ(value(ripper, row, 0, 3), "\xE9t\xE9");
  EXPECT_EQ(ripper->truncations, 0u);

  // Too long for the area: the whole characters that fit, counted once.
  convert(ripper, row, 0, "\xC3\xA9t\xC3\xA9s d'ici");
  EXPECT_EQ(indicator(ripper, row, 0), 4);
  EXPECT_EQ(value(ripper, row, 0), "\xE9t\xE9s");
  EXPECT_EQ(ripper->truncations, 1u);

  // Into UTF-16 rows a pair that does not fit whole is left out.
  KovaRipper* wide = charRipper(0, 6, 21);
  ASSERT_NE(wide, nullptr);
  auto wideRow = newRow(wide);
  convert(wide, wideRow, 0, "ab\xF0\x9F\x98\x80");
  EXPECT_EQ(indicator(wide, wideRow, 0), 4);
  EXPECT_EQ(wide->truncations, 1u);
}

TEST_F(CharFieldTest, AsciiFieldsSkipOnlyTranscodersThatKeepAscii) {
  // Into ISO-8859-1 rows an ASCII field is stored as it is; into EBCDIC rows
  // it is still transcoded; both cut and count as before.
  KovaRipper* latin = charRipper(0, 4, 1);
  KovaRipper* ebcdic = charRipper(0, 4, 50);
  ASSERT_NE(latin, nullptr);
  ASSERT_NE(ebcdic, nullptr);
  auto row = newRow(latin);
  convert(latin, row, 0, "Ab1");
  EXPECT_EQ(indicator(latin, row, 0), 3);
  EXPECT_EQ(value(latin, row, 0, 3), "Ab1");
  convert(latin, row, 0, "abcdefg");
  EXPECT_EQ(value(latin, row, 0), "abcd");
  EXPECT_EQ(latin->truncations, 1u);
  convert(latin, row, 0, "a\xC3\xA9");
  EXPECT_EQ(indicator(latin, row, 0), 2);
  EXPECT_EQ(value(latin, row, 0, 2), "a\xE9");
  auto ebcdicRow = newRow(ebcdic);
  convert(ebcdic, ebcdicRow, 0, "AB");
  EXPECT_EQ(value(ebcdic, ebcdicRow, 0, 2), "\xC1\xC2");
}

TEST_F(CharFieldTest, CharacterInformatConvertsColumnsWithoutALength) {
  KovaRipper* ripper = charRipper(0, 6);
  ASSERT_NE(ripper, nullptr);
  StandInInformat upper(StandInInformat::Kind::kText);
  state(ripper, 0).formatObject = &upper.object;
  auto row = newRow(ripper);

  convert(ripper, row, 0, "d\xC3\xA9j\xC3\xA0");
  EXPECT_EQ(upper.seenWidth, 4);
  EXPECT_EQ(upper.seenInput, u"d\u00e9j\u00e0");
  EXPECT_EQ(indicator(ripper, row, 0), 6);
  EXPECT_EQ(value(ripper, row, 0), "D\xC3\xA9J\xC3\xA0");
  EXPECT_EQ(ripper->wideScratchSize, 1024u);
  EXPECT_EQ(ripper->wideInputCapacity, 6u);

  // Output that does not fit the area is cut on characters.
  convert(ripper, row, 0, "abcd\xC3\xA9");
  EXPECT_EQ(indicator(ripper, row, 0), 6);
  EXPECT_EQ(ripper->truncations, 0u);
  convert(ripper, row, 0, "abcde\xC3\xA9");
  EXPECT_EQ(indicator(ripper, row, 0), 5);
  EXPECT_EQ(value(ripper, row, 0, 5), "ABCDE");
  EXPECT_EQ(ripper->truncations, 1u);
  // A surrogate pair is kept whole or left out, never split: the emoji's
  // four bytes do not fit after "ABC" in six, and do in seven.
  convert(ripper, row, 0,
          "abc\xF0\x9F\x98\x80"
          "d");
  EXPECT_EQ(indicator(ripper, row, 0), 3);
  EXPECT_EQ(value(ripper, row, 0, 3), "ABC");
  EXPECT_EQ(ripper->truncations, 2u);
  KovaRipper* seven = charRipper(0, 7);
  ASSERT_NE(seven, nullptr);
  state(seven, 0).formatObject = &upper.object;
  auto sevenRow = newRow(seven);
  convert(seven, sevenRow, 0,
          "abc\xF0\x9F\x98\x80"
          "d");
  EXPECT_EQ(indicator(seven, sevenRow, 0), 7);
  EXPECT_EQ(value(seven, sevenRow, 0, 7), "ABC\xF0\x9F\x98\x80");
  convert(seven, sevenRow, 0, "\xF0\x9F\x98\x80\xF0\x9F\x98\x80");
  EXPECT_EQ(indicator(seven, sevenRow, 0), 4);

  // A failing informat stores an empty value, not an earlier field's length.
  upper.failWith = kStatusNotSupported;
  convert(ripper, row, 0, "xyz");
  EXPECT_EQ(indicator(ripper, row, 0), 0);

  // A column with a character length is cut, never passed to its informat.
  KovaRipper* limited = charRipper(2, 0);
  ASSERT_NE(limited, nullptr);
  StandInInformat unused(StandInInformat::Kind::kText);
  state(limited, 0).formatObject = &unused.object;
  auto limitedRow = newRow(limited);
  convert(limited, limitedRow, 0, "xyz");
  EXPECT_EQ(value(limited, limitedRow, 0, 2), "xy");
  EXPECT_EQ(unused.seenWidth, -1);
}

TEST_F(CharFieldTest, ScratchBuffersThatCannotGrowAreLoggedAndGiveNull) {
  KovaRipper* ripper = charRipper(2, 0, kEncodingWide);
  ASSERT_NE(ripper, nullptr);
  auto row = newRow(ripper);
  host().failAllocation(1);
  convert(ripper, row, 0, "abcdef");
  host().clearFailure();
  EXPECT_TRUE(diagnostics().contains(
      "[charInformat[1]] : Failed to allocate memory. Space requested=[12]", kLogError));
  EXPECT_EQ(indicator(ripper, row, 0), -1);
  EXPECT_EQ(ripper->wideInputCapacity, 0u);
  convert(ripper, row, 0, "abcdef");  // grows now
  EXPECT_EQ(indicator(ripper, row, 0), 4);

  KovaRipper* informat = charRipper(0, 2000);
  ASSERT_NE(informat, nullptr);
  StandInInformat upper(StandInInformat::Kind::kText);
  state(informat, 0).formatObject = &upper.object;
  auto informatRow = newRow(informat);
  host().failAllocation(1);
  convert(informat, informatRow, 0, "abc");
  host().clearFailure();
  EXPECT_TRUE(diagnostics().contains(
      "[charInformat[2]] : Failed to allocate memory. Space requested=[6]", kLogError));
  EXPECT_EQ(indicator(informat, informatRow, 0), -1);

  host().failAllocation(2);  // wideInput grows, wideScratch does not
  convert(informat, informatRow, 0, "abc");
  host().clearFailure();
  EXPECT_TRUE(diagnostics().contains(
      "[charInformat[3]] : Failed to allocate memory. Space requested=[4096]", kLogError));
  EXPECT_EQ(indicator(informat, informatRow, 0), -1);
  convert(informat, informatRow, 0, "abc");
  EXPECT_EQ(indicator(informat, informatRow, 0), 3);
  EXPECT_EQ(informat->wideScratchSize, 4096u);
}

}  // namespace
}  // namespace kova::testing
