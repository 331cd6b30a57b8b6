// kova rip hands the VARBIN ripper whole records: any --block-size gives
// the rows of one big block, a record larger than the block size gets a
// block of its own, and an input that ends inside a record is an error.
#include <gtest/gtest.h>

#include <string>

#include "tests/support/tool_run.h"

namespace {

using kova::testing::examplePath;
using kova::testing::fileContent;
using kova::testing::runKova;
using kova::testing::tempFile;
using kova::testing::ToolRun;

TEST(VarbinBlocks, AnyBlockSizeGivesTheRowsOfOneBlock) {
  const std::string doc = examplePath("sensors.varbin.xml");
  const std::string records = fileContent(examplePath("sensors.varbin"));
  ASSERT_GT(records.size(), 100u);
  std::string many;
  for (int i = 0; i < 40; ++i) many += records;
  const std::string data = tempFile("many.varbin", many);
  const ToolRun whole = runKova("rip " + doc + " " + data + " --format jsonl --block-size 64M");
  ASSERT_EQ(whole.exit, 0);
  ASSERT_FALSE(whole.out.empty());
  // Smaller than one record, a few records, and not a multiple of either.
  for (const char* size : {"1", "5", "100", "1000", "4k"}) {
    SCOPED_TRACE(size);
    const ToolRun run = runKova("rip " + doc + " " + data + " --format jsonl --block-size " + size);
    EXPECT_EQ(run.exit, 0);
    EXPECT_EQ(run.out, whole.out);
  }
}

TEST(VarbinBlocks, InputEndingInsideARecordIsReported) {
  const std::string records = fileContent(examplePath("sensors.varbin"));
  const std::string data = tempFile("cut.varbin", records.substr(0, records.size() - 3));
  const ToolRun run = runKova(
      "rip " + examplePath("sensors.varbin.xml") + " " + data + " --format none --block-size 7",
      true);
  EXPECT_EQ(run.exit, 1);
  EXPECT_NE(run.out.find("cut.varbin: the input ends inside a record"), std::string::npos)
      << run.out;
}

}  // namespace
