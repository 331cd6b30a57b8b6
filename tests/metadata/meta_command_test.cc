// kova meta: fmt gives the canonical document, show --json every field, and
// both refuse what is not a metadata document.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "tests/support/tool_run.h"

namespace {

using kova::testing::ToolRun;

ToolRun kova(const std::string& arguments, bool withErrors = false) {
  return kova::testing::runKova(arguments, withErrors);
}

std::string example(const std::string& name) { return kova::testing::examplePath(name); }

std::string contents(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

std::string scratch(const std::string& name, const std::string& text) {
  std::string path = ::testing::TempDir() + name;
  std::ofstream(path, std::ios::binary) << text;
  return path;
}

TEST(MetaCommand, ExamplesAreInCanonicalForm) {
  for (const char* name : {"orders.delimited.xml", "access.clf.xml", "payroll.fixed.xml",
                           "sensors.varbin.xml", "events.json.xml", "catalog.xml.xml"}) {
    ToolRun run = kova("meta fmt " + example(name));
    EXPECT_EQ(run.exit, 0) << name;
    EXPECT_EQ(run.out, contents(example(name))) << name;
  }
}

TEST(MetaCommand, FmtKeepsDroppedColumnsAndReadsLargeDocumentsInPieces) {
  std::string doc = "<kova><columns>";
  for (int i = 0; i < 3000; ++i) {
    doc += "<column><name>c" + std::to_string(i) + "</name><dropped>TRUE</dropped></column>";
  }
  doc += "</columns></kova>";
  ToolRun run = kova("meta fmt " + scratch("wide.xml", doc));
  ASSERT_EQ(run.exit, 0);
  EXPECT_NE(run.out.find("<name>c2999</name>\n<dropped>TRUE</dropped>\n</column>\n</columns>"),
            std::string::npos);
}

TEST(MetaCommand, ShowJsonNamesEveryFieldAndCode) {
  ToolRun run = kova("meta show --json " + example("payroll.fixed.xml"));
  ASSERT_EQ(run.exit, 0);
  for (const char* member :
       {"\"recfm\": 2", "\"recfmName\": \"FIXED\"", "\"reclen\": 64",
        "\"encodingName\": \"IBM037\"", "\"bigendian\": true", "\"userInputFormat\": null",
        "\"typeName\": \"SMALLINT\"", "\"c_typeName\": \"int16\"", "\"dropped\": true",
        "\"colendian\": 1", "\"ceiName\": null"}) {
    EXPECT_NE(run.out.find(member), std::string::npos) << member;
  }
  run = kova("meta show " + example("catalog.xml.xml"));
  EXPECT_EQ(run.exit, 0);
  EXPECT_NE(run.out.find("recordTag        book"), std::string::npos) << run.out;
}

TEST(MetaCommand, RefusesWhatIsNotAMetadataDocument) {
  EXPECT_EQ(kova("meta fmt " + scratch("other.xml",
                                       "<?xml version=\"1.0\"?><!-- k -->"
                                       "<other><kova/></other>"))
                .exit,
            1);
  EXPECT_EQ(kova("meta show " + scratch("cut.xml", "<kova><tableName>t</tableName>")).exit, 1);
  EXPECT_EQ(kova("meta show /nonexistent/doc.xml").exit, 1);
  EXPECT_EQ(kova("meta fmt").exit, 2);
  EXPECT_EQ(kova("meta list x.xml").exit, 2);
  EXPECT_EQ(kova("meta fmt --json x.xml").exit, 2);
}

}  // namespace
