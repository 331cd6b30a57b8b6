// Any partition of a file into splits gives exactly the rows of the whole
// file: generated files of every splittable record format, cut at random
// (splits down to one byte) and where cuts are hardest (inside a CR LF pair,
// a qualified field, a multi-byte character, a header line).
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "runtime/split/range_rip.h"
#include "runtime/split/split_rules.h"
#include "tests/support/ripper_fixture.h"
#include "tests/support/rows.h"

namespace kova::testing {
namespace {

using runtime::Split;

class SplitPartitionTest : public RipperTest {
 protected:
  KovaObject* textTable(uint32_t recfm, int32_t encoding, int columns, uint8_t qualifier = 0,
                        int32_t headerLines = 0) {
    KovaObject* table = newTable(recfm, encoding);
    table->fieldsep = ',';
    table->textqual = qualifier;
    table->headerLines = headerLines;
    for (int i = 0; i < columns; ++i) {
      addColumn(table, u"c" + u16(std::to_string(i)), kTypeVarchar, 40, 40);
    }
    return table;
  }

  // UTF-8 text in the table's encoding, through the host's transcoder.
  std::string encoded(const std::string& utf8, int32_t encoding) {
    if (encoding == kEncodingUtf8 || encoding == 0) return utf8;
    KovaNls* nls = host().kernel()->nls;
    KovaTranscoder* t = nls->ops->createTranscoder(nls, kEncodingUtf8, encoding, 0, nullptr);
    EXPECT_NE(t, nullptr);
    std::string out(utf8.size() * 4 + 8, '\0');
    uint64_t written = 0;
    EXPECT_EQ(t->ops->transcode(t, utf8.data(), utf8.size(), out.data(), out.size(), &written, 0),
              kStatusOk);
    t->ops->destroyTranscoder(t);
    out.resize(written);
    return out;
  }

  // The rows of the file ripped as one input from its first byte, as the
  // tool rips a whole file (header lines skipped by the ripper).
  std::vector<std::string> wholeRows(KovaObject* table, const std::string& data) {
    KovaRipper* ripper = bound(table, kRipperRowImage);
    ripper->headerLinesLeft = table->headerLines;
    std::vector<std::string> rows = ripBlocks(ripper, {data});
    destroy(ripper);
    return rows;
  }

  // The rows of every split, concatenated in split order. With verify the
  // first record of each split is guessed and checked against where the
  // previous split really ended, as `kova rip --jobs` does; *reripped counts
  // the splits that had to be ripped again.
  std::vector<std::string> splitRows(KovaObject* table, const std::string& data,
                                     const std::vector<Split>& splits, bool verify,
                                     int* reripped = nullptr) {
    std::unique_ptr<runtime::ByteSource> source = runtime::memorySource(data);
    runtime::TableShape shape;
    std::string error;
    EXPECT_TRUE(runtime::shapeOfTable(table, host().kernel()->nls, &shape, &error)) << error;
    runtime::SplitRules rules(shape, *source);
    std::vector<uint8_t> buffer(7);  // small blocks: records cross blocks too
    std::vector<std::string> rows;
    uint64_t previousEnd = 0;
    auto rip = [&](uint64_t begin, uint64_t end, bool untilBoundary, int32_t headerLines,
                   std::vector<std::string>* out) {
      KovaRipper* ripper = bound(table, kRipperRowImage);
      ripper->headerLinesLeft = headerLines;
      runtime::RangeResult result = runtime::ripRange(
          ripper, rules, *source, buffer, begin, end, untilBoundary,
          [&](const uint8_t* block, int32_t count) {
            for (int32_t r = 0; r < count; ++r) {
              out->push_back(renderRow(ripper, block + uint64_t(r) * ripper->rowLength));
            }
          });
      EXPECT_EQ(result.error, "");
      destroy(ripper);
      return result.end;
    };
    for (size_t i = 0; i < splits.size(); ++i) {
      const Split& split = splits[i];
      std::vector<std::string> got;
      if (verify) {
        uint64_t begin = 0;
        if (split.offset > 0) {
          EXPECT_TRUE(rules.speculativeStart(split.offset, &begin));
        }
        uint64_t end = rip(begin, split.offset + split.length, true,
                           split.offset == 0 ? table->headerLines : 0, &got);
        if (split.offset > 0 && begin != previousEnd) {
          if (reripped) ++*reripped;
          got.clear();
          end = rip(previousEnd, split.offset + split.length, true, 0, &got);
        }
        previousEnd = end;
      } else {
        uint64_t begin = 0, end = 0;
        EXPECT_TRUE(rules.range(split, &begin, &end));
        rip(begin, end, false, 0, &got);
      }
      rows.insert(rows.end(), got.begin(), got.end());
    }
    return rows;
  }

  // Splits that begin at each cut (0 is added).
  static std::vector<Split> splitsAt(std::vector<uint64_t> cuts, uint64_t size) {
    cuts.push_back(0);
    std::sort(cuts.begin(), cuts.end());
    cuts.erase(std::unique(cuts.begin(), cuts.end()), cuts.end());
    std::vector<Split> splits;
    for (size_t i = 0; i < cuts.size() && cuts[i] < size; ++i) {
      const uint64_t next = i + 1 < cuts.size() ? std::min(cuts[i + 1], size) : size;
      splits.push_back({cuts[i], next - cuts[i]});
    }
    return splits;
  }

  // The whole-file rows against every single cut, every split of one byte,
  // the given cuts, and random partitions.
  void expectPartitionsAgree(KovaObject* table, const std::string& data, bool verify,
                             const std::vector<uint64_t>& hardCuts = {}, int* reripped = nullptr) {
    const std::vector<std::string> whole = wholeRows(table, data);
    ASSERT_FALSE(whole.empty());
    for (uint64_t cut = 1; cut < data.size(); ++cut) {
      ASSERT_EQ(splitRows(table, data, splitsAt({cut}, data.size()), verify, reripped), whole)
          << "one cut at " << cut;
    }
    std::vector<uint64_t> every;
    for (uint64_t cut = 1; cut < data.size(); ++cut) every.push_back(cut);
    ASSERT_EQ(splitRows(table, data, splitsAt(every, data.size()), verify, reripped), whole)
        << "splits of one byte";
    if (!hardCuts.empty()) {
      ASSERT_EQ(splitRows(table, data, splitsAt(hardCuts, data.size()), verify, reripped), whole)
          << "the hard cuts";
    }
    std::mt19937 random(13);
    for (int round = 0; round < 30; ++round) {
      std::vector<uint64_t> cuts;
      const int count = int(random() % 12) + 1;
      for (int i = 0; i < count; ++i) cuts.push_back(random() % data.size());
      ASSERT_EQ(splitRows(table, data, splitsAt(cuts, data.size()), verify, reripped), whole)
          << "random partition " << round;
    }
  }
};

// Every place a CR, an LF or a CR LF pair can end a record, empty lines,
// a last record without its line end, and two header lines.
const std::string kLines =
    "h1,h2\r\nsecond,header\na,b\r\nc,d\re,f\n\n\r\ng,\xC3\xA9t\xC3\xA9\r\n\r\rh,i\r\nlast,one";

TEST_F(SplitPartitionTest, LineEndsOfDelimitedTextAndHeaderLinesInAnyPartition) {
  KovaObject* table = textTable(kRecfmDelimited, kEncodingUtf8, 2, 0, 2);
  std::vector<uint64_t> hard;
  for (uint64_t i = 0; i + 1 < kLines.size(); ++i) {
    if (kLines[i] == '\r' && kLines[i + 1] == '\n') hard.push_back(i + 1);  // inside CR LF
  }
  hard.push_back(3);   // inside the first header line
  hard.push_back(10);  // inside the second
  expectPartitionsAgree(table, kLines, false, hard);
}

TEST_F(SplitPartitionTest, TranscodedTablesSplitOnWholeCharacters) {
  // Multi-byte characters on both sides of every line end; the cuts fall
  // inside them, inside UTF-16 and UTF-32 units and inside CR LF pairs; the
  // EBCDIC table's line feed is not the byte 0x0A.
  const std::string unicode =
      "\xE6\x97\xA5\xE6\x9C\xAC,\xC3\xA9\r\nx,\xE8\xAA\x9E\n"
      "\xC3\xBC\xC3\xB1,y\r\xE6\x97\xA5,z\r\nend,\xE8\xAA\x9E";
  const std::string japanese =
      "\xE6\x97\xA5\xE6\x9C\xAC,\xE8\xAA\x9E\r\nx,\xE6\x9C\xAC\n"
      "\xE8\xAA\x9E\xE8\xAA\x9E,y\r\xE6\x97\xA5,z\r\nend,\xE8\xAA\x9E";
  const std::string latin = "\xC3\xA9t\xC3\xA9,a\r\nb,\xC3\xBC\nc,d\r\xC3\xA0,e\r\nf,g";
  for (int32_t encoding : {21, 23, 40, 41, 43, 1, 50}) {
    SCOPED_TRACE("encoding " + std::to_string(encoding));
    const std::string& text = encoding == 21 || encoding == 23  ? unicode
                              : encoding == 1 || encoding == 50 ? latin
                                                                : japanese;
    KovaObject* table = textTable(kRecfmDelimited, encoding, 2);
    expectPartitionsAgree(table, encoded(text, encoding), false);
  }
}

TEST_F(SplitPartitionTest, ClfLinesEndOnlyAtLineFeeds) {
  KovaObject* table = newTable(kRecfmClf, kEncodingUtf8);
  for (const char16_t* name :
       {u"host", u"ident", u"user", u"time", u"request", u"status", u"size"}) {
    addColumn(table, name, kTypeVarchar, 40, 40);
  }
  const std::string data =
      "a - - [01/Jan/2024:00:00:01 +0000] \"GET /x\r HTTP/1.0\" 200 5\r\n"
      "b - bob [01/Jan/2024:00:00:02 +0000] \"GET /y HTTP/1.0\" 404 0\n"
      "\n"
      "c - - [01/Jan/2024:00:00:03 +0000] \"POST / HTTP/1.1\" 500 12";
  expectPartitionsAgree(table, data, false, {data.find('\n') + 1, data.find('\r') + 1});
}

TEST_F(SplitPartitionTest, FixedRecordsAlignToTheirLength) {
  KovaObject* table = newTable(kRecfmFixed, kEncodingUtf8);
  table->reclen = 7;
  KovaColumn* a = addColumn(table, u"a", kTypeChar, 3, 3);
  KovaColumn* b = addColumn(table, u"b", kTypeChar, 4, 4);
  a->offset = 0;
  b->offset = 3;
  std::string data;
  for (int i = 0; i < 9; ++i) data += "r" + std::to_string(i) + "-" + "data";
  data += "tail";  // a partial last record
  expectPartitionsAgree(table, data, false);
}

// Qualified fields holding separators, doubled qualifiers, CR, LF and CR LF,
// text after a closing qualifier, and a quote inside an unqualified field.
const std::string kQualified =
    "name,note\r\n"
    "\"a,b\",\"line\nbreak\"\r\n"
    "plain,\"say \"\"hi\"\"\r\nthere\"\n"
    "\"\"\"\",x\"y\n"
    "\"cr\ronly\",\"done\"tail\r"
    "\"\n\n\n\",\",\n,\n\"\r\n"
    "last,\"open";

TEST_F(SplitPartitionTest, QualifiedFieldsAreVerifiedInAnyPartition) {
  KovaObject* table = textTable(kRecfmDelimited, kEncodingUtf8, 2, '"', 1);
  int reripped = 0;
  std::vector<uint64_t> insideFields;
  for (uint64_t i = 0; i < kQualified.size(); ++i) {
    if (kQualified[i] == '\n' || kQualified[i] == ',') insideFields.push_back(i);
  }
  expectPartitionsAgree(table, kQualified, true, insideFields, &reripped);
  EXPECT_GT(reripped, 0) << "no split began inside a qualified field";
}

TEST_F(SplitPartitionTest, SpeculationFooledByQualifiedLineEndsIsCorrected) {
  // Fields that look like whole records when read from their middle.
  std::string data = "id,body\n";
  for (int i = 0; i < 40; ++i) {
    data += std::to_string(i) + ",\"";
    for (int k = 0; k < 6; ++k) data += "fake,\"\"row\"\"\n" + std::to_string(k) + ",x\r\n";
    data += "\"\n";
  }
  KovaObject* table = textTable(kRecfmDelimited, kEncodingUtf8, 2, '"', 1);
  const std::vector<std::string> whole = wholeRows(table, data);
  ASSERT_EQ(whole.size(), 40u);
  std::mt19937 random(5);
  int reripped = 0;
  for (int round = 0; round < 20; ++round) {
    std::vector<uint64_t> cuts;
    for (int i = 0; i < 15; ++i) cuts.push_back(random() % data.size());
    ASSERT_EQ(splitRows(table, data, splitsAt(cuts, data.size()), true, &reripped), whole)
        << "round " << round;
  }
  EXPECT_GT(reripped, 10);
}

TEST(SplitRulesTest, GuessFromInsideAQualifiedFieldStaysNearItsOffset) {
  // Begun inside "a", every later line end has an odd count of qualifiers
  // before it; the guess must not run to the end of the file.
  std::string data = "x\n";
  for (int i = 0; i < 30000; ++i) data += "\"a\",b\n";
  runtime::TableShape shape;
  shape.mode = runtime::SplitMode::kQualified;
  shape.qualifier[0] = '"';
  auto source = runtime::memorySource(data);
  runtime::SplitRules rules(shape, *source);
  uint64_t start = 0;
  ASSERT_TRUE(rules.speculativeStart(4, &start));
  EXPECT_EQ(start, 8u);
  ASSERT_TRUE(rules.speculativeStart(2, &start));
  EXPECT_EQ(start, 2u);
}

TEST_F(SplitPartitionTest, QualifiedTableWithoutLineEndsInFieldsSplitsByTheLineRule) {
  const std::string data = "\"a,b\",\"x\"\"y\"\r\n\"c\",d\n\"\",\"\"\"\"\r\ne,\"f,g\"";
  KovaObject* table = textTable(kRecfmDelimited, kEncodingUtf8, 2, '"');
  expectPartitionsAgree(table, data, false);
}

TEST(SplitPlanTest, SplitsCoverTheFileOnceAndWholeFileFormatsAreOneSplit) {
  runtime::TableShape lines;
  lines.mode = runtime::SplitMode::kLines;
  std::vector<Split> splits = runtime::planSplits(lines, 10, 4);
  ASSERT_EQ(splits.size(), 3u);
  EXPECT_EQ(splits[2].offset, 8u);
  EXPECT_EQ(splits[2].length, 2u);
  EXPECT_TRUE(runtime::planSplits(lines, 0, 4).empty());
  runtime::TableShape whole;
  splits = runtime::planSplits(whole, 10, 4);
  ASSERT_EQ(splits.size(), 1u);
  EXPECT_EQ(splits[0].length, 10u);
  // Only the split that begins the file has the records of such a file.
  auto source = runtime::memorySource("0123456789");
  runtime::SplitRules rules(whole, *source);
  uint64_t begin = 0, end = 0;
  ASSERT_TRUE(rules.range({0, 3}, &begin, &end));
  EXPECT_EQ(begin, 0u);
  EXPECT_EQ(end, 10u);
  ASSERT_TRUE(rules.range({3, 3}, &begin, &end));
  EXPECT_EQ(begin, end);
}

}  // namespace
}  // namespace kova::testing
