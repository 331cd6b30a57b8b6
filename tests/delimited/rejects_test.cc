// kova rip --rejects and --max-rejects: every value the ripper could not
// store as read, with its record and offset, the same at every block size
// and without changing a row; and the tool's answers to hostile inputs.
#include <gtest/gtest.h>

#include <sys/stat.h>

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

std::string rejectLine(int offset, int record, const std::string& column, const std::string& text,
                       const std::string& reason) {
  return "{\"file\":\"" + ::testing::TempDir() +
         "bad_orders.csv\",\"offset\":" + std::to_string(offset) +
         ",\"record\":" + std::to_string(record) + ",\"column\":\"" + column + "\",\"text\":\"" +
         text + "\",\"reason\":\"" + reason + "\"}\n";
}

TEST(RejectsCommand, ListsEveryRejectedValueWithItsRecordAtEveryBlockSize) {
  const std::string data = tempFile("bad_orders.csv", kBadOrders);
  const std::string doc = examplePath("orders.delimited.xml");
  const std::string rejects = ::testing::TempDir() + "rejects.jsonl";
  const std::string expected =
      rejectLine(92, 3, "order_id", "abc", "not readable for its column") +
      rejectLine(97, 3, "customer", "toolongname-toolongname-toolongname-toolongname",
                 "cut to the column") +
      rejectLine(146, 3, "order_date", "2024-13-45", "not readable for its column") +
      rejectLine(157, 3, "quantity", "99999999999", "out of range") +
      rejectLine(169, 3, "unit_price", "nan", "not readable for its column") +
      rejectLine(173, 3, "total", "1e999", "out of range") +
      rejectLine(196, 4, "quantity", "1e3", "not readable for its column") +
      rejectLine(200, 4, "unit_price", "x1", "not readable for its column") +
      rejectLine(203, 4, "total", "12345678901234567", "out of range") +
      rejectLine(236, 5, "customer", "a \\\"quoted\\\" name that is longer than forty characters",
                 "cut to the column");
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
    EXPECT_NE(lines.find("\"offset\":null,\"record\":4,\"column\":\"customer\""), std::string::npos)
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

// The hostile inputs a new user meets, each with its exit code and the
// words its message must hold.
TEST(HostileInputs, EachNamesTheProblemAndExitsAsDocumented) {
  const std::string doc = examplePath("orders.delimited.xml");
  const std::string data = examplePath("orders.csv");
  const std::string dir = ::testing::TempDir() + "kova_dir";
  ::mkdir(dir.c_str(), 0700);
  const std::string empty = tempFile("empty_doc.xml", "  \n");
  const std::string binary = tempFile("binary_doc.xml", std::string("\x01\xff\xfe<\x00kova", 9));
  const std::string broken = tempFile("broken_doc.xml", "<kova><recfm>DELIMITED</recfm>");
  const std::string open =
      tempFile("open_quote.csv", kHeader + "1,\"never closed,2024-01-01\n2,x\n");
  struct Case {
    std::string arguments;
    int exit;
    std::string words;
  };
  const Case cases[] = {
      {"rip " + doc + " /nonexistent.csv", 1, "cannot open /nonexistent.csv"},
      {"rip /nonexistent.xml " + data, 1, "cannot open /nonexistent.xml"},
      {"rip " + doc + " " + dir, 1, dir + " is a directory"},
      {"rip " + dir + " " + data, 1, dir + " is a directory"},
      {"rip " + empty + " " + data, 1, "empty_doc.xml: the document is empty"},
      {"rip " + binary + " " + data, 1, "binary_doc.xml: line 1"},
      {"rip " + broken + " " + data, 1, "broken_doc.xml: line 1"},
      {"describe " + dir, 1, "is a directory"},
      {"rip " + doc + " " + open, 0, "ends inside a quoted field"},
      {"rip " + doc + " " + data + " --block-size 0", 2, "--block-size"},
      {"rip " + doc + " " + data + " --max-rejects x", 2, "--max-rejects"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments);
    const bool rip = c.arguments.starts_with("rip ");
    const ToolRun run = runKova(c.arguments + (rip ? " --format none" : ""), true);
    EXPECT_EQ(run.exit, c.exit) << run.out;
    EXPECT_NE(run.out.find(c.words), std::string::npos) << run.out;
    EXPECT_EQ(run.out.find("hadoop_metadata.xml"), std::string::npos) << run.out;
  }
}

}  // namespace
