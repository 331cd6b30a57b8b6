// kova over hostile and faulty inputs: for each, the exit code without and
// with --strict and the words its messages must contain. Nothing here may be
// lost with exit 0 and no word, by kova rip or by kova convert.
#include <gtest/gtest.h>
#include <yajl/yajl_tree.h>

#include <sys/stat.h>

#include <fstream>
#include <string>
#include <vector>

#include "tests/support/tool_run.h"

namespace {

using kova::testing::examplePath;
using kova::testing::runKova;
using kova::testing::ToolRun;

std::string file(const std::string& name, const std::string& content) {
  std::string path = ::testing::TempDir() + "hostile_" + name;
  std::ofstream(path, std::ios::binary) << content;
  return path;
}

// A DELIMITED table of the given <column> elements; head: more table elements.
std::string delimited(const std::string& columns, const std::string& head = "") {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<kova><recfm>DELIMITED</recfm>"
         "<encoding cei=\"20\">UTF-8</encoding><fieldsep>,</fieldsep>"
         "<textqual>&quot;</textqual>" +
         head + "<columns>" + columns + "</columns></kova>\n";
}

std::string fixed(int64_t reclen, const std::string& columns) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<kova><recfm>FIXED</recfm><reclen>" +
         std::to_string(reclen) + "</reclen><encoding cei=\"20\">UTF-8</encoding><columns>" +
         columns + "</columns></kova>\n";
}

std::string column(const std::string& name, const std::string& type, const std::string& more = "") {
  return "<column><name>" + name + "</name><type>" + type + "</type>" + more + "</column>";
}

std::string varchar(const std::string& name, int64_t length) {
  return column(name, "VARCHAR", "<charlength>" + std::to_string(length) + "</charlength>");
}

// Many lines, one stray qualifier at byte 10 swallowing the rest.
std::string strayQualifier() {
  std::string data = "1,a\n2,b\n3,\"c\n";
  for (int i = 4; i < 2000; ++i) data += std::to_string(i) + ",x\n";
  return data;
}

std::string longQualified() { return "1,\"one\ntwo\nthree\nfour\nfive\"\n2,plain\n"; }

struct Case {
  const char* name;
  std::string command;  // after "kova"
  int plain;            // exit without --strict
  int strict;           // exit with --strict (-1: --strict not applicable)
  std::vector<std::string> words;
};

std::vector<Case> cases() {
  const std::string twoColumns = delimited(column("id", "INT") + varchar("text", 10));
  const std::string doc = file("two.xml", twoColumns);
  std::vector<Case> all;
  const std::string numbers =
      file("numbers.xml", delimited(column("i", "INT") + column("d", "DOUBLE") + varchar("t", 3)));
  all.push_back(
      {"ValuesThatAreNoNumbersAreCounted",
       "rip " + numbers + " " + file("numbers.csv", "abc,1e999,x\n1e3,nan,y\n5,2.5,z\n") +
           " --format none",
       0,
       1,
       {"3 rows, 0 truncations, 4 values not read", "record at byte 0, column 1", "\"abc\""}});
  all.push_back({"ConvertCountsValuesNotReadAsRipDoes",
                 "convert " + numbers + " " +
                     file("numbers.csv", "abc,1e999,x\n1e3,nan,y\n5,2.5,z\n") + " " + numbers +
                     " -o " + file("numbers.out", ""),
                 0,
                 1,
                 {"kova convert: 3 rows", "4 values not read",
                  "kova convert: ", "record at byte 0, column 1", "\"abc\""}});
  all.push_back(
      {"FieldsBeyondTheLastColumnAreCounted",
       "rip " + numbers + " " + file("extra.csv", "7,8,EXTRA,FIELDS\n1,2,3,,\n") + " --format none",
       0,
       1,
       {"1 truncation, 1 field beyond the last column", "record at byte 0, column 4",
        "\"FIELDS\""}});
  all.push_back({"ConvertCountsFieldsBeyondTheLastColumn",
                 "convert " + numbers + " " + file("extra.csv", "7,8,EXTRA,FIELDS\n1,2,3,,\n") +
                     " " + numbers + " -o " + file("extra.out", ""),
                 0,
                 1,
                 {"1 field beyond the last column", "record at byte 0, column 4"}});
  all.push_back({"InvalidBytesArePrintedAsReplacementCharacters",
                 "rip " + numbers + " " + file("bytes.csv", "1,2,a\xff\xfe\n2,3,\xe2\x82\n") +
                     " --format jsonl",
                 0,
                 1,
                 {"\"t\":\"a\xEF\xBF\xBD\xEF\xBF\xBD\"", "3 invalid byte sequences replaced",
                  "column 3: row 1"}});
  for (const char* format : {"none", "csv", "table"}) {
    all.push_back({"InvalidBytesAreCountedWhateverIsPrinted",
                   "rip " + numbers + " " + file("bytes.csv", "1,2,a\xff\xfe\n2,3,\xe2\x82\n") +
                       " --format " + format,
                   0,
                   1,
                   {"3 invalid byte sequences replaced", "column 3: row 1"}});
  }
  all.push_back({"InvalidBytesStopAtTheLimit",
                 "rip " + numbers + " " + file("bytes.csv", "1,2,a\xff\xfe\n2,3,\xe2\x82\n") +
                     " --format none --limit 1",
                 0,
                 1,
                 {"(stopped at --limit 1)", "2 invalid byte sequences replaced"}});
  all.push_back({"ConvertCountsInvalidBytes",
                 "convert " + numbers + " " + file("bytes.csv", "1,2,a\xff\xfe\n2,3,\xe2\x82\n") +
                     " " + numbers + " -o " + file("bytes.out", ""),
                 0,
                 1,
                 {"3 invalid byte sequences", "column 3: row 1"}});
  all.push_back({"StrayQualifierIsReportedWhereItBegan",
                 "rip " + doc + " " + file("stray.csv", strayQualifier()) + " --format none",
                 0,
                 1,
                 {"1 record cut at the end", "byte 10", "column 2",
                  "ends inside a quoted field begun there"}});
  all.push_back({"QualifiedFieldOverTheLineLimit",
                 "rip " + doc + " " + file("long.csv", longQualified()) +
                     " --format none --block-size 4 --max-quoted-lines 3",
                 0,
                 1,
                 {"run on across more than 3 line ends", "byte 2", "column 2"}});
  // A table read through a UTF-8 copy: line ends are counted in the copy;
  // the field's place is known to the block it was first seen open in.
  const std::string latin =
      "order_id,customer,order_date,quantity,unit_price,total,note\n"
      "1,A,2024-01-01,1,1,1,\"a\nb\nc\xe9\"\n2,B,2024-01-01,1,1,1,x\n";
  all.push_back({"TranscodedQualifiedFieldOverTheLineLimit",
                 "rip " + examplePath("orders-latin1.delimited.xml") + " " +
                     file("latin.csv", latin) +
                     " --format none --max-quoted-lines 1 --block-size 7",
                 0,
                 1,
                 {"2 rows", "column 7: a quoted field begun in the block at byte 77",
                  "more than 1 line ends (2)"}});
  all.push_back({"ConvertReportsAStrayQualifier",
                 "convert " + doc + " " + file("stray.csv", strayQualifier()) + " " + doc + " -o " +
                     file("stray.out", ""),
                 0,
                 1,
                 {"1 record cut at the end", "byte 10", "column 2"}});
  all.push_back({"ConvertTakesTheLineLimit",
                 "convert " + doc + " " + file("long.csv", longQualified()) + " " + doc + " -o " +
                     file("long.out", "") + " --max-quoted-lines 3",
                 0,
                 1,
                 {"1 qualified field over --max-quoted-lines", "byte 2", "column 2"}});
  all.push_back({"QualifiedFieldWithinTheLineLimit",
                 "rip " + doc + " " + file("long.csv", longQualified()) +
                     " --format none --block-size 4 --max-quoted-lines 4",
                 0,
                 0,
                 {"2 rows, 1 truncation, 0.0 MB"}});
  all.push_back({"FixedRecordCutAtTheEnd",
                 "rip " +
                     file("fixed.xml", fixed(4, column("v", "CHAR",
                                                       "<charlength>4</charlength>"
                                                       "<bytelength>4</bytelength>"))) +
                     " " + file("fixed.dat", "abcdefghij") + " --format none",
                 0,
                 1,
                 {"2 rows", "1 record cut at the end", "byte 8", "2 of 4 bytes"}});
  const std::string negative =
      file("negative.xml", delimited(column("id", "INT") + varchar("v", -5)));
  all.push_back(
      {"NegativeCharlengthIsLoudInRip",
       "rip " + negative + " " + file("one.csv", "1,a\n") + " --format none",
       0,
       1,
       {"column 2 (v)", "charlength -5 is outside 0 to 2147483647", "null in every row"}});
  all.push_back({"NegativeCharlengthIsLoudInConvert",
                 "convert " + negative + " " + file("one.csv", "1,a\n") + " " + negative + " -o " +
                     file("one.out", ""),
                 0,
                 1,
                 {"kova convert: ", "column 2 (v)", "charlength -5"}});
  all.push_back({"NegativeCharlengthIsLoudInDescribe",
                 "describe " + negative,
                 0,
                 -1,
                 {"warning: column 2 (v)", "charlength -5"}});
  all.push_back({"HugeCharlengthIsLoud",
                 "describe " + file("huge.xml", delimited(varchar("v", 4294967296))),
                 0,
                 -1,
                 {"charlength 4294967296 is outside"}});
  const std::string outside =
      file("outside.xml", fixed(8, column("a", "CHAR",
                                          "<charlength>4</charlength><bytelength>4"
                                          "</bytelength>") +
                                       column("b", "CHAR",
                                              "<charlength>4</charlength><offset>-3"
                                              "</offset><bytelength>4</bytelength>")));
  all.push_back({"FixedFieldOutsideTheRecord",
                 "rip " + outside + " " + file("eight.dat", "abcdefgh") + " --format none",
                 0,
                 1,
                 {"column 2 (b)", "offset -3 (4 bytes) lies outside the record of 8 bytes"}});
  all.push_back({"UnreadableNumberElementsAreNamed",
                 "meta show " + file("reclen.xml",
                                     "<?xml version=\"1.0\"?><kova><recfm>FIXED"
                                     "</recfm><reclen>1e30</reclen><columns>" +
                                         column("a", "CHAR",
                                                "<charlength>abc"
                                                "</charlength>") +
                                         "</columns></kova>"),
                 0,
                 -1,
                 {"<reclen>1e30</reclen> is no number", "<charlength>abc</charlength>"}});
  all.push_back({"EmptyNameIsAColumnWithoutName",
                 "rip " +
                     file("noname.xml", delimited("<column><name></name><type>INT</type>"
                                                  "</column>")) +
                     " " + file("one.csv", "1,a\n") + " --format csv",
                 0,
                 -1,
                 {"1\r\n"}});
  // Files that are missing, a directory, empty or no document at all.
  const std::string orders = examplePath("orders.delimited.xml");
  const std::string ordersData = examplePath("orders.csv");
  const std::string dir = ::testing::TempDir() + "kova_dir";
  ::mkdir(dir.c_str(), 0700);
  all.push_back({"MissingData",
                 "rip " + orders + " /nonexistent.csv --format none",
                 1,
                 -1,
                 {"cannot open /nonexistent.csv"}});
  all.push_back({"MissingDocument",
                 "rip /nonexistent.xml " + ordersData + " --format none",
                 1,
                 -1,
                 {"cannot open /nonexistent.xml"}});
  all.push_back({"DirectoryAsDocument", "meta show " + dir, 1, -1, {dir + " is a directory"}});
  all.push_back({"DirectoryAsRipDocument",
                 "rip " + dir + " " + ordersData + " --format none",
                 1,
                 -1,
                 {dir + " is a directory"}});
  all.push_back({"DirectoryAsDescribeDocument", "describe " + dir, 1, -1, {"is a directory"}});
  all.push_back({"DirectoryAsData",
                 "rip " + doc + " " + dir + " --format none",
                 1,
                 -1,
                 {dir + " is a directory"}});
  all.push_back({"EmptyDocument",
                 "rip " + file("empty_doc.xml", "  \n") + " " + ordersData + " --format none",
                 1,
                 -1,
                 {"empty_doc.xml: the document is empty"}});
  all.push_back({"BinaryDocument",
                 "rip " + file("binary_doc.xml", std::string("\x01\xff\xfe<\x00kova", 9)) + " " +
                     ordersData + " --format none",
                 1,
                 -1,
                 {"binary_doc.xml: line 1"}});
  all.push_back({"BrokenDocument",
                 "rip " + file("broken_doc.xml", "<kova><recfm>DELIMITED</recfm>") + " " +
                     ordersData + " --format none",
                 1,
                 -1,
                 {"broken_doc.xml: line 1"}});
  all.push_back({"OpenQuoteAfterAHeaderLine",
                 "rip " + orders + " " +
                     file("open_quote.csv",
                          "order_id,customer,order_date,quantity,unit_price,total,note\n"
                          "1,\"never closed,2024-01-01\n2,x\n") +
                     " --format none",
                 0,
                 1,
                 {"ends inside a quoted field", "byte 62"}});
  all.push_back({"BlockSizeZero",
                 "rip " + orders + " " + ordersData + " --block-size 0",
                 2,
                 -1,
                 {"--block-size"}});
  all.push_back({"MaxRejectsNeedsANumber",
                 "rip " + orders + " " + ordersData + " --max-rejects x",
                 2,
                 -1,
                 {"--max-rejects"}});
  all.push_back({"BlockSizeTakesTheGSuffix",
                 "rip " + doc + " " + file("one.csv", "1,a\n") + " --format none --block-size 2G",
                 0,
                 -1,
                 {"1 row,"}});
  all.push_back({"BlockSizeOverTheLimitOffersTheSuffix",
                 "rip " + doc + " " + file("one.csv", "1,a\n") + " --block-size 3G",
                 2,
                 -1,
                 {"from 1 byte to 2G, not 3G"}});
  all.push_back(
      {"ConvertLineLimitNeedsANumber",
       "convert " + doc + " " + file("one.csv", "1,a\n") + " " + doc + " --max-quoted-lines x",
       2,
       -1,
       {"kova convert: --max-quoted-lines: a number of line ends, not x"}});
  all.push_back({"UnbindableTableSaysWhichRule",
                 "rip " +
                     file("reclen0.xml", fixed(0, column("a", "CHAR",
                                                         "<charlength>4"
                                                         "</charlength>"))) +
                     " " + file("one.csv", "1,a\n"),
                 1,
                 -1,
                 {"record length 0 is outside 1 to 2147483647", "cannot bind"}});
  return all;
}

TEST(HostileInputs, EachIsReportedWithItsExitCodeAndWords) {
  for (const Case& c : cases()) {
    SCOPED_TRACE(c.name);
    ToolRun run = runKova(c.command, true);
    EXPECT_EQ(run.exit, c.plain) << run.out;
    // The module's own name for the metadata document never reaches a user.
    EXPECT_EQ(run.out.find("_metadata.xml"), std::string::npos) << run.out;
    for (const std::string& word : c.words) {
      EXPECT_NE(run.out.find(word), std::string::npos) << "missing \"" << word << "\" in\n"
                                                       << run.out;
    }
    if (c.strict < 0) continue;
    ToolRun strict = runKova(c.command + " --strict", true);
    EXPECT_EQ(strict.exit, c.strict) << strict.out;
    if (c.strict == 1) {
      EXPECT_NE(strict.out.find("--strict: "), std::string::npos) << strict.out;
    }
  }
}

// Qualified fields over --max-quoted-lines are each reported where they
// began, whether they lie inside one block or cross several, at any block
// size, and the rows stay those of a run without the limit.
TEST(HostileInputs, LongQualifiedFieldsAreFoundAtEveryBlockSize) {
  const std::string doc = file("lines.xml", delimited(column("id", "INT") + varchar("text", 40)));
  // Line ends taken in: 1, 4, 3 and 5.
  const std::string data =
      "1,a\n2,\"x\ny\"\n3,\"one\ntwo\nthree\nfour\nfive\"\n4,\"a\nb\nc\nd\"\n"
      "5,\"p\nq\nr\ns\nt\n\"\n6,z\n";
  const std::string path = file("lines.csv", data);
  const std::string first = "byte " + std::to_string(data.find("\"one")) + ", column 2";
  const ToolRun plain = runKova("rip " + doc + " " + path + " --format csv");
  ASSERT_EQ(plain.exit, 0);
  std::vector<std::string> sizes = {"1M"};
  for (size_t size = 1; size <= data.size() + 1; ++size) sizes.push_back(std::to_string(size));
  for (const std::string& size : sizes) {
    SCOPED_TRACE(size);
    const std::string rip = "rip " + doc + " " + path + " --block-size " + size;
    ToolRun run = runKova(rip + " --format csv --max-quoted-lines 3");
    EXPECT_EQ(run.exit, 0);
    EXPECT_EQ(run.out, plain.out);
    run = runKova(rip + " --format none --max-quoted-lines 3", true);
    EXPECT_NE(run.out.find("6 rows, 0 truncations, 2 qualified fields over --max-quoted-lines"),
              std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("(the first: " + first), std::string::npos) << run.out;
    run = runKova(rip + " --format none --max-quoted-lines 4 --strict", true);
    EXPECT_EQ(run.exit, 1);
    EXPECT_NE(run.out.find("--strict: " + path + ": byte " + std::to_string(data.find("\"p"))),
              std::string::npos)
        << run.out;
    run = runKova(rip + " --format none --max-quoted-lines 5 --strict", true);
    EXPECT_EQ(run.exit, 0) << run.out;
  }
}

// Every line of jsonl output is one JSON object a JSON parser accepts
// (which checks the text is UTF-8), whatever bytes the data holds.
TEST(HostileInputs, EveryJsonLineParses) {
  const std::string doc =
      file("bytes.xml", delimited(varchar("a", 8) + varchar("b", 8) + column("n", "DOUBLE")));
  std::string data;
  for (int i = 0; i < 256; ++i) {
    const char byte = char(i);
    data += std::string(1, byte) + "x," + "\"q" + std::string(1, byte) + "\xC3\",1\n";
  }
  data += "\xF0\x9F\x98\x80,\xED\xA0\x80,\xC0\xAF\n\xF4\x90\x80\x80,b";
  ToolRun run = runKova("rip " + doc + " " + file("bytes.csv", data) + " --format jsonl");
  ASSERT_EQ(run.exit, 0);
  size_t lines = 0;
  for (size_t at = 0; at < run.out.size();) {
    size_t end = run.out.find('\n', at);
    ASSERT_NE(end, std::string::npos) << "an unterminated last line";
    const std::string line = run.out.substr(at, end - at);
    char error[256] = {0};
    yajl_val value = yajl_tree_parse(line.c_str(), error, sizeof error);
    EXPECT_TRUE(value && YAJL_IS_OBJECT(value))
        << error << " in line " << lines + 1 << ": " << line;
    yajl_tree_free(value);
    at = end + 1;
    ++lines;
  }
  EXPECT_GE(lines, 250u);
  // What is counted without printing is what printing replaced: the data
  // holds no U+FFFD of its own.
  size_t replaced = 0;
  for (size_t at = run.out.find("\xEF\xBF\xBD"); at != std::string::npos;
       at = run.out.find("\xEF\xBF\xBD", at + 3)) {
    ++replaced;
  }
  ASSERT_GT(replaced, 100u);
  const std::string counted = std::to_string(replaced) + " invalid byte sequences replaced";
  for (const char* format : {"none", "csv"}) {
    const ToolRun other =
        runKova("rip " + doc + " " + file("bytes.csv", data) + " --format " + format, true);
    EXPECT_NE(other.out.find(counted), std::string::npos) << format;
  }
}

}  // namespace
