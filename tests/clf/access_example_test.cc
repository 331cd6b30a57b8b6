// The bundled Latin-1 access log through kova rip: every line a row with
// its time read, the accented text intact, whatever the block size.
#include <gtest/gtest.h>

#include <string>

#include "tests/support/tool_run.h"

namespace kova::testing {
namespace {

TEST(AccessExampleTest, EveryLineRipsTypedInAnyBlockSize) {
  const std::string args =
      "rip " + examplePath("access.clf.xml") + " " + examplePath("access.log") + " --format jsonl";
  ToolRun whole = runKova(args);
  ASSERT_EQ(whole.exit, 0);
  EXPECT_EQ(
      whole.out.rfind("{\"host\":\"h\xc3\xb4te.example.org\",\"identity\":\"-\",\"user\":\"frank\","
                      "\"time\":\"2024-08-28 14:32:54\",\"request\":\"GET /robots.txt HTTP/1.1\","
                      "\"status\":404,\"size\":36805}\n",
                      0),
      0u)
      << whole.out;
  size_t rows = 0;
  for (size_t at = 0; (at = whole.out.find('\n', at)) != std::string::npos; ++at) ++rows;
  EXPECT_EQ(rows, 24u);
  EXPECT_EQ(whole.out.find("null"), std::string::npos) << whole.out;
  for (const char* size : {"1", "7", "100"}) {
    EXPECT_EQ(runKova(args + " --block-size " + size).out, whole.out) << size;
  }
}

}  // namespace
}  // namespace kova::testing
