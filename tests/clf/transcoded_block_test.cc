// Tables whose text is not UTF-8: every block is transcoded before it is
// parsed, characters split between blocks arrive whole, and bytes that are
// not text of the encoding are replaced without failing the rip.
#include <string>

#include "tests/clf/clf_test_util.h"

namespace kova::testing {
namespace {

class TranscodedBlockTest : public ClfTest {
 protected:
  // Like rip, with the truncation count as a last line.
  std::vector<std::string> ripCounting(KovaObject* table,
                                       const std::vector<std::string_view>& blocks) {
    KovaRipper* ripper = bound(table);
    if (!ripper) return {"no ripper"};
    std::vector<std::string> rows = ripBlocks(ripper, blocks);
    rows.push_back("truncations " + std::to_string(ripper->ops.truncationCount(ripper)));
    destroy(ripper);
    return rows;
  }
  RipFunction countingRipperOf(KovaObject* table) {
    return [this, table](const std::vector<std::string_view>& blocks) {
      return ripCounting(table, blocks);
    };
  }
};

// Text every one of the tested encodings can hold.
const std::string kLatinLog =
    "h\xc3\xa9te - r\xc3\xa9mi [10/Oct/2000:13:55:36 -0700] \"GET /caf\xc3\xa9 HTTP/1.0\" 200 "
    "2326\r\n"
    "\n"
    "m\xc3\xbcnchen - - [11/Oct/2000:01:02:03 +0100] \"HEAD /\" 304 0\n"
    "no-bracket line here\n"
    "last - - [t] \"GET /end\" 500 9";

TEST_F(TranscodedBlockTest, TablesInOtherEncodingsGiveTheRowsOfTheirUtf8Twin) {
  const std::vector<std::string> utf8Rows = rip(logTable(kEncodingUtf8), {kLatinLog});
  ASSERT_EQ(utf8Rows.size(), 4u);
  EXPECT_EQ(utf8Rows[0],
            "\"h\xc3\xa9te\"|\"-\"|\"r\xc3\xa9mi\"|\"10/Oct/2000:13:55:36 -0700\"|\"GET "
            "/caf\xc3\xa9 HTTP/1.0\"|200|2326");
  const struct {
    int32_t encoding;
    const char* name;
  } encodings[] = {{1, "ISO-8859-1"}, {21, "UTF-16LE"}, {50, "IBM037"}, {12, "windows-1252"}};
  for (const auto& e : encodings) {
    SCOPED_TRACE(e.name);
    const std::string encoded = encodeAs(kLatinLog, e.name);
    std::vector<std::string> expected = utf8Rows;
    expected.push_back("truncations 0");
    EXPECT_EQ(splitEverywhere(encoded, countingRipperOf(logTable(e.encoding)), 30), expected);
  }
}

TEST_F(TranscodedBlockTest, DelimitedTablesInOtherEncodingsGiveTheRowsOfTheirUtf8Twin) {
  // Qualified fields holding separators, line ends and doubled qualifiers,
  // CR LF and CR line ends, and a last record without its line end.
  const std::string csv =
      "h\xc3\xa9te,\"a,b\",\"line\r\nbreak\",t,\"say \"\"caf\xc3\xa9\"\"\",200,1\r\n"
      "m\xc3\xbcnchen,,u,,,304,0\r"
      "last,i,u,t,r,5,6";
  for (bool qualified : {true, false}) {
    SCOPED_TRACE(qualified);
    auto table = [&](int32_t encoding) {
      KovaObject* t = logTable(encoding, kRecfmDelimited);
      t->textqual = qualified ? '"' : 0;
      return t;
    };
    const std::vector<std::string> utf8Rows = rip(table(kEncodingUtf8), {csv});
    ASSERT_EQ(utf8Rows.size(), qualified ? 3u : 4u);
    for (const auto& [encoding, name] : {std::pair{1, "ISO-8859-1"}, std::pair{21, "UTF-16LE"}}) {
      SCOPED_TRACE(name);
      EXPECT_EQ(splitEverywhere(encodeAs(csv, name), ripperOf(table(encoding)), 30), utf8Rows);
    }
    // Half a character at the very end joins the last field as a substitute.
    EXPECT_EQ(splitEverywhere(encodeAs("a,b\nc,d", "UTF-16LE") + "\x3d", ripperOf(table(21))),
              (std::vector<std::string>{R"("a"|"b"|NULL|NULL|NULL|NULL|NULL)",
                                        "\"c\"|\"d\xef\xbf\xbd\"|NULL|NULL|NULL|NULL|NULL"}));
  }
}

TEST_F(TranscodedBlockTest, CharactersSplitBetweenBlocksArriveWhole) {
  // Two-, three- and four-byte characters of each encoding; in the double-byte
  // encodings trail bytes that look like lead bytes and like ASCII.
  const struct {
    int32_t encoding;
    const char* name;
    std::string text;
  } cases[] = {
      {21, "UTF-16LE", "\xf0\x9f\x98\x80 \xe2\x82\xac \xc3\xa9 [\xf0\x90\x8d\x88] \"x\" 1 2\n"},
      {22, "UTF-16BE", "\xf0\x9f\x98\x80\xf0\x9f\x98\x81 a b\n\xe2\x82\xac c d\n"},
      {23, "UTF-32LE", "\xf0\x9f\x98\x80 \xc3\xa9 b\n"},
      {40, "Shift_JIS",
       "\xe3\x81\x81\xe3\x81\x81 \xe8\xa1\xa8\xe7\xa4\xba \xef\xbd\xb1x [t] \"\xe3\x83\xbc\" 1 "
       "2\n"},
      {41, "EUC-JP", "\xe6\x97\xa5\xe6\x9c\xac \xef\xbd\xb1 \xe4\xb8\x82 [t] \"r\" 3 4\n"},
      {43, "GB18030",
       "\xe4\xb8\xad\xe6\x96\x87 \xf0\x9f\x98\x80\xe2\x82\xac \xc3\xa9 [t] \"\" 5 6\n"},
      {44, "Big5", "\xe4\xb8\xad\xe6\x96\x87 \xe5\x8a\x9f\xe8\xa8\xb1 u\n"},
      {42, "EUC-KR", "\xed\x95\x9c\xea\xb5\xad\xec\x96\xb4 i u [t] \"r\" 7 8\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::string> expected = rip(logTable(kEncodingUtf8), {c.text});
    expected.push_back("truncations 0");
    const std::string encoded = encodeAs(c.text, c.name);
    EXPECT_EQ(splitEverywhere(encoded, countingRipperOf(logTable(c.encoding)), 30), expected);
  }
}

TEST_F(TranscodedBlockTest, InvalidBytesAreReplacedAndCountedWithoutFailingTheBlock) {
  // A lone low surrogate in UTF-16LE, two lone lead surrogates, and a line
  // that the input cuts in the middle of a character: each becomes U+FFFD,
  // the rows are all there.
  std::string input = encodeAs("a b c\n", "UTF-16LE");
  input += std::string("\x00\xdc", 2) + encodeAs(" e f\ng ", "UTF-16LE") + "\x3d\xd8\x3d\xd8" +
           encodeAs("h i\nx y z", "UTF-16LE") + "\x3d";
  const std::vector<std::string> rows = ripCounting(logTable(21), {input});
  EXPECT_EQ(rows, (std::vector<std::string>{
                      R"("a"|"b"|"c"|NULL|NULL|NULL|NULL)",
                      "\"\xef\xbf\xbd\"|\"e\"|\"f\"|NULL|NULL|NULL|NULL",
                      "\"g\"|\"\xef\xbf\xbd\xef\xbf\xbdh\"|\"i\"|NULL|NULL|NULL|NULL",
                      "\"x\"|\"y\"|\"z\xef\xbf\xbd\"|NULL|NULL|NULL|NULL",
                      "truncations 2",
                  }));
  // However it is cut, the same rows (the count of blocks with replacements
  // may differ).
  splitEverywhere(input, ripperOf(logTable(21)), 30);

  // GB18030: a lead byte and a digit begin a four-byte character, but a
  // blank after them ends it early: the lead byte alone is replaced and the
  // digit is kept, also when the block ends after the digit.
  EXPECT_EQ(splitEverywhere("\x94;\xfc"
                            "6 b c\n",
                            ripperOf(logTable(43))),
            (std::vector<std::string>{"\"\xef\xbf\xbd;\xef\xbf\xbd"
                                      "6\"|\"b\"|\"c\"|NULL|NULL|NULL|NULL"}));
}

TEST_F(TranscodedBlockTest, ABlockThatFinishesNoCharacterWaitsForTheNext) {
  // The four bytes of one UTF-32 character, one block each.
  const std::string text = encodeAs("\xf0\x9f\x98\x80 b c\n", "UTF-32LE");
  KovaRipper* ripper = bound(logTable(23));
  ASSERT_NE(ripper, nullptr);
  uint8_t* rows = nullptr;
  int32_t count = 0;
  for (size_t i = 0; i < 3; ++i) {
    ASSERT_EQ(ripper->ops.ripBlock(ripper, reinterpret_cast<const uint8_t*>(text.data()) + i, 1,
                                   &rows, &count),
              kStatusOk);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(ripper->transcodeTailLength, i + 1);
  }
  ASSERT_EQ(ripper->ops.ripBlock(ripper, reinterpret_cast<const uint8_t*>(text.data()) + 3,
                                 int64_t(text.size() - 3), &rows, &count),
            kStatusOk);
  ASSERT_EQ(count, 1);
  EXPECT_EQ(renderRow(ripper, rows), "\"\xf0\x9f\x98\x80\"|\"b\"|\"c\"|NULL|NULL|NULL|NULL");
  EXPECT_EQ(ripper->transcodeTailLength, 0);
  EXPECT_EQ(ripper->ops.truncationCount(ripper), 0u);
}

}  // namespace
}  // namespace kova::testing

namespace kova::testing {
namespace {

class NativeTranscodedTest : public RipperTest {};

TEST_F(NativeTranscodedTest, NativeTextInLatin1KeepsItsCharactersInTheRow) {
  // A NATIVE table is split as text from the UTF-8 copy of each block; its
  // character values must land in the row in the table's own encoding.
  KovaObject* table = newTable(kRecfmNative, 1);
  table->fieldsep = ',';
  addColumn(table, u"city", kTypeVarchar, 10, 10);
  addColumn(table, u"code", kTypeVarchar, 4, 4);
  KovaRipper* ripper = bound(table);
  ASSERT_NE(ripper, nullptr);
  std::vector<std::string> rows = ripBlocks(ripper, {"caf\xe9,x\nM\xfcnchen,y\n"});
  EXPECT_EQ(rows, (std::vector<std::string>{"\"caf\xe9\"|\"x\"", "\"M\xfcnchen\"|\"y\""}));
}

}  // namespace
}  // namespace kova::testing
