// kova rip: the bundled orders in every output format, the same rows from
// the Latin-1 copy and from any block size, typed values of every kind, and
// the exit codes of usage errors and failed rips.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "tests/support/tool_run.h"

namespace {

using kova::testing::examplePath;
using kova::testing::runKova;
using kova::testing::ToolRun;

const std::string kOrdersJson =
    R"({"order_id":1001,"customer":"Ada Lindqvist","order_date":"2024-02-29","quantity":3,"unit_price":19.99,"total":"59.97","note":"leap-day order"}
{"order_id":1002,"customer":"Barros, Tomás","order_date":"2024-03-01","quantity":1,"unit_price":249.5,"total":"249.50","note":"gift wrap, no invoice"}
{"order_id":1003,"customer":"Chen Wei","order_date":"2024-03-02","quantity":12,"unit_price":4.25,"total":"51.00","note":null}
{"order_id":1004,"customer":"Dubois \"Dee\" Renée","order_date":"2024-03-04","quantity":2,"unit_price":1200,"total":"2400.00","note":"deliver to the back door\nring twice"}
{"order_id":1005,"customer":"Eze Okafor","order_date":null,"quantity":5,"unit_price":3.1,"total":"15.50","note":"date to follow"}
{"order_id":1006,"customer":"Farah Haddad","order_date":"2024-03-07","quantity":-1,"unit_price":19.99,"total":"-19.99","note":"return of 1001"}
)";

std::string orders(const std::string& options, const std::string& latin1 = "") {
  return examplePath("orders" + latin1 + ".delimited.xml") + " " +
         examplePath("orders" + latin1 + ".csv") + " " + options;
}

std::string file(const std::string& name, const std::string& content) {
  std::string path = ::testing::TempDir() + name;
  std::ofstream(path, std::ios::binary) << content;
  return path;
}

TEST(RipCommand, OrdersAsJsonLinesFromAnyBlockSizeAndEncoding) {
  ToolRun run = runKova("rip " + orders("--format jsonl"));
  ASSERT_EQ(run.exit, 0) << run.out;
  EXPECT_EQ(run.out, kOrdersJson);
  for (const char* size : {"1", "7", "64", "1k"}) {
    ToolRun small = runKova("rip " + orders(std::string("--format jsonl --block-size ") + size));
    EXPECT_EQ(small.out, kOrdersJson) << size;
  }
  EXPECT_EQ(runKova("rip " + orders("--format jsonl --block-size 5", "-latin1")).out, kOrdersJson);
  // From stdin.
  ToolRun piped = runKova("rip " + examplePath("orders.delimited.xml") + " - --format jsonl < " +
                          examplePath("orders.csv"));
  EXPECT_EQ(piped.out, kOrdersJson);
}

TEST(RipCommand, CsvQuotesWhatItMustAndLeavesNullsEmpty) {
  ToolRun run = runKova("rip " + orders("--format csv --limit 4"));
  ASSERT_EQ(run.exit, 0) << run.out;
  EXPECT_EQ(run.out,
            "order_id,customer,order_date,quantity,unit_price,total,note\r\n"
            "1001,Ada Lindqvist,2024-02-29,3,19.99,59.97,leap-day order\r\n"
            "1002,\"Barros, Tomás\",2024-03-01,1,249.5,249.50,\"gift wrap, no invoice\"\r\n"
            "1003,Chen Wei,2024-03-02,12,4.25,51.00,\r\n"
            "1004,\"Dubois \"\"Dee\"\" Renée\",2024-03-04,2,1200,2400.00,"
            "\"deliver to the back door\nring twice\"\r\n");
  // Not a terminal: csv is the default.
  EXPECT_EQ(runKova("rip " + orders("--limit 4")).out, run.out);
  ToolRun raw = runKova("rip " + orders("--format csv --raw --limit 1"));
  EXPECT_NE(raw.out.find("1001,Ada Lindqvist,23435,3,"), std::string::npos) << raw.out;
}

TEST(RipCommand, TableAlignsColumnsAndSummaryCountsRows) {
  ToolRun run = runKova("rip " + orders("--format table"), true);
  ASSERT_EQ(run.exit, 0) << run.out;
  EXPECT_NE(run.out.find("order_id  customer            order_date  quantity  unit_price    total"),
            std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("    1005  Eze Okafor          NULL               5         3.1    15.50"),
            std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("deliver to the back door\\nring twice"), std::string::npos);
  EXPECT_NE(run.out.find("kova rip: 6 rows, 0 truncations,"), std::string::npos) << run.out;
  ToolRun none = runKova("rip " + orders("--format none"), true);
  EXPECT_EQ(none.out.rfind("kova rip: 6 rows, 0 truncations,", 0), 0u) << none.out;
  ToolRun image = runKova("rip " + orders("--format csv --image --limit 1"));
  EXPECT_NE(image.out.find("\r\n1001,Ada Lindqvist,2024-02-29,3,19.99,59.97,leap-day order\r\n"),
            std::string::npos)
      << image.out;
}

TEST(RipCommand, TypedValuesOfEveryKind) {
  std::string doc = file("rip_kinds.xml", R"(<?xml version="1.0" encoding="UTF-8" ?>
<kova><recfm>DELIMITED</recfm><fieldsep>|</fieldsep><columns>
<column><name>t</name><type>TIME</type></column>
<column><name>ts</name><type>TIMESTAMP</type></column>
<column><name>b</name><type>BINARY</type><bytelength>4</bytelength></column>
<column><name>x</name><type>DOUBLE</type></column>
<column><name>s</name><type>SMALLINT</type></column>
<column><name>n</name><type>DECIMAL</type><charlength>10</charlength><bytelength>3</bytelength></column>
</columns></kova>
)");
  std::string data = file("rip_kinds.txt",
                          "13:05:09.250|2024-02-29 13:05:09|abc|2.5|-7|-0.5\n|||||\n"
                          "00:00:00|1959-12-31 23:59:59|abcd|1e300|32767|12\n");
  ToolRun run = runKova("rip " + doc + " " + data + " --format jsonl");
  ASSERT_EQ(run.exit, 0) << run.out;
  EXPECT_EQ(
      run.out,
      R"({"t":"13:05:09.250","ts":"2024-02-29 13:05:09","b":"YWJj","x":2.5,"s":-7,"n":"-0.500"}
{"t":null,"ts":null,"b":null,"x":null,"s":null,"n":null}
{"t":"00:00:00","ts":"1959-12-31 23:59:59","b":"YWJjZA==","x":1e+300,"s":32767,"n":"12.000"}
)");
  ToolRun raw = runKova("rip " + doc + " " + data + " --format jsonl --raw --limit 1");
  EXPECT_EQ(raw.out.rfind(R"({"t":47109.25,"ts":2024831109,)", 0), 0u) << raw.out;
}

TEST(RipCommand, UsageErrorsExitTwoAndFailedRipsOne) {
  EXPECT_EQ(runKova("rip " + examplePath("orders.delimited.xml")).exit, 2);
  EXPECT_EQ(runKova("rip " + orders("--format yaml")).exit, 2);
  EXPECT_EQ(runKova("rip " + orders("--block-size 0")).exit, 2);
  EXPECT_EQ(runKova("rip " + orders("--limit many")).exit, 2);
  EXPECT_EQ(runKova("rip " + orders("--bogus")).exit, 2);
  ToolRun missing =
      runKova("rip " + examplePath("orders.delimited.xml") + " /nonexistent.csv", true);
  EXPECT_EQ(missing.exit, 1);
  EXPECT_NE(missing.out.find("cannot open /nonexistent.csv"), std::string::npos) << missing.out;
  ToolRun notDoc =
      runKova("rip " + examplePath("orders.csv") + " " + examplePath("orders.csv"), true);
  EXPECT_EQ(notDoc.exit, 1) << notDoc.out;
  // A document the ripper refuses names the file and where it went wrong.
  std::string doc = file("rip_xml.xml", R"(<?xml version="1.0" encoding="UTF-8" ?>
<kova><recfm>XML</recfm><recordTag>r</recordTag><columns>
<column><name>a</name><type>INT</type><tag>a</tag></column></columns></kova>
)");
  std::string data = file("rip_xml.txt", "<r><a>1</a></r><<<>>>" + std::string(5000, '<'));
  ToolRun failed = runKova("rip " + doc + " " + data + " --block-size 1k", true);
  EXPECT_EQ(failed.exit, 1) << failed.out;
  EXPECT_NE(failed.out.find("rip_xml.txt: not well-formed XML at line 1, column 17 (byte 16)"),
            std::string::npos)
      << failed.out;
}

}  // namespace
