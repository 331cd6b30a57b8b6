// kova convert: the bundled orders to FIXED records and back give the file
// again, from any block size; types that differ go through text; --verify
// reports the first difference; usage errors exit 2.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "tests/support/tool_run.h"

namespace {

using kova::testing::examplePath;
using kova::testing::runKova;
using kova::testing::ToolRun;

std::string temp(const std::string& name) { return ::testing::TempDir() + name; }

std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

std::string file(const std::string& name, const std::string& content) {
  std::string path = temp(name);
  std::ofstream(path, std::ios::binary) << content;
  return path;
}

const std::string kCsvDoc = examplePath("orders.delimited.xml");
const std::string kFixedDoc = examplePath("orders.fixed.xml");

TEST(ConvertCommand, OrdersToFixedAndBackGiveTheFileAgain) {
  for (const char* block : {"7", "1M"}) {
    const std::string fixed = temp("orders.fixed");
    ToolRun there = runKova("convert " + kCsvDoc + " " + examplePath("orders.csv") + " " +
                                kFixedDoc + " -o " + fixed + " --verify --block-size " + block,
                            true);
    ASSERT_EQ(there.exit, 0) << there.out;
    EXPECT_NE(there.out.find("6 rows, 0 truncations, 0 unconverted"), std::string::npos)
        << there.out;
    EXPECT_EQ(slurp(fixed).size(), 6u * 136);
    ToolRun back = runKova("convert " + kFixedDoc + " " + fixed + " " + kCsvDoc);
    ASSERT_EQ(back.exit, 0);
    EXPECT_EQ(back.out, slurp(examplePath("orders.csv")));
  }
}

TEST(ConvertCommand, DifferentTypesGoThroughTextAndMissingColumnsAreNull) {
  // quantity becomes text, order_date text, note is gone, extra is new.
  const std::string doc = file("text.xml", R"(<?xml version="1.0"?>
<kova><recfm>DELIMITED</recfm><encoding cei="20">UTF-8</encoding><fieldsep>|</fieldsep>
<columns>
<column><name>order_date</name><type>VARCHAR</type><c_type>char</c_type><charlength>12</charlength></column>
<column><name>quantity</name><type>VARCHAR</type><c_type>char</c_type><charlength>4</charlength></column>
<column><name>extra</name><type>INT</type><c_type>int32</c_type></column>
<column><name>total</name><type>DOUBLE</type><c_type>double</c_type></column>
</columns></kova>
)");
  ToolRun run =
      runKova("convert " + kCsvDoc + " " + examplePath("orders.csv") + " " + doc + " --limit 2");
  ASSERT_EQ(run.exit, 0);
  EXPECT_EQ(run.out, "2024-02-29|3||59.97\n2024-03-01|1||249.5\n");
  // And back: text to a DATE and an INT through the host's informats.
  const std::string text = file("text.txt", "2024-02-29|3||59.97\n1959-12-31|x|1|-1e3\n");
  const std::string typed = file("typed.xml", R"(<?xml version="1.0"?>
<kova><recfm>DELIMITED</recfm><encoding cei="20">UTF-8</encoding><fieldsep>;</fieldsep>
<columns>
<column><name>order_date</name><type>DATE</type><c_type>double</c_type></column>
<column><name>quantity</name><type>INT</type><c_type>int32</c_type></column>
<column><name>total</name><type>DECIMAL</type><c_type>char</c_type><charlength>8</charlength><bytelength>2</bytelength></column>
</columns></kova>
)");
  run = runKova("convert " + doc + " " + text + " " + typed, true);
  ASSERT_EQ(run.exit, 0) << run.out;
  EXPECT_NE(run.out.find("2024-02-29;3;59.97\n1959-12-31;;-1000.00\n"), std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("1 unconverted"), std::string::npos) << run.out;
}

TEST(ConvertCommand, VerifyReportsTheFirstDifference) {
  // A FIXED integer cannot hold a null: it reads back as 0.
  const std::string doc = file("ints.xml", R"(<?xml version="1.0"?>
<kova><recfm>FIXED</recfm><reclen>8</reclen><encoding cei="20">UTF-8</encoding>
<columns><column><name>quantity</name><type>INT</type><c_type>int32</c_type><bytelength>4</bytelength></column>
<column><name>absent</name><type>INT</type><c_type>int32</c_type><bytelength>4</bytelength><offset>4</offset></column></columns></kova>
)");
  ToolRun run = runKova("convert " + kCsvDoc + " " + examplePath("orders.csv") + " " + doc +
                            " -o " + temp("ints.fixed") + " --verify",
                        true);
  EXPECT_EQ(run.exit, 1);
  EXPECT_NE(run.out.find("has no column absent"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("kova convert: verify: row 1, column absent: burned null, read back 0"),
            std::string::npos)
      << run.out;
}

TEST(ConvertCommand, UsageErrors) {
  EXPECT_EQ(runKova("convert " + kCsvDoc).exit, 2);
  EXPECT_EQ(runKova("convert a b c --verify").exit, 2);  // --verify needs -o
  EXPECT_EQ(runKova("convert a b c --frobnicate").exit, 2);
  EXPECT_EQ(runKova("convert a b c --block-size 0").exit, 2);
  ToolRun help = runKova("convert --help");
  EXPECT_EQ(help.exit, 0);
  EXPECT_NE(help.out.find("usage: kova convert IN_DOC IN_DATA OUT_DOC"), std::string::npos);
  EXPECT_EQ(runKova("convert " + kCsvDoc + " /no/such/file " + kFixedDoc).exit, 1);
}

}  // namespace
