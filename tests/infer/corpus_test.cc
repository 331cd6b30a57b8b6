// The generated corpus through `kova meta infer`: the share of columns
// inferred right (every column the sample can settle must be), the dialect
// and encoding of each file, and round trips through `kova rip` that give
// the generator's values with no truncation.
#include <gtest/gtest.h>

#include <cstdio>

#include "tests/infer/corpus.h"
#include "tests/infer/infer_testing.h"

namespace {

using namespace kova::testing;
using namespace kova::testing::corpus;

std::string describe(const Dialect& d) {
  std::string sep = d.separator == '\t'     ? "tab"
                    : d.separator == '\x01' ? "ctrl-A"
                                            : std::string(1, d.separator);
  return "separator " + sep + (d.crlf ? ", CR LF" : ", LF") +
         (d.header ? ", header" : ", no header") + (d.quoteEverything ? ", all quoted" : "") +
         ", quote " + d.quote + ", " + d.encoding + ", null text '" + d.nullText + "'";
}

// The encoding a file of these bytes should be found in.
std::string expectedEncoding(const Dialect& d, const std::string& bytes) {
  if (d.encoding.starts_with("UTF-16")) return d.encoding.substr(0, 8);
  if (d.encoding.starts_with("UTF-8")) return "UTF-8";
  bool high = false, controls = false;
  for (unsigned char b : bytes) high |= b >= 0x80, controls |= b >= 0x80 && b <= 0x9F;
  return !high ? "UTF-8" : controls ? "windows-1252" : "ISO-8859-1";
}

struct Case {
  Dialect dialect;
  size_t variant;
  uint32_t seed;
};

std::vector<Case> corpusCases() {
  std::vector<Case> cases;
  std::vector<Dialect> dialects = corpusDialects();
  for (size_t k = 0; k < dialects.size(); ++k) {
    for (size_t v : {k % 3, (k + 1) % 3}) cases.push_back({dialects[k], v, uint32_t(k * 31 + v)});
  }
  return cases;
}

TEST(InferCorpus, InfersEveryColumnTheSampleSettlesAndReportsTheShare) {
  int total = 0, right = 0, settled = 0, settledRight = 0;
  for (const Case& c : corpusCases()) {
    Table table = generate(corpusColumns(c.variant), c.dialect, 150, c.seed);
    std::string path = writeTemp("corpus_" + std::to_string(c.seed) + ".txt", table.bytes);
    Inferred inferred = inferFindings(path);
    SCOPED_TRACE(describe(c.dialect) + "\n" + inferred.output);
    ASSERT_EQ(inferred.exit, 0);
    ASSERT_EQ(inferred.columns.size(), table.columns.size());
    yajl_val dialect = member(inferred.findings.get(), "dialect");
    EXPECT_EQ(stringOf(member(dialect, "fieldsep")), std::string(1, c.dialect.separator));
    // A qualifier no field uses cannot be seen: the double quote is set then.
    EXPECT_EQ(stringOf(member(dialect, "textqual")),
              std::string(1, table.quoted ? c.dialect.quote : '"'));
    EXPECT_EQ(stringOf(member(dialect, "lineEnd")), c.dialect.crlf ? "CR LF" : "LF");
    EXPECT_EQ(member(dialect, "headerLines")->u.number.i, c.dialect.header ? 1 : 0);
    EXPECT_EQ(stringOf(member(member(inferred.findings.get(), "encoding"), "name")),
              expectedEncoding(c.dialect, table.bytes));
    EXPECT_EQ(stringOf(member(inferred.findings.get(), "nullText")), c.dialect.nullText);
    for (size_t i = 0; i < table.columns.size(); ++i) {
      const Column& column = table.columns[i];
      const InferredColumn& got = inferred.columns[i];
      Intended want = intendedOf(column.kind);
      bool ok = got.type == want.type && (want.informat.empty() || got.informat == want.informat);
      ++total;
      right += ok;
      if (c.dialect.header) {
        std::string name = column.name;
        for (char& ch : name) ch = ch == ' ' ? '_' : ch;
        EXPECT_EQ(got.name, name);
      } else {
        EXPECT_EQ(got.name, "c" + std::to_string(i + 1));
      }
      if (want.decidable) {
        ++settled;
        settledRight += ok;
        EXPECT_TRUE(ok) << column.name << ": " << got.type << " " << got.informat << ", wanted "
                        << want.type << " " << want.informat;
      } else {
        // The sample cannot settle it, and says so.
        EXPECT_TRUE(warned(inferred, "column " + got.name + ":")) << got.name;
      }
      if (want.type == "DECIMAL" && ok) {
        EXPECT_EQ(got.bytelength, 2);
      }
      if (column.kind == Kind::kCode) {
        EXPECT_EQ(got.charlength, 2);
      }
    }
  }
  std::printf("[ corpus   ] %d of %d columns inferred right (%.1f%%); %d of %d settled columns\n",
              right, total, 100.0 * right / total, settledRight, settled);
  ::testing::Test::RecordProperty("columnsRight", right);
  ::testing::Test::RecordProperty("columns", total);
  EXPECT_EQ(settledRight, settled);
}

void expectRows(const Ripped& ripped, const Table& table) {
  ASSERT_EQ(ripped.exit, 0) << ripped.summary;
  EXPECT_NE(ripped.summary.find(" 0 truncations"), std::string::npos) << ripped.summary;
  ASSERT_EQ(ripped.rows.size(), table.expected.size());
  for (size_t r = 0; r < table.expected.size(); ++r) {
    yajl_val row = ripped.rows[r].get();
    ASSERT_TRUE(YAJL_IS_OBJECT(row)) << "row " << r;
    ASSERT_EQ(row->u.object.len, table.expected[r].size()) << "row " << r;
    for (size_t c = 0; c < table.expected[r].size(); ++c) {
      Json want = parseJson(table.expected[r][c]);
      EXPECT_TRUE(sameValue(row->u.object.values[c], want.get()))
          << "row " << r << " column " << table.columns[c].name << ": "
          << show(row->u.object.values[c]) << ", wanted " << table.expected[r][c];
    }
  }
}

TEST(InferCorpus, RipsEveryGeneratedFileBackToItsValues) {
  for (const Case& c : corpusCases()) {
    // The document has no element for a null text such as NA: character
    // columns read it as text (the findings test checks it is found).
    if (c.dialect.nullText == "NA") continue;
    Table table = generate(corpusColumns(c.variant), c.dialect, 150, c.seed + 1000);
    std::string path = writeTemp("roundtrip_" + std::to_string(c.seed) + ".txt", table.bytes);
    SCOPED_TRACE(describe(c.dialect));
    expectRows(inferAndRip(path), table);
    if (HasFailure()) return;
  }
}

TEST(InferCorpus, RipsGeneratedAccessLogsBackToTheirValues) {
  for (uint32_t seed : {1u, 2u, 3u}) {
    Table table = generateClf(300, seed);
    std::string path = writeTemp("access_" + std::to_string(seed) + ".log", table.bytes);
    Inferred inferred = inferFindings(path);
    ASSERT_EQ(inferred.exit, 0) << inferred.output;
    EXPECT_EQ(stringOf(member(member(inferred.findings.get(), "format"), "name")), "clf");
    ASSERT_EQ(inferred.columns.size(), 7u);
    EXPECT_EQ(inferred.columns[3].type, "TIMESTAMP");
    EXPECT_EQ(inferred.columns[5].type, "INT");
    EXPECT_EQ(inferred.columns[6].type, "INT");
    expectRows(inferAndRip(path), table);
  }
}

}  // namespace
