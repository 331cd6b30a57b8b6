// The delimited parsers when memory runs out: the fragment, the row block and
// the record buffer of splitRecord failing at every allocation in turn give
// kStatusNoMemory with the level-4 line naming what could not grow, and
// nothing is left in the host once the ripper is destroyed.
#include <string>
#include <vector>

#include "tests/delimited/delimited_fixture.h"

namespace kova::testing {
namespace {

class DelimitedAllocationTest : public DelimitedTest {
 protected:
  // Rips blocks with every allocation after bind failing in turn (once and
  // from then on). A failed rip must say kStatusNoMemory and log one of the
  // labels; a clean one must give the rows of an unhindered rip.
  void failEverywhere(KovaObject* table, const std::vector<std::string_view>& blocks,
                      const std::vector<std::string>& labels) {
    const std::vector<std::string> clean = rip(table, blocks);
    ASSERT_FALSE(clean.empty());
    ASSERT_EQ(clean.back().rfind("status", 0), std::string::npos) << clean.back();
    for (bool persistent : {false, true}) {
      SCOPED_TRACE(persistent ? "from then on" : "once");
      std::vector<bool> seen(labels.size(), false);
      int runs = forEachAllocationFailure(
          host(),
          [&](int nth) {
            host().clearFailure();
            KovaRipper* ripper = bound(table);
            ASSERT_NE(ripper, nullptr);
            diagnostics().clear();
            host().failAllocation(uint64_t(nth), persistent);
            std::vector<std::string> rows = ripBlocks(ripper, blocks);
            if (!host().failureFired()) {
              EXPECT_EQ(rows, clean);
            } else if (rows != clean) {
              ASSERT_FALSE(rows.empty());
              EXPECT_EQ(rows.back(), "status 0x803fc002") << nth;
              bool named = false;
              for (size_t i = 0; i < labels.size(); ++i) {
                std::string line =
                    "[" + labels[i] + "] : Failed to allocate memory. Space requested=[";
                if (diagnostics().contains(line, 4)) {
                  named = true;
                  seen[i] = true;
                }
              }
              EXPECT_TRUE(named) << nth;
            }
            destroy(ripper);
          },
          persistent);
      EXPECT_GT(runs, 1);
      for (size_t i = 0; i < labels.size(); ++i) {
        EXPECT_TRUE(seen[i]) << labels[i] << " never failed";
      }
    }
  }
};

TEST_F(DelimitedAllocationTest, QualifiedBlocksReportEveryBufferThatCannotGrow) {
  KovaObject* table = textTable(2);
  // A long field crossing blocks (fragment), more rows than the first block
  // expects (row block), and a carried row in a larger block (initBlock).
  const std::string longField(3000, 'x');
  std::string many;
  for (int i = 0; i < 200; ++i) many += "a,\"b\"\"c\"\n";
  const std::string tail = "\"" + longField;
  failEverywhere(table, {"1,", tail, longField + "\"\n", many, "z,"},
                 {"appendFrag", "nextRecord", "initBlock[1]", "initBlock[2]"});
}

TEST_F(DelimitedAllocationTest, UnqualifiedBlocksReportEveryBufferThatCannotGrow) {
  KovaObject* table = textTable(2, '\t', 0);
  const std::string longField(5000, 'y');
  std::string many;
  for (int i = 0; i < 300; ++i) many += "a\tb\n";
  failEverywhere(table, {many, longField, longField + "\n"},
                 {"appendFrag", "nextRecord", "initBlock[2]"});
}

TEST_F(DelimitedAllocationTest, SplitRecordReportsItsRecordBuffer) {
  KovaObject* table = textTable(2);
  const std::string record = "\"" + std::string(2000, 'q') + "\"\"\",x";
  int runs = forEachAllocationFailure(host(), [&](int nth) {
    host().clearFailure();
    KovaRipper* ripper = bound(table);
    ASSERT_NE(ripper, nullptr);
    std::vector<uint8_t> row(ripper->rowLength);
    diagnostics().clear();
    host().failAllocation(uint64_t(nth));
    KovaStatus status =
        ripper->ops.convertRecord(ripper, reinterpret_cast<const uint8_t*>(record.data()),
                                  int64_t(record.size()), row.data());
    if (host().failureFired()) {
      EXPECT_EQ(status, kStatusNoMemory);
      EXPECT_TRUE(diagnostics().contains(
          "[resultMakeRoom] : Failed to allocate memory. Space requested=[2048]", 4));
    } else {
      EXPECT_EQ(status, kStatusOk);
      EXPECT_EQ(renderRow(ripper, row.data()), shown(std::string(64, 'q')) + R"(|"x")");
    }
    destroy(ripper);
  });
  EXPECT_EQ(runs, 2);
}

}  // namespace
}  // namespace kova::testing
