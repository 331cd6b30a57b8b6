// CLF lines that cross blocks are held only as far as their fields need:
// at every block size the rows and the truncation count are those of the
// input ripped in one block, and a line of megabytes holds kilobytes.
#include <string>

#include "tests/clf/clf_test_util.h"

namespace kova::testing {
namespace {

class HeldLineTest : public ClfTest {
 protected:
  using Result = BlockRip;

  // Text columns of 6 characters (UTF-8 rows), the time as text too, the
  // status as INT and the size as VARCHAR; only five columns when narrow.
  KovaObject* table(bool narrow) {
    KovaObject* t = newTable(kRecfmClf);
    for (std::u16string_view name : {u"host", u"ident", u"user", u"time", u"request"}) {
      if (narrow && name == u"request") break;
      addColumn(t, name, kTypeVarchar, 6)->cei = kEncodingUtf8;
    }
    addColumn(t, u"status", kTypeInt);
    if (!narrow) addColumn(t, u"size", kTypeVarchar, 6)->cei = kEncodingUtf8;
    return t;
  }
};

// n characters, every third one of two bytes, so that cuts fall inside them.
std::string longText(size_t n, char letter) {
  std::string text;
  for (size_t i = 0; i < n; ++i)
    text += i % 3 == 1 ? std::string("\xC3\xA9") : std::string(1, letter);
  return text;
}

// Lines with a long stretch in each of their parts in turn: every field,
// the bytes skipped before "[" and '"', the blanks before the status; with
// CR LF ends, a CR inside a long field, and a last line without line feed.
std::string input(size_t n) {
  const std::string parts[] = {"h", "i", "u", "[t]", "\"r\"", "200", "9"};
  std::string out;
  for (int longPart = 0; longPart < 10; ++longPart) {
    std::string line;
    line += (longPart == 0 ? longText(n, 'h') : "host") + " ";
    line += (longPart == 1 ? longText(n, 'i') : "-") + " ";
    line += (longPart == 2 ? longText(n, 'u') + "\r" + longText(n, 'v') : "frank") + " ";
    if (longPart == 3) line += longText(n, 'x');  // skipped up to "["
    line += "[" + (longPart == 4 ? longText(n, 't') : "10/Oct/2000") + "] ";
    if (longPart == 5) line += longText(n, 'y');  // skipped up to '"'
    line += "\"" + (longPart == 6 ? longText(n, 'r') : "GET /") + "\"";
    line += longPart == 7 ? std::string(3 * n, ' ') : " ";
    line += (longPart == 8 ? std::string(n, '7') : "200") + " ";
    line += longPart == 9 ? longText(n, 's') : "12";
    out += line + (longPart % 2 ? "\r\n" : "\n");
  }
  // A request without its closing quote, then a last line cut short.
  out += "a b c [t] \"" + longText(n, 'o') + "\r\n";
  out += "last - - [t] \"" + longText(n, 'q');
  return out;
}

TEST_F(HeldLineTest, RowsAndTruncationsAtEveryBlockSizeAreThoseOfTheLineHeldWhole) {
  for (bool narrow : {false, true}) {
    SCOPED_TRACE(narrow ? "five columns" : "seven columns");
    KovaObject* t = table(narrow);
    const std::string text = input(400);
    const Result whole = ripInBlocks(t, text, SIZE_MAX);
    ASSERT_EQ(whole.rows.size(), 12u);
    EXPECT_GT(whole.truncations, 10u);
    for (size_t size : {1, 2, 3, 5, 7, 16, 63, 64, 65, 100, 257, 400, 401, 1000, 1201, 4096}) {
      const Result cut = ripInBlocks(t, text, size);
      EXPECT_EQ(cut.rows, whole.rows) << "blocks of " << size;
      EXPECT_EQ(cut.truncations, whole.truncations) << "blocks of " << size;
    }
  }
}

TEST_F(HeldLineTest, ALineOfMegabytesHoldsOnlyWhatItsFieldsNeed) {
  KovaObject* t = table(false);
  // 4 MB of request, 1 MB skipped before the time and 1 MB of size.
  const std::string line = "host - frank " + std::string(1 << 20, 'x') + "[t] \"" +
                           std::string(4 << 20, 'r') + "\" 200 " + std::string(1 << 20, 's') + "\n";
  const Result whole = ripInBlocks(t, line, SIZE_MAX);
  const Result cut = ripInBlocks(t, line, 64 << 10);
  EXPECT_EQ(cut.rows, whole.rows);
  EXPECT_EQ(cut.truncations, whole.truncations);
  EXPECT_EQ(cut.truncations, 2u);
  EXPECT_LE(cut.fragmentCapacity, 8u << 10);
}

TEST_F(HeldLineTest, NumbersAndTimesAreHeldWhole) {
  // A status of many digits is no number however it is cut: held whole it
  // stays a null without a cut of its own.
  KovaObject* t = logTable();
  const std::string line =
      "h i u [" + std::string(5000, '1') + "] \"r\" " + std::string(3000, '0') + "7 42\n";
  const Result whole = ripInBlocks(t, line, SIZE_MAX);
  EXPECT_EQ(ripInBlocks(t, line, 100).rows, whole.rows);
  EXPECT_EQ(whole.rows.back().substr(whole.rows.back().size() - 5), "|7|42");
}

}  // namespace
}  // namespace kova::testing
