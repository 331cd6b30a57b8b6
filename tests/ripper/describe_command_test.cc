// kova describe: the layout of a document's table as text and JSON, the
// options that change it, and clear failures.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "tests/support/tool_run.h"

namespace {

using kova::testing::ToolRun;

ToolRun kova(const std::string& arguments, bool withErrors = false) {
  return kova::testing::runKova(arguments, withErrors);
}

std::string document(const std::string& name, const std::string& recfm,
                     const std::string& columns) {
  std::string path = ::testing::TempDir() + name;
  std::ofstream(path, std::ios::binary)
      << "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\n<kova><recfm>" << recfm
      << "</recfm><fieldsep>,</fieldsep><columns>" << columns << "</columns></kova>\n";
  return path;
}

std::string column(const std::string& name, const std::string& type,
                   const std::string& extra = "") {
  return "<column><name>" + name + "</name><type>" + type + "</type>" + extra + "</column>";
}

TEST(DescribeCommand, JsonGivesEveryEntryFieldAndTheRowLength) {
  std::string doc = document("describe_typed.xml", "DELIMITED",
                             column("price", "DOUBLE") + column("flag", "TINYINT") +
                                 column("count", "INT") + column("day", "DATE"));
  ToolRun run = kova("describe " + doc + " --json");
  ASSERT_EQ(run.exit, 0) << run.out;
  EXPECT_NE(run.out.find("\"rowLength\": 32"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("{\"name\": \"price\", \"columnNumber\": 1, \"ordinal\": 1, "
                         "\"sqlType\": 8, \"sqlTypeName\": \"DOUBLE\", \"storageType\": 6, "
                         "\"octetLength\": 8, \"dataOffset\": 0, \"indicatorOffset\": 24, "
                         "\"indicatorWidth\": 1, \"columnSize\": 22, \"decimalDigits\": 0, "
                         "\"encoding\": 0, \"format\": null}"),
            std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("\"name\": \"count\", \"columnNumber\": 3, \"ordinal\": 3, "
                         "\"sqlType\": 4"),
            std::string::npos);
  EXPECT_NE(run.out.find("\"dataOffset\": 12, \"indicatorOffset\": 26"), std::string::npos);
  EXPECT_NE(run.out.find("\"format\": {\"kind\": \"informat\", \"name\": \"ANYDTDTE.\", "
                         "\"bound\": true, \"width\": 0, \"decimals\": 0}"),
            std::string::npos)
      << run.out;

  ToolRun text = kova("describe " + doc);
  ASSERT_EQ(text.exit, 0);
  EXPECT_NE(text.out.find("DELIMITED table, typed ripper, 4 columns in the layout, row length 32"),
            std::string::npos)
      << text.out;
  EXPECT_NE(text.out.find("ANYDTDTE. (w0 d0)"), std::string::npos);
}

TEST(DescribeCommand, OptionsChangeTheLayout) {
  std::string doc =
      document("describe_options.xml", "DELIMITED",
               column("c", "CHAR", "<charlength>20</charlength><bytelength>10</bytelength>") +
                   column("x", "DOUBLE") + column("t", "TIME", "<scale>3</scale>") +
                   column("v", "VARCHAR", "<charlength>100</charlength>"));
  ToolRun image = kova("describe " + doc + " --image --json");
  ASSERT_EQ(image.exit, 0) << image.out;
  EXPECT_NE(image.out.find("\"mode\": \"rowImage\""), std::string::npos);
  EXPECT_NE(image.out.find("\"offset\": 0, \"length\": 10"), std::string::npos) << image.out;
  EXPECT_NE(image.out.find("\"offset\": 16, \"length\": -8"), std::string::npos);
  EXPECT_NE(image.out.find("\"rowLength\": 136"), std::string::npos);

  ToolRun expanded = kova("describe " + doc + " --char-expansion 1.5 --json");
  ASSERT_EQ(expanded.exit, 0);
  EXPECT_NE(expanded.out.find("\"octetLength\": 150"), std::string::npos) << expanded.out;

  ToolRun burner = kova("describe " + doc + " --output --time-scale --json");
  ASSERT_EQ(burner.exit, 0);
  EXPECT_NE(burner.out.find("\"object\": \"burner\""), std::string::npos);
  EXPECT_NE(burner.out.find("\"kind\": \"format\", \"name\": \"TIME12.3\", \"bound\": true, "
                            "\"width\": 12, \"decimals\": 3"),
            std::string::npos)
      << burner.out;
  EXPECT_NE(burner.out.find("\"octetLength\": 200"), std::string::npos);
}

TEST(DescribeCommand, FailuresSayWhyAndExitOne) {
  std::string elf = document("describe_elf.xml", "ELF", column("a", "INT"));
  ToolRun refused = kova("describe " + elf, true);
  EXPECT_EQ(refused.exit, 1);
  EXPECT_NE(refused.out.find("cannot create a ripper: ELF records cannot be ripped"),
            std::string::npos)
      << refused.out;

  std::string empty = document("describe_empty.xml", "CLF", "");
  ToolRun unbound = kova("describe " + empty, true);
  EXPECT_EQ(unbound.exit, 1);
  EXPECT_NE(unbound.out.find("cannot bind the ripper: kStatusNotSupported (0x803fc009)"),
            std::string::npos)
      << unbound.out;

  EXPECT_EQ(kova("describe " + ::testing::TempDir() + "no_such_document.xml").exit, 1);
  EXPECT_EQ(kova("describe").exit, 2);
  EXPECT_EQ(kova("describe " + elf + " --char-expansion -1").exit, 2);
  EXPECT_EQ(kova("describe " + elf + " --bogus").exit, 2);
}

}  // namespace
