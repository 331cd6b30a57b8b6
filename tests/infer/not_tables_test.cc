// Files that are not tables give a clear message naming the file and exit 1,
// or a one-column document; never a crash. Usage errors exit 2.
#include <gtest/gtest.h>

#include <random>

#include "tests/infer/corpus.h"
#include "tests/infer/infer_testing.h"
#include "tests/support/tool_run.h"

namespace {

using namespace kova::testing;

struct NotATable {
  const char* name;
  std::string bytes;
  const char* message;
};

TEST(InferNotTables, RefusesEmptyBinaryRaggedAndBrokenFilesByName) {
  std::string random(4096, '\0');
  std::mt19937 generator(7);
  for (char& b : random) b = char(generator());
  const NotATable cases[] = {
      {"empty.csv", "", "empty: there is nothing to infer from"},
      {"blank.csv", "  \n\r\n\t\n", "blank: no values to infer from"},
      {"random.bin", random, "binary data"},
      {"controls.bin", std::string(200, '\x02') + "a,b\n", "binary data (200 control bytes"},
      {"ragged.csv", "a,b,c\n1\n1,2,3,4,5\n1,2\nx,y,z,w,v,u,t\n1,2,3,4,5,6,7,8\n", "ragged rows"},
      {"broken.json", "{\"a\":", "no JSON object records"},
      {"scalars.json", "[1,2,3]", "no JSON object records"},
      {"nested.json", "{\"a\":{\"b\":1}}\n", "the records have no member with a plain value"},
      {"flat.xml", "<r><v>1</v><v>2</v></r>", "no element under the root has child elements"},
      {"notxml.xml", "<<<>>>", "not XML"},
  };
  for (const NotATable& c : cases) {
    std::string path = writeTemp(c.name, c.bytes);
    ToolRun run = runKova("meta infer " + path, true);
    EXPECT_EQ(run.exit, 1) << c.name << ": " << run.out;
    EXPECT_NE(run.out.find("kova meta infer: " + path + ": " + c.message), std::string::npos)
        << c.name << ": " << run.out;
  }
  ToolRun missing = runKova("meta infer /nonexistent/data.csv", true);
  EXPECT_EQ(missing.exit, 1);
  EXPECT_NE(missing.out.find("cannot open /nonexistent/data.csv"), std::string::npos)
      << missing.out;
}

TEST(InferNotTables, OneFieldPerLineGivesAOneColumnDocumentThatRips) {
  std::string path = writeTemp("words.txt", "word\nalpha\nbeta gamma, delta\nepsilon\n");
  Inferred inferred = inferFindings(path);
  ASSERT_EQ(inferred.exit, 0) << inferred.output;
  ASSERT_EQ(inferred.columns.size(), 1u);
  EXPECT_EQ(inferred.columns[0].type, "VARCHAR");
  // No separator at all: a comma inside a line does not split it.
  ToolRun document = runKova("meta infer " + path);
  EXPECT_EQ(document.out.find("<fieldsep>"), std::string::npos) << document.out;
  Ripped ripped = inferAndRip(path);
  ASSERT_EQ(ripped.exit, 0);
  ASSERT_EQ(ripped.rows.size(), 3u);  // the first line is taken as the header, with a warning
  EXPECT_EQ(stringOf(ripped.rows[1]->u.object.values[0]), "beta gamma, delta");
  EXPECT_FALSE(inferred.warnings.empty());
}

TEST(InferNotTables, DamagedFilesGiveADocumentOrAMessageNeverACrash) {
  using namespace kova::testing::corpus;
  std::mt19937 generator(11);
  const std::vector<Dialect> dialects = corpusDialects();
  const std::string seeds[] = {
      generate(corpusColumns(0), dialects[4], 40, 3).bytes,
      generate(corpusColumns(2), dialects[9], 40, 4).bytes,
      generateClf(40, 5).bytes,
      "{\"a\":1,\"b\":\"x\"}\n{\"a\":2,\"b\":[1,{\"c\":2}]}\n",
      "<r><x><a>1</a><b>2</b></x><x><a>3</a></x></r>\n",
  };
  for (int round = 0; round < 150; ++round) {
    std::string bytes = seeds[round % 5];
    // Cut it somewhere and change a few bytes.
    bytes.resize(std::uniform_int_distribution<size_t>(0, bytes.size())(generator));
    for (int k = 0; k < 4 && !bytes.empty(); ++k) {
      bytes[std::uniform_int_distribution<size_t>(0, bytes.size() - 1)(generator)] =
          char(generator());
    }
    std::string path = writeTemp("damaged", bytes);
    ToolRun run = runKova("meta infer " + path + (round % 3 == 0 ? " --sample 4k" : ""), true);
    ASSERT_TRUE(run.exit == 0 || run.exit == 1) << "round " << round << ": " << run.out;
    ASSERT_EQ(run.out.find("Sanitizer"), std::string::npos) << run.out;  // under make test-asan
    if (run.exit == 1) {
      EXPECT_NE(run.out.find("kova meta infer: " + path + ": "), std::string::npos) << run.out;
    }
  }
}

TEST(InferNotTables, UsageErrorsExitTwo) {
  for (const char* arguments : {"", "a.csv b.csv", "a.csv --format yaml", "a.csv --sample lots",
                                "a.csv --bogus", "a.csv --record-tag"}) {
    EXPECT_EQ(runKova(std::string("meta infer ") + arguments).exit, 2) << arguments;
  }
  ToolRun help = runKova("meta infer --help");
  EXPECT_EQ(help.exit, 0);
  EXPECT_NE(help.out.find("kova meta infer DATA"), std::string::npos);
  std::string path = writeTemp("enc.csv", "a,b\n1,2\n");
  ToolRun unknown = runKova("meta infer " + path + " --encoding klingon", true);
  EXPECT_EQ(unknown.exit, 1);
  EXPECT_NE(unknown.out.find("the host knows no such encoding"), std::string::npos) << unknown.out;
}

}  // namespace
