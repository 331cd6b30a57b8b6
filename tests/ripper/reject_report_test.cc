// kRipperReportRejects: the module hands the host every value it stores
// null or cut, with its column, its row among the rows of the call, the
// offsets of the field and of its record in the input and the field's text,
// and each qualified field that took in line ends; the rows and the
// truncation count stay those of a ripper without the option, however the
// input is cut.
#include <cstdarg>
#include <random>
#include <string>
#include <vector>

#include "tests/support/reject_recorder.h"
#include "tests/support/ripper_fixture.h"
#include "tests/support/rows.h"

namespace kova::testing {
namespace {

class RejectReportTest : public RipperTest {
 protected:
  KovaObject* ordersTable(uint8_t qualifier) {
    KovaObject* table = newTable(kRecfmDelimited, kEncodingUtf8);
    table->textqual = qualifier;
    addColumn(table, u"n", kTypeInt);
    addColumn(table, u"s", kTypeVarchar, 3);
    addColumn(table, u"d", kTypeDecimal, 4, 1);
    return table;
  }
  KovaRipper* reporting(KovaObject* table, Recorder* recorder, uint32_t flags = 0) {
    KovaRipper* ripper = tryReportingRipper(extension(), table, recorder, flags);
    EXPECT_NE(ripper, nullptr);
    return ripper;
  }
  // Rips input cut at the given points, counting rows across calls.
  std::vector<std::string> ripCut(KovaRipper* ripper, Recorder* recorder, std::string_view input,
                                  const std::vector<size_t>& cuts) {
    std::vector<std::string> rows;
    size_t from = 0;
    auto take = [&](uint8_t* block, int32_t count) {
      for (int32_t r = 0; r < count; ++r)
        rows.push_back(renderRow(ripper, block + r * ripper->rowLength));
      recorder->rowsBefore += uint64_t(count);
    };
    std::vector<size_t> ends = cuts;
    ends.push_back(input.size());
    for (size_t to : ends) {
      uint8_t* block = nullptr;
      int32_t count = 0;
      EXPECT_EQ(ripper->ops.ripBlock(ripper, reinterpret_cast<const uint8_t*>(input.data() + from),
                                     int64_t(to - from), &block, &count),
                kStatusOk);
      take(block, count);
      from = to;
    }
    uint8_t* block = nullptr;
    int32_t count = 0;
    EXPECT_EQ(ripper->ops.flushPending(ripper, &block, &count), kStatusOk);
    take(block, count);
    return rows;
  }
};

TEST_F(RejectReportTest, EveryRejectNamesItsRowColumnReasonAndOffsetAtEveryCut) {
  // Row 1: not a number, cut text, a decimal out of range; row 2 clean; the
  // last record has no line end and a cut qualified text.
  const std::string input = "x,abcd,123456\n7,ab,1.5\n8,\"q\"\"rs\"";
  const std::vector<std::string> expected = {"0:0:1:0@0:x", "0:1:3:2@0:abcd", "0:2:2:7@0:123456",
                                             "2:1:3:26@23:q\"rs"};
  KovaObject* table = ordersTable('"');
  KovaRipper* plain = bound(table);
  ASSERT_NE(plain, nullptr);
  const std::vector<std::string> plainRows = ripBlocks(plain, {input});
  const uint32_t plainTruncations = plain->truncations;
  for (size_t cut = 0; cut <= input.size(); ++cut) {
    SCOPED_TRACE(cut);
    Recorder recorder(diagnostics().get());
    KovaRipper* ripper = reporting(table, &recorder);
    ASSERT_NE(ripper, nullptr);
    EXPECT_EQ(ripCut(ripper, &recorder, input, {cut}), plainRows);
    EXPECT_EQ(ripper->truncations, plainTruncations);
    EXPECT_EQ(recorder.seen, expected);
    ripper->ops.destroy(ripper);
  }
}

// Records end in CR LF (also with the pair split between blocks) and hold
// qualified fields across line ends: each reject names where its record
// began, and each such field is said once, when it closes, with its line
// ends and its opening qualifier's offset, wherever the blocks are cut.
TEST_F(RejectReportTest, RecordOffsetsAndQualifiedLineEndsAtEveryPairOfCuts) {
  const std::string input = "1,ab,1\r\n\"2\",\"x\ny\nz\",9\r\n3,\"p\nq\",bad\r\nzz,a,\"\n\"";
  const std::vector<std::string> expected = {
      "1:1:6:12@8:2",   "1:1:3:13@8:x\ny\nz", "2:1:6:25@23:1", "2:2:1:31@23:bad",
      "3:0:1:36@36:zz", "3:2:6:41@36:1",      "3:2:1:42@36:\n"};
  KovaObject* table = ordersTable('"');
  KovaRipper* plain = bound(table);
  ASSERT_NE(plain, nullptr);
  const std::vector<std::string> plainRows = ripBlocks(plain, {input});
  for (size_t first = 0; first <= input.size(); ++first) {
    for (size_t second = first; second <= input.size(); second += 3) {
      SCOPED_TRACE(std::to_string(first) + "," + std::to_string(second));
      Recorder recorder(diagnostics().get());
      KovaRipper* ripper = reporting(table, &recorder);
      ASSERT_NE(ripper, nullptr);
      EXPECT_EQ(ripCut(ripper, &recorder, input, {first, second}), plainRows);
      EXPECT_EQ(recorder.seen, expected);
      ripper->ops.destroy(ripper);
    }
  }
}

// Generated records of numbers, text, qualifiers, CR and LF: the rejects
// (record and field offsets, qualified line ends) are those of the whole
// input at random cuts, each field lies at or after its record, and a record
// begins with the input or right after a line end.
TEST_F(RejectReportTest, GeneratedInputsGiveTheSameRejectsAtRandomCuts) {
  std::mt19937 random(17);
  const char kBytes[] = {'1', 'x', ',', ',', '"', '"', '\r', '\n', '\n', ' '};
  KovaObject* table = ordersTable('"');
  for (int round = 0; round < 300; ++round) {
    std::string input;
    const size_t length = random() % 40;
    for (size_t i = 0; i < length; ++i) input += kBytes[random() % sizeof kBytes];
    SCOPED_TRACE(input);
    Recorder whole(diagnostics().get());
    KovaRipper* reference = reporting(table, &whole);
    ASSERT_NE(reference, nullptr);
    const std::vector<std::string> rows = ripCut(reference, &whole, input, {});
    reference->ops.destroy(reference);
    for (const std::string& seen : whole.seen) {
      const size_t colon = seen.find(':', seen.find(':', seen.find(':') + 1) + 1);
      const int64_t field = std::stoll(seen.substr(colon + 1));
      const int64_t record = std::stoll(seen.substr(seen.find('@') + 1));
      ASSERT_GE(record, 0) << seen;
      EXPECT_LE(record, field < 0 ? record : field) << seen;
      if (record > 0) {
        EXPECT_TRUE(input[record - 1] == '\n' || input[record - 1] == '\r') << seen;
      }
    }
    for (int cuts = 0; cuts < 4; ++cuts) {
      std::vector<size_t> at = {random() % (length + 1), random() % (length + 1)};
      if (at[0] > at[1]) std::swap(at[0], at[1]);
      Recorder recorder(diagnostics().get());
      KovaRipper* ripper = reporting(table, &recorder);
      ASSERT_NE(ripper, nullptr);
      EXPECT_EQ(ripCut(ripper, &recorder, input, at), rows);
      EXPECT_EQ(recorder.seen, whole.seen) << at[0] << "," << at[1];
      ripper->ops.destroy(ripper);
    }
  }
}

TEST_F(RejectReportTest, RowImagesReportCutsOnlyAndFixedRippersNothing) {
  Recorder recorder(diagnostics().get());
  KovaObject* table = ordersTable(0);
  KovaRipper* image = reporting(table, &recorder, kRipperRowImage);
  ASSERT_NE(image, nullptr);
  ripCut(image, &recorder, "x,abcd,1\n", {});
  EXPECT_EQ(recorder.seen, (std::vector<std::string>{"0:1:3:2@0:abcd"}));
  image->ops.destroy(image);

  Recorder fixedRecorder(diagnostics().get());
  KovaObject* fixed = newTable(kRecfmFixed, kEncodingUtf8);
  fixed->reclen = 4;
  addColumn(fixed, u"s", kTypeChar, 2);
  KovaRipper* ripper = reporting(fixed, &fixedRecorder);
  ASSERT_NE(ripper, nullptr);
  ripCut(ripper, &fixedRecorder, "abcdefgh", {});
  EXPECT_TRUE(fixedRecorder.seen.empty());
  ripper->ops.destroy(ripper);
}

}  // namespace
}  // namespace kova::testing
