// Allocation failures around XML tables: every injected failure from
// creation to the end of the input ends in the clean rows or in the status
// of the step that failed, with nothing leaked; each buffer of the block
// parser names itself in the log.
#include <string>
#include <vector>

#include "tests/xml/xml_fixture.h"

namespace kova::testing {
namespace {

using Rows = std::vector<std::string>;

std::string allocationLine(const char* label, uint64_t size) {
  return std::string("[") + label + "] : Failed to allocate memory. Space requested=[" +
         std::to_string(size) + "]";
}

class XmlAllocationTest : public XmlRipTest {};

TEST_F(XmlAllocationTest, EveryFailureFromCreationToTheEndIsReportedAndLeaksNothing) {
  KovaObject* table = xmlTable();
  std::string document = "<?xml version=\"1.0\"?><r>";
  for (int i = 0; i < 30; ++i) {
    document += "<row><a>" + std::string(700, char('a' + i % 26)) + "</a><b>" + std::to_string(i) +
                "</b></row>";
  }
  document += "</r>";
  const std::vector<std::string_view> blocks = {std::string_view(document).substr(0, 3),
                                                std::string_view(document).substr(3, 5000),
                                                std::string_view(document).substr(5003)};
  const Rows clean = rip(table, blocks);
  ASSERT_EQ(clean.size(), 30u);
  for (bool persistent : {false, true}) {
    const int runs = forEachAllocationFailure(
        host(),
        [&](int nth) {
          KovaRipperOptions options{};
          KovaRipper* ripper = extension()->createRipper(table, &options, diagnostics().get());
          if (!ripper) return;
          if (describe(ripper)) {
            KovaStatus status = ripper->ops.bind(ripper);
            if (status == kStatusOk) {
              Rows rows = ripBlocks(ripper, blocks);
              if (rows != clean) {
                EXPECT_EQ(rows.back(), "status 0x803fc002") << "event " << nth;
              }
            } else {
              EXPECT_TRUE(status == kStatusNoMemory || status == kStatusNotSupported)
                  << std::hex << status << " event " << std::dec << nth;
            }
          }
          ripper->ops.destroy(ripper);
        },
        persistent);
    // Creation, binding (parser, tree, buffers), the row block, text, saved row.
    EXPECT_GT(runs, 10);
  }
}

TEST_F(XmlAllocationTest, EachBufferNamesItselfWhenItCannotGrow) {
  KovaRipper* ripper = bound(xmlTable());
  ASSERT_NE(ripper, nullptr);
  const uint64_t rowLength = ripper->rowLength;
  uint8_t* rows = nullptr;
  int32_t count = -1;

  // The gathered first bytes cannot grow: no row, no line, the status.
  host().failAllocation(1);
  EXPECT_EQ(ripOne(ripper, std::string(300, ' '), &rows, &count), kStatusNoMemory);
  host().clearFailure();
  ASSERT_EQ(ripOne(ripper, "<r>", &rows, &count), kStatusOk);

  // The first sizing of the row block: 10 rows for a short block. The
  // gathered bytes wait for the next block.
  host().failAllocation(1);
  EXPECT_EQ(ripOne(ripper, "<row>", &rows, &count), kStatusNoMemory);
  EXPECT_TRUE(diagnostics().contains(allocationLine("ensureBlockSize", rowLength * 10), 4));
  host().clearFailure();
  ASSERT_EQ(ripOne(ripper, "<b>", &rows, &count), kStatusOk);

  // The text of a column: the parser hands the status back unchanged.
  host().failAllocation(1);
  EXPECT_EQ(ripOne(ripper, "12</b>", &rows, &count), kStatusNoMemory);
  EXPECT_TRUE(diagnostics().contains(allocationLine("XMLcharData", 2048), 4));
  host().clearFailure();
}

TEST_F(XmlAllocationTest, RowBlockGrowthAndSavedRowFailuresStopTheBlock) {
  std::string records = "<r>";
  for (int i = 0; i < 40; ++i) records += "<row/>";
  KovaRipper* ripper = bound(xmlTable());
  ASSERT_NE(ripper, nullptr);
  uint8_t* rows = nullptr;
  int32_t count = -1;
  // Forty records in a block sized for 18: the 19th needs more room.
  host().failAllocation(2);
  EXPECT_EQ(ripOne(ripper, records, &rows, &count), kStatusNoMemory);
  EXPECT_TRUE(diagnostics().contains(allocationLine("ensureBlockSize", ripper->rowLength * 28), 4));
  host().clearFailure();
  destroy(ripper);

  // A record open at the end of the block cannot be saved: the block fails
  // without a row.
  ripper = bound(xmlTable());
  host().failAllocation(3);  // after the row block and the text
  EXPECT_EQ(ripOne(ripper, "<r><row><a>1</a>", &rows, &count), kStatusNoMemory);
  EXPECT_TRUE(host().failureFired());
  EXPECT_EQ(ripper->fragment, nullptr);
  host().clearFailure();
}

}  // namespace
}  // namespace kova::testing
