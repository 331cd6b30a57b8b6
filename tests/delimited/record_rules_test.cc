// Records and fields of delimited text: line ends of every kind (also split
// between blocks), qualified fields and their doubled qualifiers, fields that
// cross blocks, header lines, the end of the input and the growth of the row
// block. Every input is also ripped cut at every point.
#include <cstring>
#include <string>
#include <vector>

#include "src/ripper/operations.h"
#include "tests/delimited/delimited_fixture.h"

namespace kova::testing {
namespace {

using Rows = std::vector<std::string>;
using namespace std::string_literals;

class RecordRulesTest : public DelimitedTest {};

TEST_F(RecordRulesTest, LineEndsOfEveryKindEndOneRecordEach) {
  KovaObject* table = textTable(2);
  EXPECT_EQ(ripSplit(table, "a,b\r\nc\nd\re,f\r\n"),
            (Rows{R"("a"|"b")", R"("c"|NULL)", R"("d"|NULL)", R"("e"|"f")"}));
  // A CR ending one block and an LF beginning the next end one record.
  EXPECT_EQ(rip(table, {"a,b\r", "\nc\r", "\n"}), (Rows{R"("a"|"b")", R"("c"|NULL)"}));
  // The last record needs no line end.
  EXPECT_EQ(ripSplit(table, "a\nb,c"), (Rows{R"("a"|NULL)", R"("b"|"c")"}));
}

TEST_F(RecordRulesTest, EmptyLinesAreRowsOfNulls) {
  KovaObject* table = textTable(2);
  // CR then CR LF: one extra record of one empty field.
  EXPECT_EQ(ripSplit(table, "a\r\r\nb\n"), (Rows{R"("a"|NULL)", "NULL|NULL", R"("b"|NULL)"}));
  EXPECT_EQ(ripSplit(table, "\n\na\n"), (Rows{"NULL|NULL", "NULL|NULL", R"("a"|NULL)"}));
  // An LF after a CR is passed over only when nothing lies between them.
  EXPECT_EQ(ripSplit(table, "a\r\"\"\nb\n"), (Rows{R"("a"|NULL)", "NULL|NULL", R"("b"|NULL)"}));
}

TEST_F(RecordRulesTest, CrLfEndsOneRecordWhenLfIsTheFieldSeparator) {
  KovaObject* table = textTable(2, '\n');
  const Rows rows{R"("a"|NULL)", R"("b"|NULL)"};
  EXPECT_EQ(ripSplit(table, "a\r\nb\n"), rows);
  // The same rows after header lines, whose CR LF ends are passed over alike.
  EXPECT_EQ(ripSplit(table, "h\r\na\r\nb\n", 0, 1), rows);
  EXPECT_EQ(ripSplit(table, "h\ni\r\na\r\nb\n", 0, 1), rows);
  // After a qualified field; only CR ends a record here.
  EXPECT_EQ(ripSplit(table, "\"a\"\r\nb\nc\r\n"), (Rows{R"("a"|NULL)", R"("b"|"c")"}));
  // Only an LF with nothing between it and the CR is passed over.
  EXPECT_EQ(ripSplit(table, "a\r \nb\r"), (Rows{R"("a"|NULL)", R"(" "|"b")"}));
}

TEST_F(RecordRulesTest, ExtraFieldsAreDroppedAndMissingOnesStayNull) {
  KovaObject* table = textTable(3);
  EXPECT_EQ(ripSplit(table, "a,b,c,d,e\nx\ny,\n,,z\n"),
            (Rows{R"("a"|"b"|"c")", R"("x"|NULL|NULL)", R"("y"|NULL|NULL)", R"(NULL|NULL|"z")"}));
}

TEST_F(RecordRulesTest, QualifiedFieldHoldsSeparatorsLineEndsAndDoubledQualifiers) {
  KovaObject* table = textTable(3);
  EXPECT_EQ(ripSplit(table, "\"x,\r\ny\"\"z\",2\r\n\"\",\"\"\"\",\"a\"\"\"\"\"\n"),
            (Rows{shown("x,\r\ny\"z") + R"(|"2"|NULL)", R"(NULL|"\""|"a\"\"")"}));
}

TEST_F(RecordRulesTest, DoubledQualifierThenClosingQualifierAddsNoField) {
  KovaObject* table = textTable(3);
  EXPECT_EQ(ripSplit(table, "\"a\"\"b\",c,d\n\"\"\"\",e\n"),
            (Rows{R"("a\"b"|"c"|"d")", R"("\""|"e"|NULL)"}));
}

TEST_F(RecordRulesTest, QualifierThatIsAlsoALineEndSplitsAlikeAtEveryCut) {
  // Found by fuzzing: a doubled qualifier must be recognised before a
  // qualifier followed by a line end is taken as a closing one.
  KovaObject* table = textTable(2, '"', '\r');
  ripSplit(table, "\r\r\r\"c\"\no\"x,n\r\r\r\r\n");
}

TEST_F(RecordRulesTest, QualifiersAtBlockEdges) {
  KovaObject* table = textTable(2);
  // A doubled qualifier split between two blocks is one qualifier.
  EXPECT_EQ(rip(table, {"\"a\"", "\"b\",c\n"}), (Rows{R"("a\"b"|"c")"}));
  // A closing qualifier that ends a block, then the separator.
  EXPECT_EQ(rip(table, {"\"ab\"", ",c\n"}), (Rows{R"("ab"|"c")"}));
  // A closing qualifier that ends a block, then the line end.
  EXPECT_EQ(rip(table, {"x,\"ab\"", "\r\ny\n"}), (Rows{R"("x"|"ab")", R"("y"|NULL)"}));
  // An opening qualifier as the last byte of a block.
  EXPECT_EQ(rip(table, {"x,\"", "a,b\"\n"}), (Rows{R"("x"|"a,b")"}));
}

TEST_F(RecordRulesTest, TextAroundQualifiersIsPartOfTheField) {
  KovaObject* table = textTable(2);
  // Text after a closing qualifier joins the field.
  EXPECT_EQ(ripSplit(table, "\"ab\"cd,e\n\"x\"\"\"y\"z\"\n"),
            (Rows{R"("abcd"|"e")", R"("x\"y\"z\""|NULL)"}));
  // A qualifier inside an unqualified field is text.
  EXPECT_EQ(ripSplit(table, "ab\"c\",d\"\n"), (Rows{R"("ab\"c\""|"d\"")"}));
}

TEST_F(RecordRulesTest, FieldWithoutTerminatorWaitsForTheNextBlock) {
  KovaObject* table = textTable(3);
  KovaRipper* ripper = bound(table);
  ASSERT_NE(ripper, nullptr);
  uint8_t* rows = nullptr;
  int32_t count = -1;
  const std::string first = "a,bbbb";
  ASSERT_EQ(ripper->ops.ripBlock(ripper, reinterpret_cast<const uint8_t*>(first.data()),
                                 int64_t(first.size()), &rows, &count),
            kStatusOk);
  EXPECT_EQ(count, 0);
  EXPECT_NE(ripper->carriedRow, nullptr);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(ripper->fragment), ripper->fragmentLength), "bbbb");
  EXPECT_EQ(ripBlocks(ripper, {"cc", "dd\ne"}),
            (Rows{R"("a"|"bbbbccdd"|NULL)", R"("e"|NULL|NULL)"}));
}

TEST_F(RecordRulesTest, WithoutSeparatorANulByteIsData) {
  KovaObject* table = textTable(2, 0, 0);
  const std::string input = "a\0b,c\nd\0\0\n"s;
  EXPECT_EQ(ripSplit(table, input), (Rows{shown("a\0b,c"s) + "|NULL", shown("d\0\0"s) + "|NULL"}));
}

TEST_F(RecordRulesTest, EndOfInputDeliversTheLastRecord) {
  KovaObject* table = textTable(2);
  // A qualified field the input ends in loses its qualifiers, open or closed.
  EXPECT_EQ(ripSplit(table, "a,\"b\"\"c"), (Rows{R"("a"|"b\"c")"}));
  EXPECT_EQ(ripSplit(table, "a,\"b,c\""), (Rows{R"("a"|"b,c")"}));
  EXPECT_EQ(ripSplit(table, "a,\"b\"\""), (Rows{R"("a"|"b\"")"}));
  // A record ended by its last separator.
  EXPECT_EQ(ripSplit(table, "a,"), (Rows{R"("a"|NULL)"}));
  // A NATIVE table's last record is delivered like a DELIMITED one.
  KovaObject* native = textTable(2, ',', '"', 64, kRecfmNative);
  EXPECT_EQ(ripSplit(native, "a,b\nc,\"d\""), (Rows{R"("a"|"b")", R"("c"|"d")"}));
}

TEST_F(RecordRulesTest, HeaderLinesAreSkippedAcrossBlocks) {
  KovaObject* table = textTable(3, ',', '"', 4);
  table->headerLines = 2;
  // Row-image mode skips them; the first data record is shorter than the
  // header and keeps nothing of it.
  EXPECT_EQ(ripSplit(table, "first,header,line\r\n\"sec\nond\"\r\nab\ncd,e\n", kRipperRowImage),
            (Rows{R"("ab  "|"    "|"    ")", R"("cd  "|"e   "|"    ")"}));
  // A file that holds only its header lines yields no row.
  EXPECT_EQ(ripSplit(table, "h1,h2\nh3,h4", kRipperRowImage), Rows{});
  // The fields of a header line are not converted, so they count no
  // truncation.
  KovaObject* numbers = textTable(1, ',', '"', 4);
  addColumn(numbers, u"x", kTypeDouble);
  numbers->headerLines = 1;
  KovaRipper* ripper = bound(numbers, kRipperRowImage);
  ASSERT_NE(ripper, nullptr);
  EXPECT_EQ(ripBlocks(ripper, {"name,value\nab,1.5\n"}), (Rows{R"("ab  "|1.5)"}));
  EXPECT_EQ(ripper->truncations, 0u);
  // Typed rippers skip none unless the host asks.
  EXPECT_EQ(rip(table, {"h\nx\n"}), (Rows{R"("h"|NULL|NULL)", R"("x"|NULL|NULL)"}));
  EXPECT_EQ(rip(table, {"h\nx\n"}, 0, 1), (Rows{R"("x"|NULL|NULL)"}));
}

TEST_F(RecordRulesTest, RowBlockGrowsByTheShareOfTheBlockParsed) {
  KovaObject* table = textTable(1, ',', '"', 1024);
  struct Case {
    size_t firstRecord;  // bytes of the first record, its LF included
    int32_t capacity;    // after the block
  };
  // Ten rows fill a block sized for ten. When the field that completes the
  // tenth starts at byte 100 of 1000, the capacity is multiplied by 10 (plus
  // one row); at byte 900, by 1.5.
  for (Case c : {Case{20, 101}, Case{820, 16}}) {
    std::string input(c.firstRecord - 1, 'x');
    input += '\n';
    for (int i = 0; i < 9; ++i) input += "123456789\n";
    input += std::string(1000 - input.size() - 1, 'y') + "\n";
    ASSERT_EQ(input.size(), 1000u);
    KovaRipper* ripper = bound(table);
    ASSERT_NE(ripper, nullptr);
    uint8_t* rows = nullptr;
    int32_t count = 9;
    ASSERT_EQ(ripper->ops.ripBlock(ripper, reinterpret_cast<const uint8_t*>(input.data()), 1000,
                                   &rows, &count),
              kStatusOk);
    EXPECT_EQ(count, 11);
    EXPECT_EQ(ripper->blockCapacity, c.capacity) << c.firstRecord;
    EXPECT_EQ(renderRow(ripper, rows + 9 * ripper->rowLength), R"("123456789")");
    destroy(ripper);
  }
}

TEST_F(RecordRulesTest, SplitRecordTakesTheByteAfterAClosingQualifierAsSeparator) {
  KovaObject* table = textTable(3);
  KovaRipper* ripper = bound(table);
  ASSERT_NE(ripper, nullptr);
  std::vector<uint8_t> row(ripper->rowLength);
  auto split = [&](std::string_view record) {
    EXPECT_EQ(ripper->ops.convertRecord(ripper, reinterpret_cast<const uint8_t*>(record.data()),
                                        int64_t(record.size()), row.data()),
              kStatusOk);
    return renderRow(ripper, row.data());
  };
  EXPECT_EQ(split("\"a\"x,b"), R"("a"|NULL|"b")");
  EXPECT_EQ(split("\"a\"\"b\"\"\",c\n,d"), R"("a\"b\""|"c\x0a"|"d")");
  EXPECT_EQ(split("x,\"y\"\"z"), R"("x"|"y\"z"|NULL)");
  EXPECT_EQ(split("x,\"y"), R"("x"|"y"|NULL)");
  EXPECT_EQ(split("\"\""), "NULL|NULL|NULL");
  EXPECT_EQ(split("a\r\nb,c,d,e"), R"("a\x0d\x0ab"|"c"|"d")");
}

}  // namespace
}  // namespace kova::testing
