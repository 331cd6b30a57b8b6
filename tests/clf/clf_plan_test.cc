// The CLF block parser's own path (one class pass per line, a column plan
// per block) against the general one (every line through convertRecord and
// convertField): the same rows and truncations for lines of every shape and
// tables of every kind. And the cutter against one search after another.
#include <algorithm>
#include <functional>
#include <random>
#include <string>

#include "src/ripper/clf_block.h"
#include "src/ripper/clf_marks.h"
#include "src/ripper/clf_scan.h"
#include "src/ripper/operations.h"
#include "tests/clf/clf_test_util.h"

namespace kova::testing {
namespace {

// The line converter under another address: the block parser then calls it
// once per line instead of cutting lines itself.
KovaStatus generalLine(KovaRipper* ripper, const uint8_t* bytes, int64_t length, uint8_t* row) {
  return splitClfLine(ripper, bytes, length, row);
}

// The block parser with its marks found on one path, whatever the CPU
// offers best.
template <ScanPath path>
KovaStatus ripOnPath(KovaRipper* ripper, const uint8_t* bytes, int64_t length, uint8_t** rows,
                     int32_t* rowCount) {
  return ripClfBlockWith(ripper, bytes, length, rows, rowCount, path);
}

// The paths this CPU can take, each with the block parser that takes it.
struct PathCase {
  ScanPath path;
  const char* name;
  decltype(&ripOnPath<ScanPath::kPortable>) rip;
};
std::vector<PathCase> availablePaths() {
  std::vector<PathCase> paths = {{ScanPath::kPortable, "portable", ripOnPath<ScanPath::kPortable>},
                                 {ScanPath::kSse2, "SSE2", ripOnPath<ScanPath::kSse2>},
                                 {ScanPath::kAvx2, "AVX2", ripOnPath<ScanPath::kAvx2>}};
  std::erase_if(paths, [](const PathCase& c) { return !scanPathAvailable(c.path); });
  return paths;
}

class ClfPlanTest : public ClfTest {
 protected:
  struct Result {
    std::vector<std::string> rows;
    uint32_t truncations = 0;
    bool operator==(const Result&) const = default;
  };

  // general: every line through convertRecord; else the block parser on
  // the given path (null: the one the CPU offers best). adjust: called on
  // the bound ripper before the rip.
  Result ripWith(KovaObject* table, std::string_view input, size_t block, bool general,
                 uint32_t flags = 0, decltype(&ripOnPath<ScanPath::kPortable>) path = nullptr,
                 const std::function<void(KovaRipper*)>& adjust = nullptr) {
    KovaRipper* ripper = bound(table, flags);
    Result result;
    if (!ripper) return result;
    if (adjust) adjust(ripper);
    if (general) ripper->ops.convertRecord = generalLine;
    // A table in another encoding keeps its transcoding front end.
    if (path && ripper->ops.ripBlock == newlineRipBlockUTF8) ripper->ops.ripBlock = path;
    std::vector<std::string_view> blocks;
    for (size_t at = 0; at < input.size(); at += block) blocks.push_back(input.substr(at, block));
    result.rows = ripBlocks(ripper, blocks);
    result.truncations = ripper->truncations;
    destroy(ripper);
    return result;
  }

  // The log table with short text columns (values get cut), the time read
  // by ANYDTDTM, the given encoding and status type.
  KovaObject* typedTable(int32_t encoding, uint32_t statusType = kTypeInt) {
    KovaObject* table = newTable(kRecfmClf, encoding);
    addColumn(table, u"host", kTypeVarchar, 12)->cei = kEncodingUtf8;
    addColumn(table, u"ident", kTypeVarchar, 3);
    addColumn(table, u"user", kTypeChar, 4);
    KovaColumn* time = addColumn(table, u"time", kTypeTimestamp);
    setText(table, &time->informat, &time->informatLength, u"ANYDTDTM.");
    addColumn(table, u"request", kTypeVarchar, 70)->cei = kEncodingUtf8;
    addColumn(table, u"status", statusType);
    addColumn(table, u"size", kTypeBigint);
    return table;
  }

  // Status and size as a small integer, a double and a decimal: numbers of
  // every kind the module reads itself, and the ones it leaves to the host.
  KovaObject* numberTable(uint32_t statusType, uint32_t sizeType) {
    KovaObject* table = newTable(kRecfmClf);
    addColumn(table, u"host", kTypeVarchar, 8);
    addColumn(table, u"ident", kTypeVarchar, 8);
    addColumn(table, u"user", kTypeVarchar, 8);
    addColumn(table, u"time", kTypeVarchar, 30);
    addColumn(table, u"request", kTypeVarchar, 8);
    addColumn(table, u"status", statusType, statusType == kTypeDecimal ? 4 : 0,
              statusType == kTypeDecimal ? 1 : 0);
    addColumn(table, u"size", sizeType, sizeType == kTypeDecimal ? 18 : 0,
              sizeType == kTypeDecimal ? 2 : 0);
    return table;
  }

  // Three columns: the other four fields lie beyond the table.
  KovaObject* narrowTable() {
    KovaObject* table = newTable(kRecfmClf);
    addColumn(table, u"host", kTypeVarchar, 8);
    addColumn(table, u"ident", kTypeInt);
    KovaColumn* user = addColumn(table, u"user", kTypeDate);
    setText(table, &user->informat, &user->informatLength, u"YYMMDD.");
    return table;
  }
};

// Lines of every shape: well-formed ones, parts missing, runs of blanks,
// fields across the 64-byte windows, text that is no ASCII or no UTF-8,
// times the date reader reads and ones it leaves to the informat.
std::string mixedLines(int count, uint32_t seed) {
  std::mt19937 random(seed);
  auto pick = [&](std::initializer_list<const char*> options) {
    return std::string(*(options.begin() + random() % options.size()));
  };
  auto word = [&](size_t most) {
    std::string w;
    const size_t n = random() % (most + 1);
    for (size_t i = 0; i < n; ++i) {
      const uint32_t r = random() % 40;
      w += r == 0 ? '\xC3' : r == 1 ? '\xA9' : r == 2 ? '\t' : char('a' + r % 26);
    }
    return w;
  };
  std::string out;
  for (int i = 0; i < count; ++i) {
    std::string line = word(20) + pick({" ", "  ", " "}) + pick({"-", "", "frank"}) + " " +
                       word(6) + pick({" ", "   ", " x "});
    line += pick({"[", "[", "[", "", "x["});
    line += pick({"10/Oct/2000:13:55:36 -0700", "01/Jan/1999:00:00:00 +0000", "2024-02-29 13:05:09",
                  "31/Feb/2020:10:00:00 +0100", "10/Oct/2000:13:55:36", "garbage", "",
                  "10/Oct/2000:13:55:36 -0700 extra"});
    line += pick({"] ", "]", "", "] x "});
    line += pick({"\"", "\"", "", " \""});
    line += word(90) + pick({" HTTP/1.1", "", " \xFF\xFE"});
    line += pick({"\" ", "\"", "\"    ", ""});
    line += pick({"200", "404", "", "-", "99999999999", "1e3", " 7"});
    line += pick({" ", "  ", ""});
    line += pick({"2326", "-", "", "12 34", "9223372036854775808"});
    line += pick({"\n", "\r\n", "\n\n", "\r\r\n"});
    out += line;
  }
  return out;
}

TEST_F(ClfPlanTest, PlannedLinesGiveTheRowsOfTheGeneralPath) {
  const std::string input = mixedLines(3000, 5);
  struct Case {
    const char* name;
    KovaObject* table;
    uint32_t flags;
  };
  const Case cases[] = {
      {"log table", logTable(), 0},
      {"short columns", typedTable(0), 0},
      {"short columns in Latin-1", typedTable(1), 0},
      {"short columns, status as a small integer", typedTable(0, kTypeSmallint), 0},
      {"three columns", narrowTable(), 0},
      {"small integer and double", numberTable(kTypeSmallint, kTypeDouble), 0},
      {"decimals", numberTable(kTypeDecimal, kTypeDecimal), 0},
      {"row image", typedTable(0), kRipperRowImage},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    for (size_t block : {size_t(1) << 20, size_t(977)}) {
      const Result general = ripWith(c.table, input, block, true, c.flags);
      ASSERT_GT(general.rows.size(), 2000u);
      EXPECT_EQ(ripWith(c.table, input, block, false, c.flags), general) << block;
      for (const PathCase& path : availablePaths()) {
        EXPECT_EQ(ripWith(c.table, input, block, false, c.flags, path.rip), general)
            << block << " " << path.name;
      }
    }
  }
}

TEST_F(ClfPlanTest, IndicatorsOfOtherWidthsGiveTheRowsOfTheGeneralPath) {
  // The host may set other indicator widths between describe and the rip:
  // a log-shaped plan then writes each indicator by its width code. The
  // table's user and request indicators (two bytes each, aligned) leave a
  // byte free after the time's, and the row one after the size's, so that
  // a time or size indicator of two bytes runs into no other.
  KovaObject* table = newTable(kRecfmClf);
  addColumn(table, u"host", kTypeVarchar, 8);
  addColumn(table, u"ident", kTypeVarchar, 8);
  addColumn(table, u"user", kTypeVarchar, 40)->cei = kEncodingUtf8;
  KovaColumn* time = addColumn(table, u"time", kTypeTimestamp);
  setText(table, &time->informat, &time->informatLength, u"ANYDTDTM.");
  addColumn(table, u"request", kTypeVarchar, 2000)->cei = kEncodingUtf8;
  addColumn(table, u"status", kTypeInt);
  addColumn(table, u"size", kTypeBigint);
  const std::string input = mixedLines(600, 13);
  for (uint32_t column : {3u, 6u}) {
    SCOPED_TRACE(column);
    auto widen = [column](KovaRipper* ripper) {
      KovaLayoutEntry& e = entry(ripper, column);
      const uint32_t width = kIndicatorWidth2;
      for (uint32_t k = 0; k < ripper->layoutCount; ++k) {
        const KovaLayoutEntry& other = entry(ripper, k);
        ASSERT_TRUE(k == column ||
                    other.indicatorOffset + other.indicatorWidth <= e.indicatorOffset ||
                    other.indicatorOffset >= e.indicatorOffset + width)
            << k << " " << other.indicatorOffset << " " << other.indicatorWidth;
      }
      ASSERT_LE(e.indicatorOffset + width, ripper->rowLength);
      e.indicatorWidth = width;
    };
    for (size_t block : {size_t(1) << 20, size_t(203)}) {
      const Result general = ripWith(table, input, block, true, 0, nullptr, widen);
      ASSERT_GT(general.rows.size(), 400u);
      for (const PathCase& path : availablePaths()) {
        EXPECT_EQ(ripWith(table, input, block, false, 0, path.rip, widen), general)
            << block << " " << path.name;
      }
    }
  }
}

TEST_F(ClfPlanTest, BlocksEndingAnywhereGiveTheRowsOfTheGeneralPath) {
  // Short blocks end inside every field of some line, and inside or right
  // after a 64-byte window, on every path.
  const std::string input = mixedLines(300, 11);
  for (KovaObject* table : {logTable(), typedTable(0), numberTable(kTypeInt, kTypeBigint)}) {
    for (size_t block : {61, 64, 100, 127, 128, 129, 200, 331, 509}) {
      const Result general = ripWith(table, input, block, true);
      ASSERT_GT(general.rows.size(), 200u);
      for (const PathCase& path : availablePaths()) {
        EXPECT_EQ(ripWith(table, input, block, false, 0, path.rip), general)
            << block << " " << path.name;
      }
    }
  }
}

// The fields of a line found the plain way, one search after another:
// "k=text" for each field found.
std::vector<std::string> referenceCut(std::string_view line) {
  std::vector<std::string> fields;
  size_t at = 0;
  auto upTo = [&](int k, char c) {
    const size_t stop = std::min(line.find(c, at), line.size());
    fields.push_back(std::to_string(k) + "=" + std::string(line.substr(at, stop - at)));
    at = stop == line.size() ? stop : stop + 1;
    return stop != line.size();
  };
  auto past = [&](char c) {
    const size_t stop = line.find(c, at);
    at = stop == std::string_view::npos ? line.size() : stop + 1;
    return stop != std::string_view::npos;
  };
  if (!upTo(0, ' ') || !upTo(1, ' ') || !upTo(2, ' ') || !past('[') || !upTo(3, ']') ||
      !past('"') || !upTo(4, '"')) {
    return fields;
  }
  while (at < line.size() && line[at] == ' ') ++at;
  if (at == line.size() || !upTo(5, ' ')) return fields;
  fields.push_back("6=" + std::string(line.substr(at)));
  return fields;
}

// Lines of every shape, and long ones: fields and the parts between them
// across several 64-byte windows.
std::string linesToCut() {
  std::string lines = mixedLines(2000, 9);
  lines += std::string(70, 'h') + " " + std::string(130, ' ') + "[" + std::string(64, 't') + "] " +
           std::string(200, 'x') + "\"" + std::string(63, 'r') + "\"" + std::string(65, ' ') +
           "1 2\n";
  lines += std::string(63, 'a') + " b c " + std::string(128, '-') + "[]\"\"" +
           std::string(64, ' ') + "\n";
  // Fields and gaps longer than the cursor's chunks of 2 KiB.
  lines += std::string(5000, 'h') + " - u [" + std::string(4500, 't') + "] \"" +
           std::string(9000, 'r') + "\"" + std::string(2100, ' ') + "200 " +
           std::string(3000, '9') + "\n";
  lines += "a b c [t] \"[r]\" 1 2\na b c [t]x\"r\"   \r\na b c [\n\r\n \n";
  return lines;
}

TEST_F(ClfPlanTest, LinesAreCutWhereOneSearchAfterAnotherCutsThem) {
  const std::string lines = linesToCut();
  size_t start = 0;
  int checked = 0;
  while (start < lines.size()) {
    const size_t lf = lines.find('\n', start);
    const std::string_view line(lines.data() + start, lf - start);
    std::vector<std::string> cut;
    cutClfLine(reinterpret_cast<const uint8_t*>(line.data()), line.size(), line.size(),
               [&](uint32_t k, const uint8_t* first, uint64_t n) {
                 cut.push_back(std::to_string(k) + "=" +
                               std::string(reinterpret_cast<const char*>(first), n));
               });
    ASSERT_EQ(cut, referenceCut(line)) << line;
    ++checked;
    start = lf + 1;
  }
  EXPECT_GT(checked, 2000);
}

// The marks of a whole block walked line after line, on every path and at
// every offset of the lines from the 64-byte windows (so that each mark
// falls on each place of a window, the first and last included): the
// fields of each line are those one search after another finds, and a
// line the block does not end is reported so.
TEST_F(ClfPlanTest, MarkedLinesAreCutWhereOneSearchAfterAnotherCutsThemOnEveryPath) {
  const std::string lines = linesToCut();
  for (const PathCase& path : availablePaths()) {
    SCOPED_TRACE(path.name);
    for (size_t shift = 0; shift < 64; ++shift) {
      // Blanks before the first line: its host is empty, the rest shifted.
      const std::string text = std::string(shift, ' ') + lines;
      // The last line without its LF: the block ends inside it.
      const std::string block = text.substr(0, text.size() - 1);
      const auto* bytes = reinterpret_cast<const uint8_t*>(block.data());
      ClfMarkCursor marks(bytes, block.size(), path.path);
      size_t start = 0;
      int checked = 0;
      while (start < block.size()) {
        std::vector<std::string> cut;
        const uint64_t lf = cutMarkedLine(
            marks, bytes, start, [&]<uint32_t k>(ClfField<k>, uint64_t first, uint64_t n) {
              cut.push_back(std::to_string(k) + "=" + block.substr(first, n));
            });
        const size_t expectedLf = block.find('\n', start);
        if (expectedLf == std::string::npos) {
          ASSERT_EQ(lf, block.size()) << shift;
          break;
        }
        ASSERT_EQ(lf, expectedLf) << shift << " " << start;
        std::string_view line(block.data() + start, lf - start);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        ASSERT_EQ(cut, referenceCut(line)) << shift << " " << line;
        ++checked;
        start = lf + 1;
      }
      EXPECT_GT(checked, 2000) << shift;
    }
  }
}

}  // namespace
}  // namespace kova::testing
