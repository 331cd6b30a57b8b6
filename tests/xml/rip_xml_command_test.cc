// kova rip on XML tables: the bundled catalogue at every block size, and
// documents that are not well-formed, stop inside a record or are shorter
// than the gathered first bytes. Also a metadata document in the encoding
// it declares.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <string>

#include "tests/support/tool_run.h"

namespace kova::testing {
namespace {

// A file in the test's temporary folder, removed with the object.
class TempFile {
 public:
  TempFile(const std::string& name, const std::string& bytes) : path_(::testing::TempDir() + name) {
    FILE* f = std::fopen(path_.c_str(), "wb");
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
  }
  ~TempFile() { std::remove(path_.c_str()); }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

const std::string kCatalog = "rip " + examplePath("catalog.xml.xml") + " ";

TEST(RipXmlCommand, CatalogueRowsFromEveryBlockSize) {
  ToolRun whole = runKova(kCatalog + examplePath("catalog.xml") + " --format jsonl");
  ASSERT_EQ(whole.exit, 0);
  EXPECT_EQ(
      whole.out,
      "{\"isbn\":\"9780000000019\",\"title\":\"Winter & Spring\",\"author\":\"Zo\xC3\xAB "
      "Bront\xC3\xAB\",\"published\":\"2019-11-05\",\"pages\":412,\"price\":18.5,"
      "\"edition\":2,\"copies\":14,\"catalog_no\":900000000001,\"list_price\":\"21.90\","
      "\"added\":\"2020-01-15 09:30:00\",\"reading_time\":\"06:45:00\"}\n"
      "{\"isbn\":\"9780000000026\",\"title\":\"<XML> & You: a primer\",\"author\":"
      "\"\xC3\x89"
      "ditions du Nord\",\"published\":\"2021-06-30\",\"pages\":96,"
      "\"price\":9.99,\"edition\":null,\"copies\":null,\"catalog_no\":900000000002,"
      "\"list_price\":\"12.00\",\"added\":\"2021-07-01 14:05:10\",\"reading_time\":null}\n"
      "{\"isbn\":\"9780000000033\",\"title\":\"Dao De Jing \xE9\x81\x93\xE5\xBE\xB7\xE7\xB6\x93\","
      "\"author\":\"L\xC7\x8Eoz\xC7\x90 (\xE8\x80\x81\xE5\xAD\x90)\",\"published\":"
      "\"2003-02-01\",\"pages\":160,\"price\":7.25,\"edition\":12,\"copies\":3,"
      "\"catalog_no\":900000000003,\"list_price\":\"8.00\",\"added\":\"2004-12-24 "
      "18:00:00\",\"reading_time\":\"02:30:00\"}\n");
  for (const char* size : {"1", "7", "100"}) {
    EXPECT_EQ(
        runKova(kCatalog + examplePath("catalog.xml") + " --format jsonl --block-size " + size).out,
        whole.out)
        << size;
  }
}

TEST(RipXmlCommand, DocumentsThatAreNotWellFormedFailWithWhereAndWhy) {
  struct Case {
    const char* bytes;
    const char* says;
  } cases[] = {
      {"<c>\n <book><pages>1</pages></book>\n <book></c>",
       "line 3, column 10 (byte 44): mismatched tag"},
      {"<c>\n<book><pages>1</pages>", "line 2, column 23 (byte 26): no element found"},
      {"", "line 1, column 1 (byte 0): no element found"},
      {"<c", "line 1, column 1 (byte 0): unclosed token"},
  };
  for (const Case& c : cases) {
    TempFile data("broken.xml", c.bytes);
    ToolRun run = runKova(kCatalog + data.path() + " --format csv --block-size 4", true);
    EXPECT_EQ(run.exit, 1) << c.bytes;
    EXPECT_NE(run.out.find(data.path() + ": not well-formed XML at " + c.says), std::string::npos)
        << run.out;
  }
}

TEST(RipXmlCommand, ShortDocumentIsParsedAtTheEndOfTheInput) {
  TempFile data("short.xml", "<book/>");
  ToolRun run = runKova(kCatalog + data.path() + " --format csv", true);
  EXPECT_EQ(run.exit, 0);
  EXPECT_NE(run.out.find("\r\n,,,,,,,,,,,\r\n"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("kova rip: 1 row,"), std::string::npos) << run.out;
}

TEST(RipXmlCommand, DescribeShowsTheLayoutOfAnXmlTable) {
  ToolRun run = runKova("describe " + examplePath("catalog.xml.xml"));
  EXPECT_EQ(run.exit, 0);
  EXPECT_NE(run.out.find("XML table, typed ripper, 12 columns"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("reading_time  TIME (92)"), std::string::npos) << run.out;
}

TEST(RipXmlCommand, MetadataDocumentIsReadInTheEncodingItDeclares) {
  TempFile doc("latin1.xml",
               "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<kova>\n<recfm>XML</recfm>\n"
               "<tableName>caf\xE9</tableName>\n</kova>\n");
  ToolRun run = runKova("meta show " + doc.path());
  EXPECT_EQ(run.exit, 0);
  EXPECT_NE(run.out.find("caf\xC3\xA9"), std::string::npos) << run.out;
}

}  // namespace
}  // namespace kova::testing
