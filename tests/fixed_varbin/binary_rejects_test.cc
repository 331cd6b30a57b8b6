// kRipperReportRejects on FIXED and VARBIN tables: every value stored null
// or cut is reported with its column, reason, row, the offsets of the field
// and of its record in the input and the field's bytes, in either byte
// order, however the input is cut into blocks (also a block fed again after
// a failed allocation); the rows and the truncation count are those of a
// ripper without the option.
#include <string>
#include <vector>

#include "tests/fixed_varbin/binary_test_util.h"
#include "tests/support/reject_recorder.h"

namespace kova::testing {
namespace {

using records::VarbinRecord;

std::string hexOf(std::string_view bytes) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : bytes) out += {kDigits[c >> 4], kDigits[c & 15]};
  return out;
}

// n bytes of v in the given byte order.
std::string integerBytes(int64_t v, int n, bool big) {
  std::string out;
  records::putInteger(out, uint64_t(v), n, big);
  return out;
}

// "row:column:reason:fieldOffset@recordOffset:HEX", as Recorder writes it.
std::string seen(int row, int column, uint32_t reason, size_t field, size_t record,
                 std::string_view bytes) {
  return std::to_string(row) + ":" + std::to_string(column) + ":" + std::to_string(reason) + ":" +
         std::to_string(field) + "@" + std::to_string(record) + ":" + hexOf(bytes);
}

class BinaryRejectsTest : public BinaryRipTest {
 protected:
  KovaRipper* reporting(KovaObject* table, Recorder* recorder, uint32_t flags = 0) {
    KovaRipper* ripper = tryReportingRipper(extension(), table, recorder, flags);
    EXPECT_NE(ripper, nullptr);
    if (ripper) owned_.push_back(ripper);
    return ripper;
  }
  void TearDown() override {
    for (KovaRipper* ripper : owned_) ripper->ops.destroy(ripper);
    owned_.clear();
    BinaryRipTest::TearDown();
  }

  // input fed in the given blocks (VARBIN: each whole records), then
  // flushPending; rows rendered, rows counted across calls for recorder.
  static std::vector<std::string> ripCounted(KovaRipper* ripper, Recorder* recorder,
                                             const std::vector<std::string_view>& blocks) {
    std::vector<std::string> rows;
    auto take = [&](const Result& r) {
      EXPECT_EQ(r.status, kStatusOk);
      for (int32_t i = 0; i < r.count; ++i) {
        rows.push_back(renderRow(ripper, r.rows + uint64_t(i) * ripper->rowLength));
      }
      recorder->rowsBefore += uint64_t(r.count);
    };
    for (std::string_view block : blocks) take(ripOnce(ripper, block));
    Result flushed;
    flushed.status = ripper->ops.flushPending(ripper, &flushed.rows, &flushed.count);
    take(flushed);
    return rows;
  }

  using Partition = std::vector<std::string_view>;

  // Each partition ripped by a fresh reporting ripper of table gives the
  // rows and truncation count of a plain ripper and the expected reports
  // (hex bytes).
  void expectReports(KovaObject* table, uint32_t flags, const std::vector<Partition>& partitions,
                     const std::vector<std::string>& rows, uint32_t truncations,
                     const std::vector<std::string>& expected) {
    for (const Partition& blocks : partitions) {
      SCOPED_TRACE(std::to_string(blocks.size()) + " blocks, the first of " +
                   std::to_string(blocks.front().size()) + " bytes");
      Recorder recorder(diagnostics().get());
      recorder.hex = true;
      KovaRipper* ripper = reporting(table, &recorder, flags);
      ASSERT_NE(ripper, nullptr);
      EXPECT_EQ(ripCounted(ripper, &recorder, blocks), rows);
      EXPECT_EQ(ripper->truncations, truncations);
      EXPECT_EQ(recorder.seen, expected);
    }
  }

  // input in blocks of size bytes (the last one shorter).
  static Partition blocksOf(std::string_view input, size_t size) {
    Partition blocks;
    for (size_t at = 0; at < input.size(); at += size) blocks.push_back(input.substr(at, size));
    return blocks;
  }

  static Partition cutAt(std::string_view input, std::vector<size_t> cuts) {
    std::vector<std::string_view> blocks;
    size_t from = 0;
    cuts.push_back(input.size());
    for (size_t to : cuts) {
      blocks.push_back(input.substr(from, to - from));
      from = to;
    }
    return blocks;
  }

  // A FIXED table of 22-byte records: an INT, a SMALLINT kept in 4 bytes, a
  // CHAR(6) and an INT kept in 8 bytes.
  KovaObject* widenedTable(bool bigEndian) {
    KovaObject* table = newTable(kRecfmFixed, kEncodingUtf8);
    table->bigendian = bigEndian;
    at(table, u"id", kTypeInt, kCTypeInt32, 0, 4);
    at(table, u"small", kTypeSmallint, kCTypeInt16, 4, 4);
    at(table, u"name", kTypeChar, kCTypeChar, 8, 6);
    at(table, u"big", kTypeInt, kCTypeInt32, 14, 8);
    table->reclen = 22;
    return table;
  }

 private:
  std::vector<KovaRipper*> owned_;
};

TEST_F(BinaryRejectsTest, FixedIntegersOutOfRangeAreReportedAtEveryCutInBothByteOrders) {
  for (bool big : {false, true}) {
    for (uint32_t flags : {0u, kRipperRowImage}) {
      SCOPED_TRACE(std::string(big ? "big-endian" : "little-endian") + (flags ? ", image" : ""));
      KovaObject* table = widenedTable(big);
      auto record = [&](int64_t id, int64_t small, std::string_view name, int64_t wide) {
        return integerBytes(id, 4, big) + integerBytes(small, 4, big) + std::string(name) +
               integerBytes(wide, 8, big);
      };
      // Record 1 fits (the -5 and 7 are widened back exactly); 0 and 2 hold
      // values their slots cannot take.
      const std::string input = record(1, 70000, "abc   ", int64_t(1) << 40) +
                                record(2, -5, "xyz   ", 7) + record(3, -70000, "q     ", -1);
      const std::vector<std::string> expected = {
          seen(0, 1, kRejectOutOfRange, 4, 0, integerBytes(70000, 4, big)),
          seen(0, 3, kRejectOutOfRange, 14, 0, integerBytes(int64_t(1) << 40, 8, big)),
          seen(2, 1, kRejectOutOfRange, 48, 44, integerBytes(-70000, 4, big))};

      KovaRipper* plain = bound(table, flags);
      ASSERT_NE(plain, nullptr);
      const std::vector<std::string> plainRows = ripAll(plain, {input});
      ASSERT_EQ(plainRows.size(), 3u);
      const uint32_t plainTruncations = plain->truncations;
      EXPECT_EQ(plainTruncations, 3u);

      // One cut anywhere, and blocks of every size.
      std::vector<Partition> partitions;
      for (size_t cut = 0; cut <= input.size(); ++cut) partitions.push_back(cutAt(input, {cut}));
      for (size_t size = 1; size < input.size(); ++size)
        partitions.push_back(blocksOf(input, size));
      expectReports(table, flags, partitions, plainRows, plainTruncations, expected);
    }
  }
}

// A table whose values the typed plan moves (no integer wider than its
// slot) has nothing to report, at any block size, and keeps its rows; a
// record the input ends inside is counted as before and is no value.
TEST_F(BinaryRejectsTest, FixedTableOfThePlanReportsNothingAndKeepsItsRows) {
  KovaObject* table = newTable(kRecfmFixed, kEncodingUtf8);
  at(table, u"id", kTypeInt, kCTypeInt32, 0, 4);
  at(table, u"amount", kTypeDouble, kCTypeDouble, 4, 8);
  at(table, u"name", kTypeVarchar, kCTypeChar, 12, 20);
  at(table, u"code", kTypeSmallint, kCTypeInt16, 32, 2);
  table->reclen = 34;
  std::string input;
  for (int i = 0; i < 40; ++i) {
    input += integerBytes(i * 7919, 4, false);
    records::putDouble(input, i * 0.25);
    std::string name = "name " + std::to_string(i);
    name.resize(20, ' ');
    input += name + integerBytes(-i, 2, false);
  }
  input += "partial";
  KovaRipper* plain = bound(table);
  ASSERT_NE(plain, nullptr);
  const std::vector<std::string> plainRows = ripAll(plain, {input});
  ASSERT_EQ(plainRows.size(), 40u);
  EXPECT_EQ(plain->truncations, 1u);  // the partial record
  std::vector<Partition> partitions;
  for (size_t size : {size_t(1), size_t(33), size_t(100), input.size()}) {
    partitions.push_back(blocksOf(input, size));
  }
  expectReports(table, 0, partitions, plainRows, 1, {});
}

// A block that failed for want of memory is fed again: its bytes are
// counted once, so the offsets stay those of a clean run.
TEST_F(BinaryRejectsTest, FixedBlockFedAgainAfterAFailedAllocationKeepsTheOffsets) {
  KovaObject* table = widenedTable(false);
  std::string input;
  for (int i = 0; i < 12; ++i) {
    input += integerBytes(i, 4, false) + integerBytes(i % 3 ? 5 : 90000 + i, 4, false) + "name  " +
             integerBytes(7, 8, false);
  }
  const std::vector<std::string_view> blocks = cutAt(input, {40, 43});
  Recorder clean(diagnostics().get());
  clean.hex = true;
  KovaRipper* first = reporting(table, &clean);
  ASSERT_NE(first, nullptr);
  const std::vector<std::string> rows = ripCounted(first, &clean, blocks);
  ASSERT_EQ(clean.seen.size(), 4u);
  ASSERT_EQ(clean.seen[3],
            seen(9, 1, kRejectOutOfRange, 9 * 22 + 4, 9 * 22, integerBytes(90009, 4, false)));

  int runs = forEachAllocationFailure(host(), [&](int nth) {
    Recorder recorder(diagnostics().get());
    recorder.hex = true;
    KovaRipper* ripper = tryReportingRipper(extension(), table, &recorder);
    if (!ripper) return;
    std::vector<std::string> got;
    for (std::string_view block : blocks) {
      Result r = ripOnce(ripper, block);
      if (r.status == kStatusNoMemory) r = ripOnce(ripper, block);  // failed once: again
      ASSERT_EQ(r.status, kStatusOk) << nth;
      for (int32_t i = 0; i < r.count; ++i) {
        got.push_back(renderRow(ripper, r.rows + uint64_t(i) * ripper->rowLength));
      }
      recorder.rowsBefore += uint64_t(r.count);
    }
    EXPECT_EQ(got, rows) << nth;
    EXPECT_EQ(recorder.seen, clean.seen) << nth;
    ripper->ops.destroy(ripper);
  });
  EXPECT_GT(runs, 2);
}

// VARBIN: a double or an integer too short for its column and a number
// without bytes are stored null (not readable), an integer whose dropped
// bytes are more than its sign is out of range, a text longer than its
// column is cut; an integer of 8 bytes that fits an INT is counted as
// before but reported as nothing.
TEST_F(BinaryRejectsTest, VarbinValuesOfEveryReasonAtEveryRecordBoundaryInBothByteOrders) {
  for (bool big : {false, true}) {
    SCOPED_TRACE(big ? "big-endian" : "little-endian");
    KovaObject* table = newTable(kRecfmVarbin, kEncodingUtf8);
    table->bigendian = big;
    addColumn(table, u"n", kTypeInt);
    addColumn(table, u"s", kTypeVarchar, 4, 4);
    addColumn(table, u"d", kTypeDouble);
    const int64_t wide = int64_t(1) << 40;
    std::vector<std::string> recs = {
        VarbinRecord().integer(1, wide, 8, big).sized(2, "abcdefg").integer(3, 9, 4).bytes(),
        VarbinRecord().integer(1, 7, 8, big).sized(2, "ok").real(3, 2.5, big).bytes(),
        VarbinRecord().field(1, 0).sized(2, "").integer(3, 258, 2).bytes(),
        VarbinRecord().integer(1, -2, 8, big).integer(1, 3, 2, big).null(3).bytes(),
        // A number without bytes as the last bytes of a block.
        VarbinRecord().sized(2, "x").field(1, 0).bytes()};
    std::string input;
    std::vector<size_t> starts;
    for (const std::string& r : recs) {
      starts.push_back(input.size());
      input += r;
    }
    // Where a value's bytes begin: the first place of them after from.
    auto place = [&](std::string_view bytes, size_t from) { return input.find(bytes, from); };
    const std::string wideBytes = integerBytes(wide, 8, big);
    const std::string nine = integerBytes(9, 4, false);
    const std::string short2 = integerBytes(258, 2, false);
    const std::string three = integerBytes(3, 2, big);
    const std::vector<std::string> expected = {
        seen(0, 0, kRejectOutOfRange, place(wideBytes, 0), 0, wideBytes),
        seen(0, 1, kRejectCut, place("abcdefg", 0), 0, "abcdefg"),
        seen(0, 2, kRejectNotReadable, place(nine, place("abcdefg", 0)), 0, nine),
        // L = 0: no bytes, placed where the next field begins.
        seen(2, 0, kRejectNotReadable, starts[2] + 4 + 5, starts[2], ""),
        seen(2, 2, kRejectNotReadable, place(short2, starts[2]), starts[2], short2),
        seen(3, 0, kRejectNotReadable, starts[3] + 4 + 5 + 8 + 5, starts[3], three),
        seen(4, 0, kRejectNotReadable, input.size(), starts[4], "")};

    KovaRipper* plain = bound(table);
    ASSERT_NE(plain, nullptr);
    const std::vector<std::string> plainRows = ripAll(plain, {input});
    ASSERT_EQ(plainRows.size(), 5u);
    EXPECT_EQ(plainRows[0], "0|\"abcd\"|NULL");
    EXPECT_EQ(plainRows[3], "NULL|NULL|NULL");
    const uint32_t plainTruncations = plain->truncations;
    EXPECT_EQ(plainTruncations, 9u);  // the 8-byte 7 and -2 are counted too

    // One block, each record a block, and every split at a record boundary.
    std::vector<Partition> partitions = {
        {input}, cutAt(input, {starts[1], starts[2], starts[3], starts[4]})};
    for (size_t i = 1; i < starts.size(); ++i) partitions.push_back(cutAt(input, {starts[i]}));
    expectReports(table, 0, partitions, plainRows, plainTruncations, expected);
  }
}

// A VARBIN block that fails for want of memory counts no bytes: fed again,
// its values are placed as in a clean run.
TEST_F(BinaryRejectsTest, VarbinBlockFedAgainAfterAFailedAllocationKeepsTheOffsets) {
  KovaObject* table = newTable(kRecfmVarbin, kEncodingUtf8);
  addColumn(table, u"s", kTypeVarchar, 2, 2);
  std::string first;
  std::string second;
  for (int i = 0; i < 30; ++i) first += VarbinRecord().sized(1, "ab").bytes();
  for (int i = 0; i < 30; ++i) second += VarbinRecord().sized(1, i == 29 ? "xyz" : "cd").bytes();
  const size_t last = first.size() + second.size() - VarbinRecord().sized(1, "xyz").bytes().size();
  const std::string expected = seen(59, 0, kRejectCut, last + 13, last, "xyz");
  int runs = forEachAllocationFailure(host(), [&](int nth) {
    Recorder recorder(diagnostics().get());
    recorder.hex = true;
    KovaRipper* ripper = tryReportingRipper(extension(), table, &recorder);
    if (!ripper) return;
    for (const std::string* block : {&first, &second}) {
      Result r = ripOnce(ripper, *block);
      if (r.status == kStatusNoMemory) r = ripOnce(ripper, *block);
      ASSERT_EQ(r.status, kStatusOk) << nth;
      recorder.rowsBefore += uint64_t(r.count);
    }
    EXPECT_EQ(recorder.seen, std::vector<std::string>{expected}) << nth;
    ripper->ops.destroy(ripper);
  });
  EXPECT_GT(runs, 1);
}

}  // namespace
}  // namespace kova::testing
