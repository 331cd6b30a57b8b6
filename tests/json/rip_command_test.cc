// kova rip and kova describe on the bundled JSON example: the same rows in
// every output format and from any block size, and an input that ends
// inside a record failing with its byte offset.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "tests/support/tool_run.h"

namespace {

using kova::testing::examplePath;
using kova::testing::runKova;
using kova::testing::ToolRun;

std::string events(const std::string& options, const std::string& data = "") {
  return examplePath("events.json.xml") + " " +
         (data.empty() ? examplePath("events.jsonl") : data) + " " + options;
}

std::string firstLine(const std::string& text) { return text.substr(0, text.find('\n')); }

TEST(JsonRipCommand, TheExampleInEveryFormatAndBlockSize) {
  ToolRun jsonl = runKova("rip " + events("--format jsonl"));
  ASSERT_EQ(jsonl.exit, 0) << jsonl.out;
  std::istringstream lines(jsonl.out);
  std::string line;
  int rows = 0;
  while (std::getline(lines, line)) ++rows;
  EXPECT_EQ(rows, 6);
  // Escapes, non-ASCII text, a nested member, nulls and every column type.
  EXPECT_NE(jsonl.out.find(R"("user_name":"O'Brien \"the quick\" \\ backslash")"),
            std::string::npos);
  EXPECT_NE(jsonl.out.find(R"("user_name":"Zoë Ørsted","occurred":"2024-03-01 08:30:00",)"
                           R"("amount":129.95,"country":"DK")"),
            std::string::npos);
  EXPECT_NE(jsonl.out.find(R"("amount":null,"country":null,"quantity":null,"priority":-2,)"
                           R"("retries":1,"price":"-12.50","day":"2024-03-02",)"
                           R"("local_time":"17:45:12.250")"),
            std::string::npos);
  EXPECT_NE(jsonl.out.find("\"user_name\":\"élodie 😀\""), std::string::npos);

  for (const char* size : {"1", "7", "64"}) {
    ToolRun small = runKova("rip " + events(std::string("--format jsonl --block-size ") + size));
    EXPECT_EQ(small.exit, 0) << size;
    EXPECT_EQ(small.out, jsonl.out) << size;
  }
  for (const char* format : {"csv", "table", "none"}) {
    ToolRun run = runKova("rip " + events(std::string("--format ") + format));
    EXPECT_EQ(run.exit, 0) << format << run.out;
  }
  ToolRun csv = runKova("rip " + events("--format csv"));
  EXPECT_EQ(firstLine(csv.out),
            "event_id,kind,user_name,occurred,amount,country,quantity,priority,retries,price,day,"
            "local_time\r");

  ToolRun describe = runKova("describe " + examplePath("events.json.xml"));
  EXPECT_EQ(describe.exit, 0) << describe.out;
  EXPECT_NE(describe.out.find("JSON table, typed ripper, 12 columns"), std::string::npos)
      << describe.out;
}

TEST(JsonRipCommand, AnInputEndingInsideARecordFailsWithItsOffset) {
  std::ifstream in(examplePath("events.jsonl"), std::ios::binary);
  std::string whole((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const std::string path = ::testing::TempDir() + "cut.jsonl";
  std::ofstream(path, std::ios::binary) << whole.substr(0, 300);
  ToolRun run = runKova("rip " + events("--format csv", path), true);
  EXPECT_EQ(run.exit, 1) << run.out;
  EXPECT_NE(run.out.find("near byte 300"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("kStatusJsonParse"), std::string::npos) << run.out;

  std::ofstream(path, std::ios::binary) << "{\"id\":1}\n{\"id\":2,,}\n";
  run = runKova("rip " + events("--format csv", path), true);
  EXPECT_EQ(run.exit, 1) << run.out;
  EXPECT_NE(run.out.find("near byte 18 (line 2, column 10)"), std::string::npos) << run.out;
}

}  // namespace
