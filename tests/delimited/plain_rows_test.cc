// Rows of plain text fields read in one pass against the record loop alone:
// generated inputs mixing plain rows with the fields and line ends the
// record loop must take over (qualifiers, CRs, empty and long fields, "\N",
// short and long records), ripped whole and at every block cut.
#include <random>
#include <string>
#include <vector>

#include "src/ripper/column_settings.h"
#include "src/ripper/field_plan.h"
#include "src/ripper/plain_rows.h"
#include "tests/delimited/delimited_fixture.h"

namespace kova::testing {
namespace {

std::string field(std::mt19937& random, char separator) {
  static const char* const kLetters = "abcdefghij";
  std::string text;
  switch (random() % 15) {
    case 0:
      return "";
    case 1:
      return "\\N";
    case 2:
      return "\"q" + std::string(1, separator) + "r\"";  // the separator inside
    case 3:
      return "\"a\r\nb\"\"c\"";  // a line end and a doubled qualifier inside
    case 4:
      return "x\"y";  // a qualifier inside a plain field is text
    case 5:
      return std::string(20 + random() % 60, 'L');  // past the narrow columns
    case 6:
      return "\xC3\xA9t\xC3\xA9";
    case 7:
      return std::string(130, 'W');  // whole 64-byte windows without a stop
    default:
      for (size_t n = 1 + random() % 12; n > 0; --n) text += kLetters[random() % 10];
      return text;
  }
}

// Records of columns fields, with now and then one field too few or too
// many, and LF, CR LF, CR or an empty line after them.
std::string records(std::mt19937& random, int columns, char separator, int count) {
  std::string input;
  for (int r = 0; r < count; ++r) {
    int fields = columns;
    if (random() % 9 == 0) fields += random() % 2 ? 1 : -1;
    for (int c = 0; c < fields; ++c) {
      if (c) input += separator;
      input += field(random, separator);
    }
    switch (random() % 8) {
      case 0:
        input += "\r\n";
        break;
      case 1:
        input += "\r";
        break;
      case 2:
        input += "\n\n";
        break;
      default:
        input += "\n";
    }
  }
  return input;
}

class PlainRowsTest : public DelimitedTest {
 protected:
  // The rows, then the ripper's truncation count, of the blocks.
  std::vector<std::string> ripWith(KovaObject* table, const std::vector<std::string_view>& blocks,
                                   bool generalOnly) {
    KovaRipper* ripper = bound(table);
    if (!ripper) return {"no ripper"};
    moduleSide(ripper)->generalRowsOnly = generalOnly;
    std::vector<std::string> rows = ripBlocks(ripper, blocks);
    rows.push_back("truncations " + std::to_string(ripper->truncations));
    destroy(ripper);
    return rows;
  }

  // Three columns of ISO-8859-1 rows from UTF-8 fields: a field is copied
  // as it is only when it is ASCII.
  KovaObject* latinTable() {
    KovaObject* table = newTable(kRecfmDelimited);
    table->fieldsep = ',';
    table->textqual = '"';
    for (std::u16string_view name : {u"a", u"b", u"c"}) {
      addColumn(table, name, kTypeVarchar, 0, 24)->cei = 1;
    }
    return table;
  }

  void compare(KovaObject* table, char separator, int columns, uint32_t seed, int inputs,
               int count) {
    std::mt19937 random(seed);
    for (int n = 0; n < inputs; ++n) {
      const std::string input = records(random, columns, separator, count);
      SCOPED_TRACE(::testing::PrintToString(input));
      auto plain = [&](const std::vector<std::string_view>& blocks) {
        return ripWith(table, blocks, false);
      };
      auto general = [&](const std::vector<std::string_view>& blocks) {
        return ripWith(table, blocks, true);
      };
      const std::vector<std::string> expected = general({input});
      ASSERT_EQ(splitEverywhere(input, plain, 10, uint32_t(n)), expected);
    }
  }
};

TEST_F(PlainRowsTest, QualifiedRowsAreTheRecordLoopsAtEveryCut) {
  compare(textTable(4, ',', '"', 16), ',', 4, 11, 60, 12);
}

TEST_F(PlainRowsTest, UnqualifiedRowsAreTheRecordLoopsAtEveryCut) {
  compare(textTable(3, '\t', 0, 64), '\t', 3, 12, 60, 12);
}

TEST_F(PlainRowsTest, OneColumnAndMixedIndicatorWidthsAreTheRecordLoops) {
  compare(textTable(1, ';', '\'', 8), ';', 1, 13, 60, 16);
  // 200-byte columns have 2-byte indicators: the widths differ.
  KovaObject* mixed = textTable(2, '|', '"', 24);
  addColumn(mixed, u"wide", kTypeVarchar, 200, 200);
  compare(mixed, '|', 3, 14, 60, 12);
}

TEST_F(PlainRowsTest, EveryIndicatorWidthSharedByAllColumnsIsTheRecordLoops) {
  // The fast path is made once per indicator width and per qualified or
  // not: 16-byte columns have 1-byte indicators, 200-byte columns 2-byte
  // ones, 40,000-byte columns 4-byte ones; transcoded columns take only
  // ASCII fields.
  uint32_t seed = 17;
  for (int64_t width : {16, 200, 40000}) {
    for (uint8_t qualifier : {uint8_t('"'), uint8_t(0)}) {
      for (bool latin : {false, true}) {
        SCOPED_TRACE(::testing::Message() << "width " << width << ", qualifier " << int(qualifier)
                                          << (latin ? ", ISO-8859-1" : ", UTF-8"));
        KovaObject* table = textTable(2, ',', qualifier, width);
        if (latin) {
          for (int32_t c = 0; c < table->columnCount; ++c) table->columns[c]->cei = 1;
        }
        compare(table, ',', 2, seed++, 12, 10);
      }
    }
  }
}

TEST_F(PlainRowsTest, TranscodedColumnsLeaveNonAsciiFieldsToTheRecordLoop) {
  compare(latinTable(), ',', 3, 16, 60, 12);
}

TEST_F(PlainRowsTest, LongBlocksOfRowsGrowTheRowBlockAsTheRecordLoopDoes) {
  // Thousands of short rows in one block: the rows outgrow the first
  // estimate, which the first field's length decides.
  KovaObject* table = textTable(5, ',', '"', 64);
  std::mt19937 random(15);
  std::string input = std::string(300, 'w') + "\n" + records(random, 5, ',', 4000);
  EXPECT_EQ(ripWith(table, {input}, false), ripWith(table, {input}, true));
}

TEST_F(PlainRowsTest, OnlyTablesOfTextColumnsWithASeparatorAreReadThisWay) {
  auto enabled = [&](KovaObject* table, uint32_t flags = 0) {
    KovaRipper* ripper = bound(table, flags);
    if (!ripper) return false;
    const TerminatorSet set(ripper);
    const uint8_t bytes[] = "a,b\n";
    const PlainRows plain(ripper, prepareFieldPlans(ripper),
                          ripper->terminators[2] ? int(ripper->terminators[2]) : -1, set, bytes,
                          bytes + 4);
    const bool result = plain.enabled();
    destroy(ripper);
    return result;
  };
  EXPECT_TRUE(enabled(textTable(3)));
  EXPECT_TRUE(enabled(latinTable()));
  EXPECT_FALSE(enabled(textTable(3), kRipperRowImage));
  EXPECT_FALSE(enabled(textTable(3), kRipperReportRejects));
  EXPECT_FALSE(enabled(textTable(3, 0)));     // no separator
  EXPECT_FALSE(enabled(textTable(3, '\n')));  // the separator is a line end
  EXPECT_FALSE(enabled(textTable(3, '\r')));
  KovaObject* typed = textTable(2);
  addColumn(typed, u"n", kTypeInt);
  EXPECT_FALSE(enabled(typed));
}

}  // namespace
}  // namespace kova::testing
