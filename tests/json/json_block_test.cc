// JSON records into rows: records split between blocks, what each kind of
// value becomes, nested objects and arrays, strings in pieces, and the
// failures a block or the end of the input reports.
#include <string>

#include "src/ripper/operations.h"
#include "tests/json/json_fixture.h"

namespace kova::testing {
namespace {

class JsonBlockTest : public JsonTest {};

// A character informat that upper-cases its text and counts its runs.
struct CountingInformat {
  KovaFormatObject object{};
  int runs = 0;
  std::u16string seen;
  CountingInformat() {
    object.inputKind = kFormatKindWide;
    object.outputKind = kFormatKindWide;
    object.run = [](KovaFormatObject* o, int32_t) {
      auto* self = reinterpret_cast<CountingInformat*>(o);
      ++self->runs;
      self->seen.assign(static_cast<const char16_t*>(o->input), size_t(o->inputLength));
      auto* out = static_cast<char16_t*>(o->output);
      int64_t n = 0;
      for (char16_t c : self->seen) {
        if (n == o->outputCapacity) break;
        out[n++] = (c >= u'a' && c <= u'z') ? char16_t(c - 32) : c;
      }
      o->outputLength = n;
      return kStatusOk;
    };
  }
};

TEST_F(JsonBlockTest, ARecordSplitBetweenBlocksContinuesInTheFirstRow) {
  KovaRipper* ripper = jsonRipper(smallTable());
  ASSERT_NE(ripper, nullptr);
  int32_t count = 0;
  uint8_t* rows = nullptr;
  ASSERT_EQ(ripOne(ripper, "{\"id\":1,\"name\":\"ab", &count), kStatusOk);
  EXPECT_EQ(count, 0);
  EXPECT_EQ(ripper->rowStarted, 1);
  ASSERT_EQ(ripOne(ripper, "c\",\"n\":7}\n{\"id\":2}", &count, &rows), kStatusOk);
  ASSERT_EQ(count, 2);
  EXPECT_EQ(renderRow(ripper, rows), "1|\"abc\"|7");
  EXPECT_EQ(renderRow(ripper, rows + ripper->rowLength), "2|NULL|NULL");
  EXPECT_EQ(ripper->recordsParsed, 2u);
  EXPECT_EQ(ripper->bytesParsed, 36u);
}

TEST_F(JsonBlockTest, ValuesNullsBooleansArraysAndNestedObjects) {
  const std::vector<std::string> rows =
      rip(smallTable(), {"{\"id\":1,\"name\":null,\"n\":true}\n"
                         "{\"id\":2,\"name\":false,\"other\":\"x\",\"n\":[4,5,6]}\n"
                         // Members of nested objects are matched by name; the nested end
                         // does not close the row.
                         "{\"id\":3,\"sub\":{\"n\":8,\"deep\":{}},\"name\":\"after\"}\n"
                         // Values outside a record, and an array of records.
                         "7 \"loose\" [{\"id\":4},{\"id\":5,\"name\":\"caf\\u00e9 \\\"q\\\"\"}]"});
  const std::vector<std::string> expected = {"1|NULL|1", "2|\"0\"|6", "3|\"after\"|8",
                                             "4|NULL|NULL", "5|\"caf\xC3\xA9 \\\"q\\\"\"|NULL"};
  EXPECT_EQ(rows, expected);
}

TEST_F(JsonBlockTest, AStringInPiecesIsConvertedOnceWhole) {
  KovaObject* table = smallTable();
  KovaRipper* ripper = jsonRipper(table);
  ASSERT_NE(ripper, nullptr);
  CountingInformat upper;
  state(ripper, 1).formatObject = &upper.object;
  int32_t count = 0;
  ASSERT_EQ(ripOne(ripper, "", &count), kStatusOk);
  KovaJsonCallbacks* table16 = &ripper->json.callbacks;
  ASSERT_EQ(table16->startObject(table16), kStatusOk);
  ASSERT_EQ(table16->stringValue(table16, u"name", 8, kJsonStringMemberName), kStatusOk);
  ASSERT_EQ(table16->stringValue(table16, u"ab", 4, kJsonStringMorePieces), kStatusOk);
  ASSERT_EQ(table16->stringValue(table16, u"cd", 4, kJsonStringMorePieces), kStatusOk);
  EXPECT_EQ(upper.runs, 0);
  ASSERT_EQ(table16->stringValue(table16, u"e", 2, 0), kStatusOk);
  EXPECT_EQ(upper.runs, 1);
  EXPECT_EQ(upper.seen, u"abcde");
  ASSERT_EQ(table16->endObject(table16), kStatusOk);
  EXPECT_EQ(ripper->rowsInBlock, 1u);
  EXPECT_EQ(renderRow(ripper, ripper->rowBlock), "NULL|\"ABCDE\"|NULL");

  // Through the parser: a string longer than its pieces of 1536 units.
  const std::string longName(4000, 'z');
  const std::vector<std::string> rows =
      rip(table, {"{\"id\":9,\"name\":\"" + longName + "\",\"n\":1}"});
  EXPECT_EQ(rows, std::vector<std::string>{"9|\"zzzzzzzzzzzzzzzz\"|1"});
}

TEST_F(JsonBlockTest, BadInputAndAnUnfinishedRecordFailWithTheirPlace) {
  KovaRipper* ripper = jsonRipper(smallTable());
  ASSERT_NE(ripper, nullptr);
  int32_t count = 0;
  ASSERT_EQ(ripOne(ripper, "{\"id\":1}\n", &count), kStatusOk);
  EXPECT_EQ(ripOne(ripper, "{\"id\":2}\n{\"id\" 3}", &count), kStatusJsonParse);
  EXPECT_EQ(count, 0);

  EXPECT_TRUE(diagnostics().contains(
      "Unable to parse JSON File [Error=0x80FFF802]; While parsing byte chunk: [9->26] after "
      "successfully parsing 2 records",
      kLogError));
  EXPECT_TRUE(diagnostics().contains(
      "JSON input: near byte 25 (line 3, column 8): parse error: object key and value must be "
      "separated by a colon",
      kLogError));

  // The end of the input inside a record: flushPending says so.
  KovaRipper* open = jsonRipper(smallTable());
  ASSERT_NE(open, nullptr);
  ASSERT_EQ(ripOne(open, "{\"id\":1}{\"id\":2,", &count), kStatusOk);
  EXPECT_EQ(count, 1);
  uint8_t* rows = nullptr;
  EXPECT_EQ(open->ops.flushPending(open, &rows, &count), kStatusJsonParse);
  EXPECT_EQ(count, 0);
  EXPECT_TRUE(
      diagnostics().contains("While parsing byte chunk: [16->16] after successfully "
                             "parsing 1 records",
                             kLogError));
  // A complete input ends cleanly.
  KovaRipper* done = jsonRipper(smallTable());
  ASSERT_NE(done, nullptr);
  ASSERT_EQ(ripOne(done, "{\"id\":1}\n", &count), kStatusOk);
  EXPECT_EQ(done->ops.flushPending(done, &rows, &count), kStatusOk);
  EXPECT_EQ(count, 0);
}

TEST_F(JsonBlockTest, BlocksOfManySmallRecordsGrowTheRowBlock) {
  std::string input;
  for (int i = 0; i < 3000; ++i) input += "{}";
  KovaRipper* ripper = jsonRipper(smallTable());
  ASSERT_NE(ripper, nullptr);
  int32_t count = 0;
  ASSERT_EQ(ripOne(ripper, input, &count), kStatusOk);
  EXPECT_EQ(count, 3000);
  EXPECT_GE(ripper->blockCapacity, 3000);
}

TEST_F(JsonBlockTest, TablesWithoutColumnsOrWithoutTheSiblingsAreRefused) {
  KovaObject* empty = newTable(kRecfmJson, kEncodingUtf8);
  KovaRipper* ripper = create(empty);
  ASSERT_NE(ripper, nullptr);
  ASSERT_NE(describe(ripper), nullptr);
  EXPECT_EQ(ripper->ops.bind(ripper), kStatusNotSupported);

  host().setExtensionLoadable(u"zreavl", false);
  KovaRipper* treeless = create(smallTable());
  ASSERT_NE(treeless, nullptr);
  ASSERT_NE(describe(treeless), nullptr);
  EXPECT_EQ(treeless->ops.bind(treeless), kStatusNotSupported);
}

}  // namespace
}  // namespace kova::testing
