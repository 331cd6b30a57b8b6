// kova rip on the bundled binary examples: the EBCDIC payroll records and
// the sensor readings give the same rows from any block size, with dates,
// timestamps, missing values and raw bytes shown as a person expects.
#include <gtest/gtest.h>

#include <string>

#include "tests/support/tool_run.h"

namespace kova::testing {
namespace {

std::string rip(const std::string& document, const std::string& data, const std::string& options) {
  ToolRun run = runKova("rip " + examplePath(document) + " " + examplePath(data) + " " + options);
  EXPECT_EQ(run.exit, 0) << options;
  return run.out;
}

std::string firstLines(const std::string& text, int count) {
  size_t at = 0;
  for (int i = 0; i < count && at != std::string::npos; ++i) {
    at = text.find('\n', at);
    if (at != std::string::npos) ++at;
  }
  return text.substr(0, at);
}

TEST(RipBinaryExamples, PayrollRecordsFromEveryBlockSize) {
  const std::string whole = rip("payroll.fixed.xml", "payroll.fixed", "--format csv");
  EXPECT_EQ(firstLines(whole, 3),
            "employee_id,surname,given_name,department,grade,salary,hired\r\n"
            "10001,Abernathy,Ada,100,1,41250,1998-01-01\r\n"
            "10008,Brightwater,Farid,110,2,42625.5,1999-04-08\r\n");
  EXPECT_NE(whole.find("10078,O'Rourke-Vance,Hugo,130,3,56380.5,2009-10-22\r\n"),
            std::string::npos);
  // 64-byte records cut by blocks of 1, 7 and 100 bytes.
  for (const char* size : {"1", "7", "100"}) {
    EXPECT_EQ(
        rip("payroll.fixed.xml", "payroll.fixed", std::string("--format csv --block-size ") + size),
        whole)
        << size;
  }
}

TEST(RipBinaryExamples, SensorReadingsWithRecordsAndMissingValues) {
  const std::string lines =
      rip("sensors.varbin.xml", "sensors.varbin", "--format jsonl --null-as-missing");
  EXPECT_EQ(firstLines(lines, 1),
            "{\"sensor\":\"hall-north\",\"reading_id\":900000,\"taken_at\":\"2024-03-01 "
            "08:00:00.000\",\"taken_on\":\"2024-03-01\",\"temperature\":-4.5,\"humidity\":35,"
            "\"payload\":\"AAcOFRwjKjE4P0ZNVFtiaQ==\"}\n");
  // Fields in another order, no payload; a UTF-8 name; a reading that is
  // missing and one that is specially missing.
  EXPECT_NE(lines.find("{\"sensor\":\"hall-north\",\"reading_id\":900065,\"taken_at\":\"2024-03-06 "
                       "13:35:25.005\",\"taken_on\":\"2024-03-06\",\"temperature\":20.75,"
                       "\"humidity\":45,\"payload\":null}"),
            std::string::npos);
  EXPECT_NE(lines.find("\"sensor\":\"K\xC3\xBChlraum-3\""), std::string::npos);
  EXPECT_NE(lines.find("\"reading_id\":900039,\"taken_at\":\"2024-03-04 11:21:51.111\","
                       "\"taken_on\":\"2024-03-04\",\"temperature\":null"),
            std::string::npos);
  EXPECT_NE(lines.find("\"reading_id\":900052,\"taken_at\":\"2024-03-05 12:28:08.148\","
                       "\"taken_on\":\"2024-03-05\",\"temperature\":-1.5,\"humidity\":null"),
            std::string::npos);
}

}  // namespace
}  // namespace kova::testing
