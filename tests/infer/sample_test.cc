// The sample: the start of the file and spans spread over the rest, so a
// type change late in a large file is seen; --sample all reads everything.
#include <gtest/gtest.h>

#include <fstream>

#include "tests/infer/infer_testing.h"

namespace {

using namespace kova::testing;

// About 6 MB of id,amount,label rows whose amount turns from integers to
// decimals, and whose label grows long, in the last tenth of the file.
std::string lateChange() {
  std::string text = "id,amount,label\n";
  const int rows = 300000;
  for (int i = 0; i < rows; ++i) {
    const bool late = i > rows * 9 / 10;
    text += std::to_string(i) + "," +
            (late ? std::to_string(i % 97) + ".5" : std::to_string(i % 89)) + "," +
            (late && i % 1000 == 0 ? std::string(150, 'x') : "short") + "\n";
  }
  return text;
}

TEST(InferSample, SpansAcrossTheFileSeeALateTypeChange) {
  std::string path = writeTemp("late.csv", lateChange());
  Inferred head = inferFindings(path, "--sample 64k");
  ASSERT_EQ(head.exit, 0) << head.output;
  yajl_val sample = member(head.findings.get(), "sample");
  EXPECT_FALSE(YAJL_IS_TRUE(member(sample, "wholeFile")));
  EXPECT_LT(member(sample, "sampledBytes")->u.number.i,
            member(sample, "fileBytes")->u.number.i / 10);
  EXPECT_EQ(head.columns[0].type, "INT");
  EXPECT_EQ(head.columns[1].type, "DOUBLE");  // seen in a span near the end
  EXPECT_EQ(head.columns[2].type, "VARCHAR");
  // The whole file gives the same types, and the longest label exactly.
  Inferred all = inferFindings(path, "--sample all");
  ASSERT_EQ(all.exit, 0) << all.output;
  EXPECT_TRUE(YAJL_IS_TRUE(member(member(all.findings.get(), "sample"), "wholeFile")));
  EXPECT_EQ(member(member(all.findings.get(), "sample"), "records")->u.number.i, 300000);
  for (size_t c = 0; c < 3; ++c) EXPECT_EQ(all.columns[c].type, head.columns[c].type) << c;
  EXPECT_GT(all.columns[2].charlength, 150);
  // The whole-file document rips it without a truncation.
  Ripped ripped = inferAndRip(path, "--sample all");
  ASSERT_EQ(ripped.exit, 0);
  EXPECT_NE(ripped.summary.find("300000 rows, 0 truncations"), std::string::npos) << ripped.summary;
}

TEST(InferSample, JsonLinesAreSampledInSpansToo) {
  std::string text;
  const int rows = 200000;
  for (int i = 0; i < rows; ++i) {
    const bool late = i > rows * 9 / 10;
    text += "{\"id\":" + std::to_string(i) + ",\"v\":" + std::to_string(i % 50) +
            (late ? ".5" : "") + (late ? ",\"extra\":\"x\"" : "") + "}\n";
  }
  Inferred inferred = inferFindings(writeTemp("late.json", text));
  ASSERT_EQ(inferred.exit, 0) << inferred.output;
  EXPECT_FALSE(YAJL_IS_TRUE(member(member(inferred.findings.get(), "sample"), "wholeFile")));
  ASSERT_EQ(inferred.columns.size(), 3u);
  EXPECT_EQ(inferred.columns[1].type, "DOUBLE");
  EXPECT_EQ(inferred.columns[2].tag, "extra");
}

TEST(InferSample, WholeFilePassKeepsQualifiedFieldsAcrossChunks) {
  // Quoted fields with line ends inside, over several of the reader's chunks.
  std::string text = "k,note\n";
  for (int i = 0; i < 120000; ++i) {
    text +=
        std::to_string(i) + ",\"line " + std::to_string(i) + "\nsecond, line \"\"quoted\"\"\"\n";
  }
  std::string path = writeTemp("multiline.csv", text);
  Inferred all = inferFindings(path, "--sample all");
  ASSERT_EQ(all.exit, 0) << all.output;
  EXPECT_EQ(member(member(all.findings.get(), "sample"), "records")->u.number.i, 120000);
  EXPECT_EQ(all.columns[0].type, "INT");
  EXPECT_EQ(all.columns[1].type, "VARCHAR");
  Inferred spans = inferFindings(path);
  ASSERT_EQ(spans.exit, 0) << spans.output;
  // A span could start inside a field: only the start of the file is sampled.
  EXPECT_EQ(spans.columns[0].type, "INT");
  ASSERT_FALSE(spans.warnings.empty());
  EXPECT_NE(spans.warnings[0].find("values run over lines"), std::string::npos);
}

}  // namespace
