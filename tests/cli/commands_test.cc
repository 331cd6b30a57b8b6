// What a user meets at the command line: for each command, the usage errors
// (exit 2, the command named, a pointer to its help), files that are missing,
// directories or no documents (exit 1, the file named), and the commands
// that only report (version, encodings, check-format) working from the tool.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/tool_run.h"

namespace kova::testing {
namespace {

struct Case {
  const char* name;
  std::string command;  // after "kova"
  int exit;
  std::vector<std::string> words;  // each must appear in stdout + stderr
};

void runCases(const std::vector<Case>& cases) {
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.name) + ": kova " + c.command);
    const ToolRun run = runKova(c.command, true);
    EXPECT_EQ(run.exit, c.exit) << run.out;
    for (const std::string& word : c.words)
      EXPECT_NE(run.out.find(word), std::string::npos) << run.out;
  }
}

TEST(CommandLine, UsageErrorsNameTheCommandAndExitTwo) {
  const std::string doc = examplePath("orders.delimited.xml");
  const std::string data = examplePath("orders.csv");
  const std::string out = examplePath("orders.fixed.xml");
  runCases({
      {"no command", "", 2, {"usage: kova COMMAND"}},
      {"unknown command", "bogus", 2, {"unknown command 'bogus'", "usage: kova COMMAND"}},
      {"version with an argument", "version x", 2, {"kova version: takes no arguments"}},
      {"encodings option", "encodings --bad", 2, {"kova encodings: unknown option --bad"}},
      {"check-format without a name", "check-format", 2, {"kova check-format: missing NAME"}},
      {"check-format two names", "check-format A. B.", 2, {"takes one NAME"}},
      {"check-format option", "check-format --x", 2, {"unknown option --x"}},
      {"describe without a document", "describe", 2, {"kova describe: missing DOC"}},
      {"describe two documents", "describe a b", 2, {"kova describe: takes one DOC"}},
      {"describe expansion",
       "describe " + doc + " --char-expansion x",
       2,
       {"--char-expansion: not a number of bytes per character: x"}},
      {"convert without files", "convert", 2, {"needs IN_DOC, IN_DATA and OUT_DOC"}},
      {"convert limit",
       "convert " + doc + " " + data + " " + out + " --limit x",
       2,
       {"--limit: a number of rows, not x"}},
      {"convert output name",
       "convert " + doc + " " + data + " " + out + " -o",
       2,
       {"-o needs a value"}},
      {"splits without files", "splits", 2, {"kova splits: needs DOC and DATA"}},
      {"splits size", "splits a b --size 0", 2, {"--size: a size of at least 1 byte, not 0"}},
      {"splits option", "splits a b --bogus", 2, {"unknown option --bogus"}},
      {"meta without a subcommand", "meta", 2, {"kova meta: missing fmt, show or infer"}},
      {"meta show two documents", "meta show a b", 2, {"kova meta: takes one DOC"}},
      {"rip jobs", "rip --jobs", 2, {"kova rip: --jobs needs a value"}},
      {"rip jobs with loss checks",
       "rip " + doc + " " + data + " --jobs 2 --strict",
       2,
       {"--split and --jobs do not take --rejects"}},
      {"rip split with a reject log",
       "rip " + doc + " " + data + " --split 0:1M --rejects -",
       2,
       {"rip in one piece for those"}},
  });
}

TEST(CommandLine, FilesThatCannotBeUsedAreNamedWithExitOne) {
  const std::string doc = examplePath("orders.delimited.xml");
  const std::string data = examplePath("orders.csv");
  const std::string out = examplePath("orders.fixed.xml");
  const std::string folder = ::testing::TempDir();
  const std::string missing = folder + "cli_missing_file";
  const std::string target = folder + "cli_output";
  runCases({
      {"describe missing document",
       "describe " + missing,
       1,
       {"kova describe: cannot open " + missing}},
      {"describe folder", "describe " + folder, 1, {"kova describe: ", "is a directory"}},
      {"convert missing output document",
       "convert " + doc + " " + data + " " + missing + " -o " + target,
       1,
       {"kova convert: cannot open " + missing}},
      {"convert folder as data",
       "convert " + doc + " " + folder + " " + out + " -o " + target,
       1,
       {"is a directory, not a data file"}},
      {"convert folder as output",
       "convert " + doc + " " + data + " " + out + " -o " + folder,
       1,
       {"kova convert: cannot create " + folder}},
      {"convert output in a missing folder",
       "convert " + doc + " " + data + " " + out + " -o " + missing + "/x",
       1,
       {"cannot create " + missing + "/x"}},
      {"splits missing data",
       "splits " + doc + " " + missing,
       1,
       {"kova splits: cannot open " + missing}},
      {"splits missing document",
       "splits " + missing + " " + data,
       1,
       {"kova splits: cannot open " + missing}},
      {"rip folder as data", "rip " + doc + " " + folder, 1, {"is a directory, not a data file"}},
  });
}

TEST(CommandLine, ConvertRefusesRowImagesForFixedRecords) {
  const std::string target = tempFile("cli_image_kept", "earlier output\n");
  const ToolRun run =
      runKova("convert " + examplePath("orders.delimited.xml") + " " + examplePath("orders.csv") +
                  " " + examplePath("orders.fixed.xml") + " -o " + target + " --image",
              true);
  EXPECT_EQ(run.exit, 1) << run.out;
  EXPECT_NE(run.out.find("FIXED records are burned from typed rows; drop --image"),
            std::string::npos)
      << run.out;
  EXPECT_EQ(fileContent(target), "earlier output\n");
}

TEST(CommandLine, ConvertRefusingAFolderLeavesTheOutputAlone) {
  const std::string target = tempFile("cli_kept", "earlier output\n");
  const ToolRun run =
      runKova("convert " + examplePath("orders.delimited.xml") + " " + ::testing::TempDir() + " " +
                  examplePath("orders.fixed.xml") + " -o " + target,
              true);
  EXPECT_EQ(run.exit, 1) << run.out;
  EXPECT_EQ(fileContent(target), "earlier output\n");
}

// A table of every value kind, into one whose integers are narrower and
// whose text is shorter: cut text stays whole characters, integers out of
// range are counted as not converted (typed) or written as read (row image).
TEST(CommandLine, ConvertCutsTextAtCharactersAndCountsWhatDoesNotFit) {
  const std::string head =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<kova><recfm>DELIMITED</recfm>"
      "<encoding cei=\"20\">UTF-8</encoding>";
  const std::string in = tempFile(
      "cli_in.xml", head +
                        "<fieldsep>,</fieldsep><columns>"
                        "<column><name>id</name><type>BIGINT</type></column>"
                        "<column><name>who</name><type>VARCHAR</type><charlength>20</charlength>"
                        "</column><column><name>day</name><type>DATE</type></column>"
                        "<column><name>at</name><type>TIME</type></column>"
                        "<column><name>n</name><type>INT</type></column></columns></kova>\n");
  const std::string out = tempFile(
      "cli_out.xml", head +
                         "<fieldsep>;</fieldsep><columns>"
                         "<column><name>id</name><type>SMALLINT</type></column>"
                         "<column><name>who</name><type>VARCHAR</type><charlength>3</charlength>"
                         "</column><column><name>day</name><type>DATE</type></column>"
                         "<column><name>at</name><type>TIME</type></column>"
                         "<column><name>n</name><type>TINYINT</type></column>"
                         "<column><name>extra</name><type>INT</type></column></columns></kova>\n");
  const std::string data = tempFile("cli_in.csv",
                                    "1,Zo\xc3\xab\xc3\xab\xc3\xab,2024-02-29,13:05:09,7\n"
                                    "2,Zox\xc3\xab\xc3\xab\xc3\xab,1999-12-31,00:00:01,300\n"
                                    "40000,,,,\n");
  const std::string target = ::testing::TempDir() + "cli_out.txt";
  struct Mode {
    const char* option;
    std::string bytes;
    std::string summary;
  } modes[] = {
      {"",
       "1;Zo\xc3\xab\xc3\xab;2024-02-29;13:05:09;7;\n2;Zox\xc3\xab;1999-12-31;00:00:01;;\n;;;;;\n",
       "3 rows, 2 truncations, 2 unconverted"},
      {" --image", "1;Zo;2024-02-29;13:05:09;7;\n2;Zox;1999-12-31;00:00:01;300;\n40000;;;;;\n",
       "3 rows, 2 truncations, 0 unconverted"},
  };
  for (const Mode& mode : modes) {
    SCOPED_TRACE(mode.option);
    const ToolRun run =
        runKova("convert " + in + " " + data + " " + out + " -o " + target + mode.option, true);
    EXPECT_EQ(run.exit, 0) << run.out;
    EXPECT_NE(run.out.find("has no column extra: it is written as null"), std::string::npos);
    EXPECT_NE(run.out.find(mode.summary), std::string::npos) << run.out;
    EXPECT_EQ(fileContent(target), mode.bytes);
  }
}

// A text table in an encoding other than UTF-8 gets its values in that
// encoding: the orders converted to the ISO-8859-1 table are that table's
// example file byte for byte; through row images (whose numbers are
// formatted differently) the names are ISO-8859-1 as well.
TEST(CommandLine, ConvertWritesTheOutputTablesEncoding) {
  const std::string target = ::testing::TempDir() + "cli_latin1.csv";
  const std::string command = "convert " + examplePath("orders.delimited.xml") + " " +
                              examplePath("orders.csv") + " " +
                              examplePath("orders-latin1.delimited.xml") + " -o " + target;
  ToolRun run = runKova(command, true);
  EXPECT_EQ(run.exit, 0) << run.out;
  EXPECT_EQ(fileContent(target), fileContent(examplePath("orders-latin1.csv")));
  run = runKova(command + " --image", true);
  EXPECT_EQ(run.exit, 0) << run.out;
  const std::string imaged = fileContent(target);
  EXPECT_NE(imaged.find("\"Barros, Tom\xe1s\""), std::string::npos) << imaged;
  EXPECT_NE(imaged.find("Ren\xe9"
                        "e"),
            std::string::npos)
      << imaged;
  EXPECT_EQ(imaged.find('\xc3'), std::string::npos) << imaged;
}

// Files whose records cannot be found from any offset come out as one split
// with the reason; a device has no byte ranges at all.
TEST(CommandLine, SplitsSayWhyAFileIsOneSplit) {
  const std::string head = "<?xml version=\"1.0\"?>\n<kova><recfm>";
  const std::string tail =
      "<encoding cei=\"20\">UTF-8</encoding><columns><column><name>a</name><type>INT</type>"
      "<bytelength>4</bytelength></column></columns></kova>\n";
  const std::string noLength = tempFile("cli_nolength.xml", head + "FIXED</recfm>" + tail);
  const std::string lineSeparator =
      tempFile("cli_linesep.xml", head + "DELIMITED</recfm><fieldsep>&#10;</fieldsep>" + tail);
  const std::string data = examplePath("orders.csv");
  runCases({
      {"JSON",
       "splits " + examplePath("events.json.xml") + " " + examplePath("events.jsonl"),
       0,
       {"1 split; not splittable: JSON and XML records can only be found from the first byte"}},
      {"XML as JSON",
       "splits " + examplePath("catalog.xml.xml") + " " + examplePath("catalog.xml") + " --json",
       0,
       {"\"splittable\": false", "\"splits\": [{\"offset\": 0, \"length\": 1712}]"}},
      {"FIXED without a length",
       "splits " + noLength + " " + data,
       0,
       {"not splittable: its FIXED records have no length", "0 428"}},
      {"line end as field separator",
       "splits " + lineSeparator + " " + data,
       0,
       {"not splittable: its field separator is a line end"}},
      {"a device",
       "splits " + examplePath("orders.delimited.xml") + " /dev/stdin < /dev/zero",
       1,
       {"kova splits: /dev/stdin is not a regular file (splits need byte ranges of a file)"}},
  });
}

// convert reads its input as kova rip does: VARBIN blocks cut at record
// boundaries at any block size (a record longer than the block gets a block
// of its own), a cut-off last record reported, and a byte-order mark at the
// start of a text file kept out of the first value.
TEST(CommandLine, ConvertReadsBlocksAsRipDoes) {
  const std::string doc = examplePath("sensors.varbin.xml");
  const std::string data = examplePath("sensors.varbin");
  const std::string whole = ::testing::TempDir() + "cli_sensors_whole.varbin";
  const std::string small = ::testing::TempDir() + "cli_sensors_small.varbin";
  ToolRun run = runKova("convert " + doc + " " + data + " " + doc + " -o " + whole, true);
  ASSERT_EQ(run.exit, 0) << run.out;
  EXPECT_GT(fileContent(whole).size(), 1000u);
  for (const char* size : {"16", "100", "1000"}) {
    SCOPED_TRACE(size);
    run = runKova(
        "convert " + doc + " " + data + " " + doc + " -o " + small + " --block-size " + size, true);
    EXPECT_EQ(run.exit, 0) << run.out;
    EXPECT_EQ(fileContent(small), fileContent(whole));
  }
  const std::string bytes = fileContent(data);
  const std::string cut = tempFile("cli_sensors_cut.varbin", bytes.substr(0, bytes.size() - 3));
  run = runKova("convert " + doc + " " + cut + " " + doc + " -o " + small, true);
  EXPECT_EQ(run.exit, 1) << run.out;
  EXPECT_NE(run.out.find("cli_sensors_cut.varbin: the input ends inside a record"),
            std::string::npos)
      << run.out;

  const std::string plain =
      tempFile("cli_plain.xml",
               "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<kova><recfm>DELIMITED</recfm>"
               "<encoding cei=\"20\">UTF-8</encoding><fieldsep>,</fieldsep><columns>"
               "<column><name>id</name><type>INT</type></column>"
               "<column><name>who</name><type>VARCHAR</type><charlength>8</charlength></column>"
               "</columns></kova>\n");
  const std::string marked = tempFile("cli_marked.csv",
                                      "\xef\xbb\xbf"
                                      "7,x\n8,y\n");
  const std::string target = ::testing::TempDir() + "cli_marked.out";
  run = runKova("convert " + plain + " " + marked + " " + plain + " -o " + target, true);
  EXPECT_EQ(run.exit, 0) << run.out;
  EXPECT_EQ(fileContent(target), "7,x\n8,y\n");
}

TEST(CommandLine, ReportingCommandsWork) {
  runCases({
      {"help", "--help", 0, {"usage: kova COMMAND", "describe", "convert"}},
      {"version", "version", 0, {"libzrekova.so", "interface", "build stamp"}},
      {"encodings", "encodings", 0, {"ISO-8859-1", "UTF-8"}},
      {"encodings as JSON",
       "encodings --json",
       0,
       {"{\"id\": 1, \"name\": \"ISO-8859-1\"", "\"asciiCompatible\": true"}},
      {"known informat", "check-format DATE9. --informat", 0, {"DATE9.: known informat"}},
      {"known format", "check-format COMMA12.2", 0, {"COMMA12.2: known format"}},
      {"unknown format", "check-format NOPE12.", 1, {"NOPE12.: unknown format"}},
  });
}

}  // namespace
}  // namespace kova::testing
