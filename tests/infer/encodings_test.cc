// Encodings the sniffer finds by itself beyond the corpus's (UTF-32 by its
// zero bytes), and encodings given with --encoding, through to the rip.
#include <gtest/gtest.h>

#include "tests/infer/infer_testing.h"
#include "tests/support/tool_run.h"

namespace {

using namespace kova::testing;

std::string encodingOf(const Inferred& inferred) {
  return stringOf(member(member(inferred.findings.get(), "encoding"), "name"));
}

TEST(InferEncodings, Utf32WithoutAMarkIsFoundByItsZeroBytes) {
  std::string text = "name,n\nAda,1\nChen Wei,2\n", wide;
  for (char c : text) wide += std::string(1, c) + std::string(3, '\0');
  std::string path = writeTemp("utf32.csv", wide);
  Inferred inferred = inferFindings(path);
  ASSERT_EQ(inferred.exit, 0) << inferred.output;
  EXPECT_EQ(encodingOf(inferred), "UTF-32LE");
  ASSERT_EQ(inferred.columns.size(), 2u);
  Ripped ripped = inferAndRip(path);
  ASSERT_EQ(ripped.exit, 0) << ripped.summary;
  ASSERT_EQ(ripped.rows.size(), 2u);
  EXPECT_EQ(stringOf(ripped.rows[1]->u.object.values[0]), "Chen Wei");
}

TEST(InferEncodings, AGivenEncodingIsUsedForTheSampleAndTheDocument) {
  // 日本 and 東京 in Shift_JIS: two characters of two bytes each.
  std::string path = writeTemp("sjis.csv", "city,n\n\x93\xfa\x96\x7b,1\n\x93\x8c\x8b\x9e,2\n");
  Inferred detected = inferFindings(path);
  EXPECT_NE(encodingOf(detected), "Shift_JIS");  // not valid UTF-8: taken for an 8-bit encoding
  Inferred inferred = inferFindings(path, "--encoding shift_jis");
  ASSERT_EQ(inferred.exit, 0) << inferred.output;
  EXPECT_EQ(encodingOf(inferred), "Shift_JIS");
  ASSERT_EQ(inferred.columns.size(), 2u);
  EXPECT_EQ(inferred.columns[0].type, "CHAR");
  EXPECT_EQ(inferred.columns[0].charlength, 2);  // characters, not bytes
  Ripped ripped = inferAndRip(path, "--encoding Shift_JIS");
  ASSERT_EQ(ripped.exit, 0) << ripped.summary;
  ASSERT_EQ(ripped.rows.size(), 2u);
  EXPECT_EQ(stringOf(ripped.rows[0]->u.object.values[0]), "日本");
  EXPECT_NE(ripped.summary.find(" 0 truncations"), std::string::npos) << ripped.summary;
}

}  // namespace

namespace {

TEST(RipByteOrderMark, TheFirstValueOfAFileWithAMarkIsReadWholeInAnyBlockSize) {
  using namespace kova::testing;
  std::string utf16 = "\xFF\xFE";
  for (char c : std::string("7,x\n8,y\n")) utf16 += std::string(1, c) + '\0';
  for (const std::string& bytes : {std::string("\xEF\xBB\xBF"
                                               "7,x\n8,y\n"),
                                   utf16}) {
    std::string path = writeTemp("marked.csv", bytes);
    ASSERT_EQ(runKova("meta infer " + path + " > " + path + ".xml").exit, 0);
    for (const char* size : {"1", "2", "3", "1M"}) {
      ToolRun run = runKova("rip " + path + ".xml " + path + " --format csv --block-size " + size);
      EXPECT_EQ(run.out, "c1,c2\r\n7,x\r\n8,y\r\n") << size;
    }
  }
}

}  // namespace
