// kova rip --rejects and --max-rejects: every value the ripper could not
// store as read, with its record, the record's offset and the field's, the
// same at every block size and without changing a row.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "tests/support/tool_run.h"

namespace {

using kova::testing::examplePath;
using kova::testing::fileContent;
using kova::testing::runKova;
using kova::testing::tempFile;
using kova::testing::ToolRun;

const std::string kHeader = "order_id,customer,order_date,quantity,unit_price,total,note\n";
// Record 2 is clean; 3 and 4 hold a value of every kind of failure, one
// of them in a quoted field with doubled qualifiers and one crossing a line
// end inside quotes.
const std::string kBadOrders =
    kHeader + "1,ok,2024-01-01,3,1.5,2.00,fine\n" +
    "abc,\"toolongname-toolongname-toolongname-toolongname\",2024-13-45,99999999999,nan,"
    "1e999,x\n" +
    "3,z,2024-01-02,1e3,x1,12345678901234567,\"two\nlines\"\n" +
    "4,\"a \"\"quoted\"\" name that is longer than forty characters\",,7,,1,\n";

std::string rejectLine(const std::string& file, int recordOffset, int fieldOffset, int record,
                       const std::string& column, const std::string& text,
                       const std::string& reason) {
  return "{\"file\":\"" + ::testing::TempDir() + file +
         "\",\"offset\":" + std::to_string(recordOffset) +
         ",\"fieldOffset\":" + std::to_string(fieldOffset) +
         ",\"record\":" + std::to_string(record) + ",\"column\":\"" + column + "\",\"text\":\"" +
         text + "\",\"reason\":\"" + reason + "\"}\n";
}

std::string rejectLine(int recordOffset, int fieldOffset, int record, const std::string& column,
                       const std::string& text, const std::string& reason) {
  return rejectLine("bad_orders.csv", recordOffset, fieldOffset, record, column, text, reason);
}

TEST(RejectsCommand, ListsEveryRejectedValueWithItsRecordAtEveryBlockSize) {
  const std::string data = tempFile("bad_orders.csv", kBadOrders);
  const std::string doc = examplePath("orders.delimited.xml");
  const std::string rejects = ::testing::TempDir() + "rejects.jsonl";
  const std::string expected =
      rejectLine(92, 92, 3, "order_id", "abc", "not readable for its column") +
      rejectLine(92, 97, 3, "customer", "toolongname-toolongname-toolongname-toolongname",
                 "cut to the column") +
      rejectLine(92, 146, 3, "order_date", "2024-13-45", "not readable for its column") +
      rejectLine(92, 157, 3, "quantity", "99999999999", "out of range") +
      rejectLine(92, 169, 3, "unit_price", "nan", "not readable for its column") +
      rejectLine(92, 173, 3, "total", "1e999", "out of range") +
      rejectLine(181, 196, 4, "quantity", "1e3", "not readable for its column") +
      rejectLine(181, 200, 4, "unit_price", "x1", "not readable for its column") +
      rejectLine(181, 203, 4, "total", "12345678901234567", "out of range") +
      rejectLine(233, 236, 5, "customer",
                 "a \\\"quoted\\\" name that is longer than forty characters", "cut to the column");
  const ToolRun plain = runKova("rip " + doc + " " + data + " --format jsonl");
  ASSERT_EQ(plain.exit, 0);
  for (const char* size : {"1", "2", "3", "7", "16", "61", "1k"}) {
    SCOPED_TRACE(size);
    const ToolRun run = runKova("rip " + doc + " " + data + " --format jsonl --rejects " + rejects +
                                " --block-size " + size);
    EXPECT_EQ(run.exit, 0);
    EXPECT_EQ(run.out, plain.out);  // the rows do not change
    EXPECT_EQ(fileContent(rejects), expected);
  }
  const ToolRun summary =
      runKova("rip " + doc + " " + data + " --format none --rejects " + rejects, true);
  EXPECT_NE(summary.out.find("5 truncations"), std::string::npos) << summary.out;
  EXPECT_NE(summary.out.find("10 rejected values"), std::string::npos) << summary.out;
}

// Offsets are of the file: a byte-order mark the tool skips counts, a record
// after CR LF begins after the LF (also when a block ends between the two),
// and a log line's record is the line.
TEST(RejectsCommand, OffsetsAreOfTheRecordInTheFileWithAMarkCrLfAndLogLines) {
  const std::string second = "2,ok,2024-01-01,zz,1.5,2.00,fine\r\n";
  const std::string crlf = "\xEF\xBB\xBF" + kHeader.substr(0, kHeader.size() - 1) +
                           "\r\nx,ok,2024-01-01,3,1.5,2.00,fine\r\n" + second;
  const std::string data = tempFile("crlf_orders.csv", crlf);
  const std::string rejects = ::testing::TempDir() + "crlf.jsonl";
  const size_t record3 = crlf.size() - second.size();
  const std::string expected =
      rejectLine("crlf_orders.csv", 64, 64, 2, "order_id", "x", "not readable for its column") +
      rejectLine("crlf_orders.csv", int(record3), int(crlf.find("zz")), 3, "quantity", "zz",
                 "not readable for its column");
  for (const char* size : {"1", "2", "5", "64", "1M"}) {
    SCOPED_TRACE(size);
    const ToolRun run = runKova("rip " + examplePath("orders.delimited.xml") + " " + data +
                                " --format none --rejects " + rejects + " --block-size " + size);
    EXPECT_EQ(run.exit, 0);
    EXPECT_EQ(fileContent(rejects), expected);
  }

  std::string clf = fileContent(examplePath("access.clf.xml"));
  const std::string latin = "<encoding cei=\"1\">ISO-8859-1</encoding>";
  ASSERT_NE(clf.find(latin), std::string::npos);
  clf.replace(clf.find(latin), latin.size(), "<encoding cei=\"20\">UTF-8</encoding>");
  const std::string lines =
      "h1 - - [28/Aug/2024:14:32:54 +0100] \"GET / HTTP/1.1\" 200 10\r\n"
      "h2 - - [28/Aug/2024:14:32:54 +0100] \"GET / HTTP/1.1\" 200 big\n";
  const std::string log = tempFile("utf8.log", lines);
  for (const char* size : {"3", "1M"}) {
    SCOPED_TRACE(size);
    const ToolRun run = runKova("rip " + tempFile("utf8.clf.xml", clf) + " " + log +
                                " --format none --rejects " + rejects + " --block-size " + size);
    EXPECT_EQ(run.exit, 0);
    // A line held across blocks drops the blanks between its fields, so
    // the field's own offset is then unknown; it is never a wrong one.
    const bool held = std::string(size) != "1M";
    const std::string at = "\"offset\":" + std::to_string(lines.find("h2")) + ",\"fieldOffset\":" +
                           (held ? std::string("null") : std::to_string(lines.find("big"))) +
                           ",\"record\":2";
    EXPECT_NE(fileContent(rejects).find(at), std::string::npos) << fileContent(rejects);
  }
}

TEST(RejectsCommand, TranscodedTablesGiveRecordsButNoOffsets) {
  // The Latin-1 twin of the orders, with one value too long for its column.
  std::string latin = fileContent(examplePath("orders-latin1.csv"));
  latin.replace(latin.find("Chen Wei"), 8, std::string(50, 'W'));
  const std::string data = tempFile("latin_orders.csv", latin);
  const std::string rejects = ::testing::TempDir() + "latin.jsonl";
  for (const char* size : {"5", "1M"}) {
    const ToolRun run = runKova("rip " + examplePath("orders-latin1.delimited.xml") + " " + data +
                                " --format none --rejects " + rejects + " --block-size " + size);
    EXPECT_EQ(run.exit, 0);
    const std::string lines = fileContent(rejects);
    EXPECT_NE(
        lines.find("\"offset\":null,\"fieldOffset\":null,\"record\":4,\"column\":\"customer\""),
        std::string::npos)
        << lines;
    EXPECT_EQ(lines.find('\n'), lines.size() - 1) << lines;  // one line
  }
}

TEST(RejectsCommand, MaxRejectsStopsAtTheNthWithExitOne) {
  const std::string data = tempFile("bad_orders.csv", kBadOrders);
  const std::string doc = examplePath("orders.delimited.xml");
  const std::string rejects = ::testing::TempDir() + "stopped.jsonl";
  for (const char* size : {"1", "1M"}) {
    const ToolRun run =
        runKova("rip " + doc + " " + data + " --format csv --max-rejects 7 --rejects " + rejects +
                " --block-size " + size);
    EXPECT_EQ(run.exit, 1);
    std::string lines = fileContent(rejects);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), '\n'), 7);
    EXPECT_NE(lines.find("\"record\":4,\"column\":\"quantity\""), std::string::npos);
    // Rows up to the one holding the seventh: records 2 to 4.
    EXPECT_NE(run.out.find("\r\n3,z,"), std::string::npos) << run.out;
    EXPECT_EQ(run.out.find("\r\n4,"), std::string::npos) << run.out;
  }
  const ToolRun counted =
      runKova("rip " + doc + " " + data + " --format none --max-rejects 11", true);
  EXPECT_EQ(counted.exit, 0) << counted.out;
  EXPECT_EQ(runKova("rip " + doc + " " + data + " --max-rejects 0").exit, 2);
  EXPECT_EQ(runKova("rip " + doc + " " + data + " --max-rejects").exit, 2);
  EXPECT_EQ(runKova("rip " + doc + " " + data + " --rejects /nonexistent/dir/r.jsonl").exit, 1);
}

}  // namespace
