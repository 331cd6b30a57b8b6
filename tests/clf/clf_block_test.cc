// The CLF parser: lines cut into their seven fields, line ends in every
// form, lines split between blocks anywhere, and the last line of an input
// that has no line feed.
#include <string>

#include "src/ripper/operations.h"
#include "tests/clf/clf_test_util.h"

namespace kova::testing {
namespace {

using ClfBlockTest = ClfTest;

TEST_F(ClfBlockTest, LinesAreCutIntoSevenFieldsAndMissingPartsStayNull) {
  const std::string input =
      "127.0.0.1 - frank [10/Oct/2000:13:55:36 -0700] \"GET /a.gif HTTP/1.0\" 200 2326\n"
      // No "[": only the first three fields.
      "10.0.0.1 id bob no brackets here 404 7\n"
      // The request runs to the end of the line without its closing quote.
      "10.0.0.2 - - [11/Oct/2000:00:00:00 +0000] \"GET /open\n"
      // Several blanks before the status; the size is what follows the next one.
      "10.0.0.3 - - [t] \"POST /x\"    301 12\n"
      // A line of one word, and one that ends after the closing quote.
      "lonely\n"
      "10.0.0.4 a b [t] \"r\"\n"
      // Empty fields between doubled blanks are nulls.
      "10.0.0.5  c [t] \"\" 200 \n";
  EXPECT_EQ(
      rip(logTable(), {input}),
      (std::vector<std::string>{
          R"("127.0.0.1"|"-"|"frank"|"10/Oct/2000:13:55:36 -0700"|"GET /a.gif HTTP/1.0"|200|2326)",
          R"("10.0.0.1"|"id"|"bob"|NULL|NULL|NULL|NULL)",
          R"("10.0.0.2"|"-"|"-"|"11/Oct/2000:00:00:00 +0000"|"GET /open"|NULL|NULL)",
          R"("10.0.0.3"|"-"|"-"|"t"|"POST /x"|301|12)",
          R"("lonely"|NULL|NULL|NULL|NULL|NULL|NULL)",
          R"("10.0.0.4"|"a"|"b"|"t"|"r"|NULL|NULL)",
          R"("10.0.0.5"|NULL|"c"|"t"|NULL|200|NULL)",
      }));
}

TEST_F(ClfBlockTest, EveryBlockSplitGivesTheRowsOfOneBlock) {
  // CR LF and LF line ends, empty lines in both forms, a line without "[",
  // a CR inside a line, and a last line without its line feed (ended by a
  // CR that has lost its LF).
  const std::string input =
      "h1 i1 u1 [d1] \"r1\" 200 1\r\n"
      "\n"
      "h2 i2 u2 no time\r\n"
      "\r\n"
      "h3 i\r3 u3 [d3] \"r3\" 500 3\n"
      "h4 i4 u4 [d4] \"r4\" 201 4\r";
  const std::vector<std::string> expected = {
      R"("h1"|"i1"|"u1"|"d1"|"r1"|200|1)",
      R"("h2"|"i2"|"u2"|NULL|NULL|NULL|NULL)",
      R"("h3"|"i\x0d3"|"u3"|"d3"|"r3"|500|3)",
      R"("h4"|"i4"|"u4"|"d4"|"r4"|201|4)",
  };
  EXPECT_EQ(splitEverywhere(input, ripperOf(logTable()), 60), expected);
}

TEST_F(ClfBlockTest, CarriageReturnEndingABlockIsDroppedFromTheLine) {
  KovaObject* table = logTable();
  EXPECT_EQ(rip(table, {"a b c [t] \"r\" 1 2\r", "\n"}),
            (std::vector<std::string>{R"("a"|"b"|"c"|"t"|"r"|1|2)"}));
  // A lone CR line split the same way is an empty line: no row.
  EXPECT_EQ(rip(table, {"a b c\n\r", "\nd e f\n"}),
            (std::vector<std::string>{R"("a"|"b"|"c"|NULL|NULL|NULL|NULL)",
                                      R"("d"|"e"|"f"|NULL|NULL|NULL|NULL)"}));
}

TEST_F(ClfBlockTest, BlocksOfManyShortLinesKeepEveryRow) {
  // Far more rows than the block's estimate (one per 70 bytes here).
  std::string input;
  for (int i = 0; i < 5000; ++i) input += "h" + std::to_string(i) + "\n";
  KovaRipper* ripper = bound(logTable());
  ASSERT_NE(ripper, nullptr);
  uint8_t* rows = nullptr;
  int32_t count = 0;
  ASSERT_EQ(ripper->ops.ripBlock(ripper, reinterpret_cast<const uint8_t*>(input.data()),
                                 int64_t(input.size()), &rows, &count),
            kStatusOk);
  ASSERT_EQ(count, 5000);
  EXPECT_GE(ripper->blockCapacity, 5000);
  for (int i : {0, 1234, 4999}) {
    EXPECT_EQ(renderRow(ripper, rows + uint64_t(i) * ripper->rowLength),
              "\"h" + std::to_string(i) + "\"|NULL|NULL|NULL|NULL|NULL|NULL");
  }
  // The next block starts again from the first row and finds nothing left over.
  ASSERT_EQ(ripper->ops.ripBlock(ripper, reinterpret_cast<const uint8_t*>("x\n"), 2, &rows, &count),
            kStatusOk);
  ASSERT_EQ(count, 1);
  EXPECT_EQ(renderRow(ripper, rows), R"("x"|NULL|NULL|NULL|NULL|NULL|NULL)");
  ASSERT_EQ(ripper->ops.flushPending(ripper, &rows, &count), kStatusOk);
  EXPECT_EQ(count, 0);
}

TEST_F(ClfBlockTest, ConvertRecordSplitsOneLineWithoutItsLineEnd) {
  KovaRipper* ripper = bound(logTable());
  ASSERT_NE(ripper, nullptr);
  std::vector<uint8_t> row(ripper->rowLength, 0xEE);
  const std::string line = "h i u [d] \"GET / HTTP/1.1\" 304 0";
  ASSERT_EQ(ripper->ops.convertRecord(ripper, reinterpret_cast<const uint8_t*>(line.data()),
                                      int64_t(line.size()), row.data()),
            kStatusOk);
  EXPECT_EQ(renderRow(ripper, row.data()), R"("h"|"i"|"u"|"d"|"GET / HTTP/1.1"|304|0)");
  // A shorter line leaves nothing of the earlier one behind.
  ASSERT_EQ(ripper->ops.convertRecord(ripper, reinterpret_cast<const uint8_t*>("x"), 1, row.data()),
            kStatusOk);
  EXPECT_EQ(renderRow(ripper, row.data()), R"("x"|NULL|NULL|NULL|NULL|NULL|NULL)");
}

}  // namespace
}  // namespace kova::testing
