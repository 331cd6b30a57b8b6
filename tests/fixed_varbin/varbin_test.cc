// The VARBIN block parser: fields of every value kind into typed rows, the
// length codes and missing codes as indicators, values that do not fit their
// column, corrupted records (never a read outside the block), record
// boundaries as block boundaries, trace lines and failing allocations.
#include <cstring>
#include <string>
#include <vector>

#include "tests/fixed_varbin/binary_test_util.h"

namespace kova::testing {
namespace {

using records::VarbinRecord;

class VarbinTest : public BinaryRipTest {
 protected:
  KovaObject* newVarbinTable() { return newTable(kRecfmVarbin, 20); }

  KovaRipper* ripperFor(KovaObject* table, uint32_t flags = 0) { return bound(table, flags); }

  // The value bytes of layout entry i in row, as many as the indicator says.
  static std::string valueBytes(const KovaRipper* ripper, const uint8_t* row, uint32_t i) {
    const KovaLayoutEntry& e = ripper->typedLayout[i];
    int64_t n = indicator(ripper, row, i);
    if (n < 0) return "";
    return std::string(reinterpret_cast<const char*>(row + e.dataOffset), size_t(n));
  }
};

std::string bytesOf(std::initializer_list<int> list) {
  std::string out;
  for (int b : list) out += char(b);
  return out;
}

TEST_F(VarbinTest, ThirteenByteRecordGivesOneIntRow) {
  KovaObject* table = newVarbinTable();
  addColumn(table, u"n", kTypeInt);
  KovaRipper* ripper = ripperFor(table);
  ASSERT_NE(ripper, nullptr);
  const std::string block = bytesOf({0x0D, 0, 0, 0, 1, 0, 0, 0, 0x04, 7, 0, 0, 0});
  Result r = ripOnce(ripper, block);
  ASSERT_EQ(r.status, kStatusOk);
  ASSERT_EQ(r.count, 1);
  EXPECT_EQ(r.rows, ripper->rowBlock);
  EXPECT_EQ(indicator(ripper, r.rows, 0), 4);
  EXPECT_EQ(renderRow(ripper, r.rows), "7");
  EXPECT_EQ(ripper->ops.truncationCount(ripper), 0u);
}

TEST_F(VarbinTest, LengthCodesAndMissingDoublesBecomeIndicators) {
  KovaObject* table = newVarbinTable();
  addColumn(table, u"d", kTypeDouble);
  addColumn(table, u"n", kTypeInt);
  auto missing = [](uint8_t byte5) { return bytesOf({0, 0, 0, 0, 0, byte5, 0xFF, 0xFF}); };
  std::string block;
  block += VarbinRecord().null(1).null(2).bytes();                 // FF, FF
  block += VarbinRecord().null(1, -70).null(2, -70).bytes();       // special codes
  block += VarbinRecord().field(1, 8).raw(missing(0xD1)).bytes();  // "."
  block += VarbinRecord().field(1, 8).raw(missing(0xBC)).bytes();  // "C"
  block += VarbinRecord().field(1, 8).raw(missing(0xD2)).bytes();  // "_"
  block += VarbinRecord().field(1, 8).raw(missing(0x00)).bytes();  // no letter
  block += VarbinRecord().real(1, 2.5).integer(2, -3, 4).bytes();
  block += VarbinRecord().null(1, -300).null(2, -300).bytes();  // wide, beyond a byte

  const std::vector<std::string> plain = {"NULL|NULL", "NULL|NULL", "NULL|NULL", "NULL|NULL",
                                          "NULL|NULL", "NULL|NULL", "2.5|-3",    "NULL|NULL"};
  EXPECT_EQ(ripAll(ripperFor(table), {block}), plain);

  const std::vector<std::string> asMissing = {"NULL-88|NULL", "IND-70|IND-70", "NULL-88|NULL",
                                              "IND-85|NULL",  "IND-89|NULL",   "NULL-88|NULL",
                                              "2.5|-3",       "NULL-88|NULL"};
  EXPECT_EQ(ripAll(ripperFor(table, kRipperNullAsMissing), {block}), asMissing);
}

TEST_F(VarbinTest, WideLengthFormsPutTheValueRightAfterTheLength) {
  KovaObject* table = newVarbinTable();
  addColumn(table, u"s", kTypeVarchar, 64);
  addColumn(table, u"d", kTypeDouble);
  addColumn(table, u"n", kTypeInt);
  const std::string text(44, 'q');
  std::string fields;
  fields += bytesOf({1, 0, 0, 0, 0xF8, 0x2C, 44, 0, 0, 0}) + text;  // L = 44, data length 44
  fields += bytesOf({2, 0, 0, 0, 0xFA, 8, 0, 0, 0});                // L = 8 in 32 bits
  records::putDouble(fields, 1.5);
  fields += bytesOf({3, 0, 0, 0, 0xF7, 4, 0, 0, 0, 0, 0, 0, 0, 9, 0, 0, 0});  // L = 4 in 64 bits
  const std::string block = VarbinRecord().raw(fields).bytes() +
                            VarbinRecord().raw(bytesOf({3, 0, 0, 0, 0xF8, 0xBA})).bytes();
  EXPECT_EQ(ripAll(ripperFor(table), {block}),
            (std::vector<std::string>{"\"" + text + "\"|1.5|9", "NULL|NULL|NULL"}));
}

TEST_F(VarbinTest, EveryValueKindLandsInItsRowForm) {
  KovaObject* table = newVarbinTable();
  addColumn(table, u"c", kTypeChar, 4);
  addColumn(table, u"v", kTypeVarchar, 8);
  addColumn(table, u"b", kTypeBinary, 0, 3);
  addColumn(table, u"t", kTypeTinyint);
  addColumn(table, u"h", kTypeSmallint);
  addColumn(table, u"g", kTypeBigint);
  addColumn(table, u"day", kTypeDate);
  addColumn(table, u"at", kTypeTime);
  addColumn(table, u"ts", kTypeTimestamp, 3);
  addColumn(table, u"dec", kTypeDecimal, 7, 2);
  KovaRipper* ripper = ripperFor(table);
  ASSERT_NE(ripper, nullptr);

  const uint8_t decimal[19] = {7, 2, 1, 0x39, 0x30};  // -123.45
  const std::string block = VarbinRecord()
                                .sized(1, "ab  ")
                                .sized(2, "xy  ")
                                .sized(3, bytesOf({0, 0xFF, 7}))
                                .integer(4, -5, 1)
                                .integer(5, -300, 2)
                                .integer(6, 1LL << 40, 8)
                                .date(7, 2024, 2, 29)
                                .time(8, 13, 5, 9)
                                .timestamp(9, 1999, 12, 31, 23, 59, 58, 250000000)
                                .decimal(10, decimal)
                                .bytes();
  Result r = ripOnce(ripper, block);
  ASSERT_EQ(r.status, kStatusOk);
  ASSERT_EQ(r.count, 1);
  const uint8_t* row = r.rows;
  EXPECT_EQ(valueBytes(ripper, row, 0), "ab  ");  // CHAR keeps its bytes as they came
  EXPECT_EQ(valueBytes(ripper, row, 1), "xy");    // VARCHAR loses trailing blanks
  EXPECT_EQ(valueBytes(ripper, row, 2), bytesOf({0, 0xFF, 7}));
  int8_t tiny;
  int16_t small;
  int64_t big;
  std::memcpy(&tiny, row + entry(ripper, 3).dataOffset, 1);
  std::memcpy(&small, row + entry(ripper, 4).dataOffset, 2);
  std::memcpy(&big, row + entry(ripper, 5).dataOffset, 8);
  EXPECT_EQ(tiny, -5);
  EXPECT_EQ(small, -300);
  EXPECT_EQ(big, 1LL << 40);
  EXPECT_EQ(indicator(ripper, row, 3), 1);
  EXPECT_EQ(indicator(ripper, row, 5), 8);

  uint16_t date[3];
  std::memcpy(date, row + entry(ripper, 6).dataOffset, 6);
  EXPECT_EQ(date[0], 2024);
  EXPECT_EQ(date[1], 2);
  EXPECT_EQ(date[2], 29);
  EXPECT_EQ(indicator(ripper, row, 6), 6);
  uint16_t time[3];
  std::memcpy(time, row + entry(ripper, 7).dataOffset, 6);
  EXPECT_EQ(time[0], 13);
  EXPECT_EQ(time[1], 5);
  EXPECT_EQ(time[2], 9);
  EXPECT_EQ(indicator(ripper, row, 7), 6);
  uint16_t stamp[6];
  uint32_t fraction;
  std::memcpy(stamp, row + entry(ripper, 8).dataOffset, 12);
  std::memcpy(&fraction, row + entry(ripper, 8).dataOffset + 12, 4);
  EXPECT_EQ(stamp[0], 1999);
  EXPECT_EQ(stamp[5], 58);
  EXPECT_EQ(fraction, 250000000u);
  EXPECT_EQ(indicator(ripper, row, 8), 16);
  // The decimal comes without its trailing zero bytes and is filled up.
  std::memset(ripper->rowBlock + entry(ripper, 9).dataOffset, 0xEE, 19);
  ASSERT_EQ(ripOnce(ripper, block).status, kStatusOk);
  EXPECT_EQ(valueBytes(ripper, ripper->rowBlock, 9),
            std::string(reinterpret_cast<const char*>(decimal), 19));
  EXPECT_EQ(ripper->ops.truncationCount(ripper), 0u);
}

TEST_F(VarbinTest, BigEndianColumnsAreReversed) {
  KovaObject* table = newVarbinTable();
  table->bigendian = 1;
  addColumn(table, u"g", kTypeBigint);
  addColumn(table, u"d", kTypeDouble);
  addColumn(table, u"little", kTypeInt)->colendian = 1;
  std::string block =
      VarbinRecord().integer(1, 258, 8, true).real(2, 1.5, true).integer(3, 6, 4).bytes();
  // A missing value written big-endian is still recognised.
  block += VarbinRecord().field(2, 8).raw(bytesOf({0xFF, 0xFF, 0xBE, 0, 0, 0, 0, 0})).bytes();
  EXPECT_EQ(ripAll(ripperFor(table, kRipperNullAsMissing), {block}),
            (std::vector<std::string>{"258|1.5|6", "NULL|IND-87|NULL"}));
}

TEST_F(VarbinTest, ValuesThatDoNotFitAreCutOrNulledAndCounted) {
  KovaObject* table = newVarbinTable();
  addColumn(table, u"v", kTypeVarchar, 4);
  addColumn(table, u"b", kTypeBinary, 0, 2);
  addColumn(table, u"d", kTypeDouble);
  addColumn(table, u"n", kTypeInt);
  KovaRipper* ripper = ripperFor(table);
  ASSERT_NE(ripper, nullptr);
  std::string block;
  // Cut to the column, never inside a UTF-8 character: "abc" + e-acute.
  block += VarbinRecord().sized(1, "abc\xC3\xA9").sized(2, "xyz").integer(4, 1, 4).bytes();
  // A 4-byte double and a 2-byte int are skipped; the next field still reads.
  block += VarbinRecord().field(3, 4).raw("1234").integer(4, 2, 4).bytes();
  block += VarbinRecord().integer(4, 3, 2).sized(1, "ok").bytes();
  // An 8-byte value for an INT keeps its low four bytes.
  block += VarbinRecord().integer(4, (5LL << 32) | 4, 8).bytes();
  // L = 0: an empty text is a value, a number without bytes is not.
  block += VarbinRecord().sized(1, "").field(4, 0).field(3, 0).bytes();
  EXPECT_EQ(ripAll(ripper, {block}),
            (std::vector<std::string>{"\"abc\"|0x7879|NULL|1", "NULL|NULL|NULL|2",
                                      "\"ok\"|NULL|NULL|NULL", "NULL|NULL|NULL|4",
                                      "\"\"|NULL|NULL|NULL"}));
  EXPECT_EQ(ripper->ops.truncationCount(ripper), 7u);
}

TEST_F(VarbinTest, FieldsOfDroppedColumnsAreSkippedByTheirForm) {
  KovaObject* table = newVarbinTable();
  addColumn(table, u"a", kTypeInt);
  addColumn(table, u"x", kTypeVarchar, 8)->dropped = 1;
  addColumn(table, u"y", kTypeTimestamp)->dropped = 1;
  addColumn(table, u"z", kTypeDecimal, 5, 1)->dropped = 1;
  addColumn(table, u"b", kTypeInt);
  const uint8_t decimal[19] = {5, 1, 0, 12};
  const std::string block = VarbinRecord()
                                .integer(1, 1, 4)
                                .sized(2, "abc")
                                .timestamp(3, 2000, 1, 2, 3, 4, 5, 6)
                                .decimal(4, decimal)
                                .null(2)
                                .integer(5, 2, 4)
                                .bytes();
  EXPECT_EQ(ripAll(ripperFor(table), {block}), (std::vector<std::string>{"1|2"}));
}

TEST_F(VarbinTest, CorruptedRecordsFailTheBlockWithoutReadingPastIt) {
  KovaObject* table = newVarbinTable();
  addColumn(table, u"n", kTypeInt);
  addColumn(table, u"s", kTypeVarchar, 8);
  addColumn(table, u"dec", kTypeDecimal, 5, 0);
  addColumn(table, u"day", kTypeDate);
  const std::string good = VarbinRecord().integer(1, 1, 4).bytes();
  auto record = [](const std::string& fields) { return VarbinRecord().raw(fields).bytes(); };
  auto header = [](int column, int code) { return bytesOf({column, 0, 0, 0, code}); };
  struct Case {
    const char* what;
    std::string block;
  };
  const std::vector<Case> cases = {
      {"record length 0", good + bytesOf({0, 0, 0, 0})},
      {"record length 3", bytesOf({3, 0, 0, 0})},
      {"record length cut", good + bytesOf({5, 0})},
      {"record past the block", bytesOf({20, 0, 0, 0}) + good.substr(4)},
      {"negative record length", bytesOf({0xF0, 0xFF, 0xFF, 0xFF}) + good},
      {"column number cut", record(bytesOf({1, 0, 0}))},
      {"no length code", record(bytesOf({1, 0, 0, 0}))},
      {"wide length cut", record(header(1, 0xF7) + bytesOf({4, 0, 0}))},
      {"data length cut", record(header(2, 3) + bytesOf({3, 0}))},
      {"negative data length", record(header(2, 3) + bytesOf({0xFD, 0xFF, 0xFF, 0xFF}))},
      {"value past the record", record(header(1, 4) + bytesOf({1, 0}))},
      {"huge wide length", record(header(1, 0xFA) + bytesOf({0xFF, 0xFF, 0xFF, 0x7F}))},
      {"text past the record", record(header(2, 3) + bytesOf({9, 0, 0, 0}) + "abc")},
      {"decimal of 20 bytes", record(header(3, 19) + bytesOf({20}) + std::string(20, '\1'))},
      {"decimal without its byte count", record(header(3, 19))},
      {"date cut", record(header(4, 6) + bytesOf({0xE8, 7, 1}))},
      // The record says 9 bytes: its field may not borrow from the next one.
      {"field longer than its record", bytesOf({9, 0, 0, 0}) + header(1, 4) + good},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    KovaRipper* ripper = ripperFor(table);
    ASSERT_NE(ripper, nullptr);
    diagnostics().clear();
    Result r = ripOnce(ripper, c.block);
    EXPECT_EQ(r.status, kStatusCorruptData);
    EXPECT_EQ(r.count, 0);
    EXPECT_TRUE(diagnostics().contains("varBinaryRipBlock: ", kLogError));
    EXPECT_TRUE(diagnostics().contains("Corrupted Data.", kLogError));
    // The ripper goes on with the next block.
    EXPECT_EQ(ripAll(ripper, {good}), std::vector<std::string>{"1|NULL|NULL|NULL"});
    destroy(ripper);
  }
}

TEST_F(VarbinTest, ColumnNumberOutsideTheTableIsLoggedAsInvalidOrdinal) {
  KovaObject* table = newVarbinTable();
  addColumn(table, u"n", kTypeInt);
  addColumn(table, u"dropped", kTypeInt)->dropped = 1;
  for (int32_t ordinal : {0, 3, -1}) {
    KovaRipper* ripper = ripperFor(table);
    ASSERT_NE(ripper, nullptr);
    diagnostics().clear();
    const std::string block =
        VarbinRecord().integer(1, 1, 4).bytes() + VarbinRecord().integer(ordinal, 1, 4).bytes();
    Result r = ripOnce(ripper, block);
    EXPECT_EQ(r.status, kStatusCorruptData);
    EXPECT_EQ(r.count, 0);
    const std::string line =
        "varBinaryRipBlock: Invalid ordinal=[" + std::to_string(ordinal) + "]; Corrupted Data.";
    EXPECT_TRUE(diagnostics().contains(line, kLogError)) << line;
    destroy(ripper);
  }
}

// Many records of varied shapes; the row block grows from a small estimate.
std::string manyRecords(int count, std::vector<size_t>* boundaries) {
  std::string out;
  for (int i = 0; i < count; ++i) {
    VarbinRecord r;
    if (i % 3 != 0) r.integer(1, i, 4);
    if (i % 5 == 0) {
      r.null(2);
    } else {
      r.sized(2, std::string(size_t(i % 11), char('a' + i % 26)));
    }
    if (i % 7 != 1) r.real(3, i / 4.0);
    if (i % 4 == 2) r.integer(1, -i, 4);  // a column given twice: the last one wins
    out += r.bytes();
    if (boundaries && i + 1 < count) boundaries->push_back(out.size());
  }
  return out;
}

TEST_F(VarbinTest, BlocksCutAtRecordBoundariesGiveTheSameRows) {
  KovaObject* table = newVarbinTable();
  addColumn(table, u"n", kTypeInt);
  addColumn(table, u"s", kTypeVarchar, 16);
  addColumn(table, u"x", kTypeDouble);
  std::vector<size_t> cuts;
  const std::string input = manyRecords(300, &cuts);
  const std::vector<std::string> rows = splitEverywhere(
      input,
      [&](const std::vector<std::string_view>& blocks) {
        KovaRipper* ripper = ripperFor(table);
        std::vector<std::string> out = ripAll(ripper, blocks);
        destroy(ripper);
        return out;
      },
      40, 11, &cuts);
  ASSERT_EQ(rows.size(), 300u);
  EXPECT_EQ(rows[0], "NULL|NULL|0");
  EXPECT_EQ(rows[2], "-2|\"cc\"|0.5");
  EXPECT_EQ(rows[299], "299|\"nn\"|74.75");
}

TEST_F(VarbinTest, RowCountHintSizesTheBlockAndIsReplacedByTheCount) {
  KovaObject* table = newVarbinTable();
  addColumn(table, u"n", kTypeInt);
  addColumn(table, u"s", kTypeVarchar, 16);
  addColumn(table, u"x", kTypeDouble);
  KovaRipper* ripper = ripperFor(table);
  ASSERT_NE(ripper, nullptr);
  const std::string input = manyRecords(200, nullptr);
  Result r = ripOnce(ripper, input, 500);
  ASSERT_EQ(r.status, kStatusOk);
  EXPECT_EQ(r.count, 200);
  EXPECT_EQ(ripper->blockCapacity, 501);
  // A hint far too small: the block grows while the records are read.
  r = ripOnce(ripper, input + input, 1);
  ASSERT_EQ(r.status, kStatusOk);
  EXPECT_EQ(r.count, 400);
  EXPECT_EQ(renderRow(ripper, r.rows + 399 * ripper->rowLength), "199|\"r\"|49.75");
  // A hint no block of this size can fill is not taken at its word.
  r = ripOnce(ripper, input, INT32_MAX);
  ASSERT_EQ(r.status, kStatusOk);
  EXPECT_EQ(r.count, 200);
  // An empty block has no rows.
  r = ripOnce(ripper, "");
  EXPECT_EQ(r.status, kStatusOk);
  EXPECT_EQ(r.count, 0);
}

TEST_F(VarbinTest, TraceLinesFollowTheParseAtTraceLevelNine) {
  KovaObject* table = newVarbinTable();
  addColumn(table, u"n", kTypeInt);
  addColumn(table, u"s", kTypeVarchar, 8);
  const std::string block = VarbinRecord().integer(1, 7, 4).sized(2, "abc").bytes();
  KovaRipperOptions options{};
  options.traceLevel = 9;
  KovaRipper* traced = create(table, options);
  ASSERT_NE(traced, nullptr);
  ASSERT_NE(describe(traced), nullptr);
  ASSERT_EQ(traced->ops.bind(traced), kStatusOk);
  diagnostics().clear();
  ASSERT_EQ(ripOnce(traced, block, 3).status, kStatusOk);
  const std::vector<std::string> expected = {
      "varBinaryRipBlock: numrecs=[3]",
      "varBinaryRipBlock: buflen=25, lenleft=[21], len=[25]",
      "varBinaryRipBlock: ordinal=[1], lenleft=[17]",
      "varBinaryRipBlock: inflag=[4] ind=4, lenleft=[16] ",
      "varBinaryRipBlock: ordinal=[2], lenleft=[8]",
      "varBinaryRipBlock: inflag=[3] ind=3, lenleft=[7] ",
      "varBinaryRipBlock: datalength=3",
  };
  std::vector<std::string> lines;
  for (const auto& line : diagnostics().lines()) {
    EXPECT_EQ(line.level, kLogTrace);
    lines.push_back(line.utf8());
  }
  EXPECT_EQ(lines, expected);

  KovaRipper* quiet = ripperFor(table);
  ASSERT_NE(quiet, nullptr);
  diagnostics().clear();
  ASSERT_EQ(ripOnce(quiet, block).status, kStatusOk);
  EXPECT_TRUE(diagnostics().lines().empty());
}

TEST_F(VarbinTest, FailingAllocationsGiveNoMemoryAndLeaveNothingBehind) {
  KovaObject* table = newVarbinTable();
  addColumn(table, u"n", kTypeInt);
  addColumn(table, u"s", kTypeVarchar, 16);
  addColumn(table, u"x", kTypeDouble);
  const std::string small = manyRecords(3, nullptr);
  const std::string large = manyRecords(120, nullptr);
  KovaRipper* clean = ripperFor(table);
  ASSERT_NE(clean, nullptr);
  const std::vector<std::string> expected = ripAll(clean, {small, large});
  destroy(clean);
  for (bool persistent : {false, true}) {
    int runs = forEachAllocationFailure(
        host(),
        [&](int nth) {
          KovaRipper* ripper = extension()->createRipper(table, nullptr, diagnostics().get());
          if (!ripper) return;
          if (ripper->ops.describe(ripper) && ripper->ops.bind(ripper) == kStatusOk) {
            std::vector<std::string> rows = ripAll(ripper, {small, large});
            if (!host().failureFired()) {
              EXPECT_EQ(rows, expected) << nth;
            } else if (!rows.empty() && rows.back().rfind("status", 0) == 0) {
              EXPECT_EQ(rows.back(), "status 0x803fc002") << nth;
            }
          }
          ripper->ops.destroy(ripper);
        },
        persistent);
    // Creation, binding, both row blocks and the row block's growth.
    EXPECT_GT(runs, 5);
  }
}

}  // namespace
}  // namespace kova::testing
