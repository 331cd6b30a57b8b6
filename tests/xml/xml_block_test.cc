// The XML block parser: the gathering of the first bytes, records and their
// columns, text that belongs to no column, records across blocks, and the
// end of input.
#include <string>
#include <vector>

#include "tests/xml/xml_fixture.h"

namespace kova::testing {
namespace {

using Rows = std::vector<std::string>;

// Attributes, nested elements, mixed content, CDATA, entities, comments, a
// processing instruction and non-ASCII text around and inside the records.
const std::string kDocument =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<!DOCTYPE rows [<!ENTITY who \"w\xC3\xB6rld\">]>\n"
    "<!-- two records -->\n"
    "<rows kind=\"test\">\n"
    "  <row id=\"1\"><a lang=\"fr\">caf\xC3\xA9 &amp; &who;</a><b> 42 </b><c>2.5</c></row>\n"
    "  <?note not data?>\n"
    "  <row><a><![CDATA[<raw> & ]]>&#x20AC;</a><c>-1e3</c><extra><b>7</b></extra></row>\n"
    "  <row><a>one<i>two</i>three</a></row>\n"
    "</rows>\n";

const Rows kRows = {"\"caf\xC3\xA9 & w\xC3\xB6rld\"|42|2.5", "\"<raw> & \xE2\x82\xAC\"|7|-1000",
                    "\"three\"|NULL|NULL"};

TEST_F(XmlRipTest, RecordsFillTheirColumnsAtEveryPartition) {
  EXPECT_EQ(ripSplit(xmlTable(), kDocument), kRows);
  // A record without b leaves it null; whitespace around values is the
  // column's to read.
  EXPECT_EQ(rip(xmlTable(), {"<r><row><a>x</a><b>1</b></row><row><a>y</a></row></r>"}),
            (Rows{"\"x\"|1|NULL", "\"y\"|NULL|NULL"}));
}

TEST_F(XmlRipTest, SixteenBitAndLatinOneTwinsGiveTheSameRows) {
  std::string wide = kDocument;
  wide.replace(wide.find("UTF-8"), 5, "UTF-16");
  EXPECT_EQ(ripSplit(xmlTable(), utf16Document(wide, false), 20), kRows);
  EXPECT_EQ(ripSplit(xmlTable(), utf16Document(wide, true), 20), kRows);
  // Latin-1 has no euro sign: the same document without it.
  std::string latin = kDocument;
  latin.replace(latin.find("UTF-8"), 5, "ISO-8859-1");
  latin.replace(latin.find("&#x20AC;"), 8, "\xC3\xBF");
  Rows rows = kRows;
  rows[1] = "\"<raw> & \xC3\xBF\"|7|-1000";
  EXPECT_EQ(ripSplit(xmlTable(), latin1Document(latin), 20), rows);
}

TEST_F(XmlRipTest, FirstBytesAreHeldUntilSevenOrTheWholeDeclaration) {
  KovaRipper* ripper = bound(xmlTable());
  ASSERT_NE(ripper, nullptr);
  uint8_t* rows = nullptr;
  int32_t count = -1;
  // Five bytes: nothing parsed, outputs but the count untouched.
  ASSERT_EQ(ripOne(ripper, "<r><r", &rows, &count), kStatusOk);
  EXPECT_EQ(count, 0);
  EXPECT_EQ(rows, nullptr);
  ASSERT_EQ(ripOne(ripper, "ow><b>5</b></row>", &rows, &count), kStatusOk);
  EXPECT_EQ(count, 1);
  EXPECT_EQ(renderRow(ripper, rows), "NULL|5|NULL");
  EXPECT_EQ(ripper->recordBuffer, nullptr);
  destroy(ripper);

  // A declaration cut inside: held until a "?" that is not the last byte.
  ripper = bound(xmlTable());
  for (std::string_view piece : {"<?xml version=\"1.0", "\"?", "><r><row><b>6</b></row>"}) {
    rows = nullptr;
    ASSERT_EQ(ripOne(ripper, piece, &rows, &count), kStatusOk) << piece;
    EXPECT_EQ(count, piece[0] == '>' ? 1 : 0) << piece;
    EXPECT_EQ(rows != nullptr, piece[0] == '>') << piece;
  }
  EXPECT_EQ(ripBlocks(ripper, {"</r>"}), Rows{});
}

TEST_F(XmlRipTest, DocumentsShorterThanSevenBytesAreParsedAtTheEnd) {
  EXPECT_EQ(rip(xmlTable(u"r"), {"<r/>"}), Rows{"NULL|NULL|NULL"});
  EXPECT_EQ(rip(xmlTable(u"r"), {"<r>", "</r>"}), Rows{"NULL|NULL|NULL"});
}

TEST_F(XmlRipTest, TextAndColumnsOutsideRecordsAreIgnored) {
  // Column elements before the first record, between records and after the
  // last, with a full row block (ten rows): nothing is written outside it.
  std::string document = "<r><a>before</a><b>1</b>";
  for (int i = 0; i < 10; ++i) document += "<row><b>" + std::to_string(i) + "</b></row><a>x</a>";
  document += "<b>9</b></r>";
  Rows expected;
  for (int i = 0; i < 10; ++i) expected.push_back("NULL|" + std::to_string(i) + "|NULL");
  EXPECT_EQ(rip(xmlTable(), {document}), expected);
}

TEST_F(XmlRipTest, ColumnTakesOnlyTheTextAfterItsLastChild) {
  EXPECT_EQ(rip(xmlTable(), {"<r><row><a>x<b>2</b>y</a><c>1<i>2</i></c></row></r>"}),
            Rows{"\"y\"|2|NULL"});
}

TEST_F(XmlRipTest, ColumnsInAnyOrderAndColumnsSharingATagFindTheirElements) {
  EXPECT_EQ(rip(xmlTable(), {"<r><row><c>1</c><b>2</b><a>3</a><b>4</b></row>"
                             "<row><b>5</b><unknown>6</unknown><a>7</a></row></r>"}),
            (Rows{"\"3\"|4|1", "\"7\"|5|NULL"}));
  // Two columns tagged b: the element fills the one the tag tree names,
  // whatever element came before it.
  KovaObject* shared = xmlTable();
  setTag(shared, shared->columns[2], u"b");
  Rows rows = rip(shared, {"<r><row><b>1</b></row><row><a>x</a><b>2</b></row></r>"});
  ASSERT_EQ(rows.size(), 2u);
  const bool inB = rows[0] == "NULL|1|NULL";
  EXPECT_EQ(rows[0], inB ? "NULL|1|NULL" : "NULL|NULL|1");
  EXPECT_EQ(rows[1], inB ? "\"x\"|2|NULL" : "\"x\"|NULL|2");
}

TEST_F(XmlRipTest, NestedRecordRestartsTheRowAndCountsOnce) {
  EXPECT_EQ(rip(xmlTable(), {"<r><row><a>1</a><row><b>2</b></row><a>3</a></row>"
                             "<row><b>4</b></row></r>"}),
            (Rows{"NULL|2|NULL", "NULL|4|NULL"}));
}

TEST_F(XmlRipTest, RecordOpenAtTheEndOfABlockContinuesInTheNext) {
  KovaRipper* ripper = bound(xmlTable());
  ASSERT_NE(ripper, nullptr);
  uint8_t* rows = nullptr;
  int32_t count = -1;
  ASSERT_EQ(ripOne(ripper, "<r><row><a>first</a><b>1", &rows, &count), kStatusOk);
  EXPECT_EQ(count, 0);
  ASSERT_EQ(ripOne(ripper, "2</b></row><row><b>3</b></row>", &rows, &count), kStatusOk);
  ASSERT_EQ(count, 2);
  EXPECT_EQ(renderRow(ripper, rows), "\"first\"|12|NULL");
  EXPECT_EQ(renderRow(ripper, rows + ripper->rowLength), "NULL|3|NULL");
}

TEST_F(XmlRipTest, ManyShortRecordsInOneBlockAllArrive) {
  std::string document = "<r>";
  for (int i = 0; i < 5000; ++i) document += "<row/>";
  document += "</r>";
  EXPECT_EQ(rip(xmlTable(), {document}).size(), 5000u);
}

TEST_F(XmlRipTest, ParserErrorComesBackUnchangedWithTheRowsUnset) {
  KovaRipper* ripper = bound(xmlTable());
  ASSERT_NE(ripper, nullptr);
  uint8_t* rows = nullptr;
  int32_t count = -1;
  ASSERT_EQ(ripOne(ripper, "<r><row><b>1</b></row><row></b>", &rows, &count), kStatusNotSupported);
  EXPECT_EQ(rows, nullptr);
  EXPECT_EQ(count, 0);
  EXPECT_EQ(ripOne(ripper, "<row/>", &rows, &count), kStatusNotSupported);
}

TEST_F(XmlRipTest, EndOfInputFailsForDocumentsThatAreNotWellFormed) {
  for (std::string_view document : {"<r><row><b>1</b></row>", "<r><row><b>1</b>", "", "<r"}) {
    Rows rows = rip(xmlTable(), {document});
    ASSERT_FALSE(rows.empty()) << document;
    EXPECT_EQ(rows.back(), "status 0x803fc009") << document;
  }
  // A second end of a complete document has nothing more.
  KovaRipper* ripper = bound(xmlTable());
  EXPECT_EQ(ripBlocks(ripper, {"<r><row/></r>"}), Rows{"NULL|NULL|NULL"});
  uint8_t* rows = nullptr;
  int32_t count = -1;
  EXPECT_EQ(ripper->ops.flushPending(ripper, &rows, &count), kStatusOk);
  EXPECT_EQ(count, 0);
}

TEST_F(XmlRipTest, LongTextAndAttributesInSmallBlocksArriveWhole) {
  const std::string text(200 * 1024, 't');
  const std::string document = "<r><row note='" + std::string(150 * 1024, 'n') + "'><a>" + text +
                               "</a><b>3</b></row><row><b>4</b></row></r>";
  std::vector<std::string_view> blocks;
  for (size_t at = 0; at < document.size(); at += 4096) {
    blocks.push_back(std::string_view(document).substr(at, 4096));
  }
  KovaRipper* ripper = bound(xmlTable());
  ASSERT_NE(ripper, nullptr);
  EXPECT_EQ(ripBlocks(ripper, blocks),
            (Rows{"\"" + text.substr(0, 20) + "\"|3|NULL", "NULL|4|NULL"}));
  EXPECT_EQ(ripper->ops.truncationCount(ripper), 1u);
}

TEST_F(XmlRipTest, RowImageRowsAreBlankPaddedAndNumbersMissing) {
  KovaRipper* ripper = bound(xmlTable(), kRipperRowImage);
  ASSERT_NE(ripper, nullptr);
  EXPECT_EQ(ripBlocks(ripper, {"<r><row><a>hi</a><c>1.5</c></row></r>"}),
            Rows{"\"hi                  \"|MISSING|1.5"});
}

}  // namespace
}  // namespace kova::testing
