// The FIXED block parser: records of reclen bytes into rows through the
// typed record converter, an unfinished record carried from block to block
// (any partition of the input gives the same rows), a partial record at the
// end of the input reported, and failing allocations that leave the ripper
// able to take the same block again.
#include <string>
#include <vector>

#include "tests/fixed_varbin/binary_test_util.h"

namespace kova::testing {
namespace {

using records::putDouble;
using records::putInteger;

constexpr int64_t kReclen = 16;

class FixedTest : public BinaryRipTest {
 protected:
  // INT at 0, DOUBLE at 4, VARCHAR(4) at 12: 16-byte UTF-8 records.
  KovaObject* payTable() {
    KovaObject* table = newTable(kRecfmFixed, 20);
    table->reclen = kReclen;
    KovaColumn* n = addColumn(table, u"n", kTypeInt, 0, 4);
    n->c_type = kCTypeInt32;
    KovaColumn* x = addColumn(table, u"x", kTypeDouble, 0, 8);
    x->c_type = kCTypeDouble;
    x->offset = 4;
    KovaColumn* s = addColumn(table, u"s", kTypeVarchar, 4, 4);
    s->c_type = kCTypeChar;
    s->offset = 12;
    return table;
  }

  static std::string record(int32_t n, double x, std::string_view s) {
    std::string out;
    putInteger(out, uint32_t(n), 4);
    putDouble(out, x);
    out += std::string(s).append(4 - s.size(), ' ');
    return out;
  }
  static std::string records(int count) {
    std::string out;
    for (int i = 0; i < count; ++i) {
      out += record(i * 11 - 7, i / 8.0, std::string(size_t(i % 5), char('a' + i)));
    }
    return out;
  }
  static std::string rendered(int i) {
    char x[32];
    std::snprintf(x, sizeof x, "%.17g", i / 8.0);
    return std::to_string(i * 11 - 7) + "|" + x + "|\"" +
           std::string(size_t(i % 5), char('a' + i)) + "\"";
  }
};

TEST_F(FixedTest, TwoAndAHalfRecordsGiveTwoRowsAndTheNextBlockCompletesTheThird) {
  KovaRipper* ripper = bound(payTable());
  ASSERT_NE(ripper, nullptr);
  const std::string input = records(4);
  Result r = ripOnce(ripper, std::string_view(input).substr(0, 40));
  ASSERT_EQ(r.status, kStatusOk);
  ASSERT_EQ(r.count, 2);
  EXPECT_EQ(renderRow(ripper, r.rows), rendered(0));
  EXPECT_EQ(renderRow(ripper, r.rows + ripper->rowLength), rendered(1));
  EXPECT_EQ(ripper->fragmentLength, 8u);

  r = ripOnce(ripper, std::string_view(input).substr(40));
  ASSERT_EQ(r.status, kStatusOk);
  ASSERT_EQ(r.count, 2);
  EXPECT_EQ(renderRow(ripper, r.rows), rendered(2));
  EXPECT_EQ(renderRow(ripper, r.rows + ripper->rowLength), rendered(3));
  EXPECT_EQ(ripper->fragmentLength, 0u);
  EXPECT_EQ(ripper->rowsInBlock, 2u);
}

TEST_F(FixedTest, BlockTooShortToCompleteTheCarriedRecordGivesNoRow) {
  KovaRipper* ripper = bound(payTable());
  ASSERT_NE(ripper, nullptr);
  const std::string input = records(2);
  ASSERT_EQ(ripOnce(ripper, std::string_view(input).substr(0, 20)).count, 1);
  EXPECT_EQ(ripper->fragmentLength, 4u);
  Result r = ripOnce(ripper, std::string_view(input).substr(20, 3));
  EXPECT_EQ(r.status, kStatusOk);
  EXPECT_EQ(r.count, 0);
  EXPECT_EQ(ripper->fragmentLength, 7u);
  r = ripOnce(ripper, "");
  EXPECT_EQ(r.count, 0);
  EXPECT_EQ(ripper->fragmentLength, 7u);
  r = ripOnce(ripper, std::string_view(input).substr(23));
  ASSERT_EQ(r.count, 1);
  EXPECT_EQ(renderRow(ripper, r.rows), rendered(1));
  EXPECT_EQ(ripper->fragmentLength, 0u);
}

TEST_F(FixedTest, AnyPartitionOfTheInputGivesTheSameRows) {
  KovaObject* table = payTable();
  const std::string input = records(9);
  const std::vector<std::string> rows = splitEverywhere(input, [&](const auto& blocks) {
    KovaRipper* ripper = bound(table);
    std::vector<std::string> out = ripAll(ripper, blocks);
    destroy(ripper);
    return out;
  });
  ASSERT_EQ(rows.size(), 9u);
  for (int i = 0; i < 9; ++i) EXPECT_EQ(rows[size_t(i)], rendered(i));
}

TEST_F(FixedTest, PartialRecordAtTheEndIsReportedAndCounted) {
  KovaRipper* ripper = bound(payTable());
  ASSERT_NE(ripper, nullptr);
  const std::string input = records(2).substr(0, 27);
  EXPECT_EQ(ripAll(ripper, {input}), std::vector<std::string>{rendered(0)});
  EXPECT_TRUE(diagnostics().contains(
      "fixedRipBlock: the input ends inside a record; 11 of 16 bytes are ignored.", kLogWarning));
  EXPECT_EQ(ripper->ops.truncationCount(ripper), 1u);
  EXPECT_EQ(ripper->fragmentLength, 0u);
  // Nothing is left for a second end of input.
  diagnostics().clear();
  uint8_t* rows = nullptr;
  int32_t count = -1;
  EXPECT_EQ(ripper->ops.flushPending(ripper, &rows, &count), kStatusOk);
  EXPECT_EQ(count, 0);
  EXPECT_TRUE(diagnostics().lines().empty());
  EXPECT_EQ(ripper->ops.truncationCount(ripper), 1u);
}

TEST_F(FixedTest, RowImageColumnsOutsideTheRecordStayBlankOrMissing) {
  KovaObject* table = payTable();
  KovaColumn* number = addColumn(table, u"beyond", kTypeInt, 0, 4);
  number->c_type = kCTypeInt32;
  number->offset = kReclen;
  KovaColumn* text = addColumn(table, u"far", kTypeChar, 2, 2);
  text->c_type = kCTypeChar;
  text->offset = kReclen + 4;
  KovaRipper* ripper = bound(table, kRipperRowImage);
  ASSERT_NE(ripper, nullptr);
  // Rows full of bytes that would read as values if nothing cleared them.
  ASSERT_EQ(ripOnce(ripper, records(3)).count, 3);
  std::memset(ripper->rowBlock, 0, 3 * ripper->rowLength);
  Result r = ripOnce(ripper, records(3));
  ASSERT_EQ(r.count, 3);
  for (int i = 0; i < 3; ++i) {
    const std::string row = renderRow(ripper, r.rows + uint64_t(i) * ripper->rowLength);
    EXPECT_EQ(row.substr(row.size() - 13), "|MISSING|\"  \"") << row;
  }
}

TEST_F(FixedTest, RecordTheConverterRefusesFailsTheBlock) {
  KovaRipper* ripper = bound(payTable());
  ASSERT_NE(ripper, nullptr);
  const std::string bad = record(1, 1.0, "\xFF\xFE");
  // In the carried record and among the whole ones.
  Result r = ripOnce(ripper, records(1) + bad.substr(0, 8));
  ASSERT_EQ(r.count, 1);
  r = ripOnce(ripper, bad.substr(8) + records(1));
  EXPECT_NE(r.status, kStatusOk);
  EXPECT_EQ(r.count, 0);
  // The refused record is not tried again: the next block starts afresh.
  r = ripOnce(ripper, records(2));
  EXPECT_EQ(r.status, kStatusOk);
  EXPECT_EQ(r.count, 2);
  r = ripOnce(ripper, records(2) + bad);
  EXPECT_NE(r.status, kStatusOk);
  EXPECT_EQ(r.count, 0);
}

TEST_F(FixedTest, FailedAllocationsLeaveTheRipperReadyForTheSameBlock) {
  KovaObject* table = payTable();
  const std::string input = records(12);
  // Block sizes that make the row block grow and a tail wait in fragment.
  const std::vector<std::string_view> blocks = {std::string_view(input).substr(0, 40),
                                                std::string_view(input).substr(40, 3),
                                                std::string_view(input).substr(43)};
  KovaRipper* clean = bound(table);
  ASSERT_NE(clean, nullptr);
  const std::vector<std::string> expected = ripAll(clean, blocks);
  ASSERT_EQ(expected.size(), 12u);
  destroy(clean);

  for (bool persistent : {false, true}) {
    int runs = forEachAllocationFailure(
        host(),
        [&](int nth) {
          diagnostics().clear();
          KovaRipper* ripper = extension()->createRipper(table, nullptr, diagnostics().get());
          if (!ripper) return;
          if (!ripper->ops.describe(ripper) || ripper->ops.bind(ripper) != kStatusOk) {
            ripper->ops.destroy(ripper);
            return;
          }
          std::vector<std::string> rows;
          for (std::string_view block : blocks) {
            Result r = ripOnce(ripper, block);
            if (r.status == kStatusNoMemory && !persistent) {
              EXPECT_TRUE(
                  diagnostics().contains("[ensureBlockSize] : Failed to allocate", kLogError) ||
                  diagnostics().contains("[fixedRipBlock] : Failed to allocate", kLogError))
                  << nth;
              r = ripOnce(ripper, block);  // the failure happened once: the same block again
            }
            if (r.status != kStatusOk) {
              EXPECT_EQ(r.status, kStatusNoMemory) << nth;
              break;
            }
            for (int32_t i = 0; i < r.count; ++i) {
              rows.push_back(renderRow(ripper, r.rows + uint64_t(i) * ripper->rowLength));
            }
          }
          if (!persistent) {
            EXPECT_EQ(rows, expected) << nth;
          }
          ripper->ops.destroy(ripper);
        },
        persistent);
    EXPECT_GT(runs, 4);
  }
}

}  // namespace
}  // namespace kova::testing
