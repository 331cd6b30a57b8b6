// The typed FIXED plan decides once per block how the row encoding treats
// text (which bytes it refuses, which byte is its blank). For encodings of
// every kind, and texts of bytes each may refuse or take for a blank, every
// record gives what the record converter gives: the same row byte for byte,
// or the same refusal.
#include <random>
#include <string>
#include <vector>

#include "tests/fixed_varbin/binary_test_util.h"

namespace kova::testing {
namespace {

using FixedTextCheckTest = BinaryRipTest;

TEST_F(FixedTextCheckTest, EveryRecordGivesTheRecordConvertersRowOrRefusal) {
  // Blanks of ASCII, EBCDIC and UTF-16, letters (the first 6 are ASCII),
  // bytes some encodings refuse, pieces of UTF-8 (10 and 11 whole
  // characters), of double-byte characters and a lone UTF-16 surrogate.
  using namespace std::string_literals;
  const std::vector<std::string> pieces = {
      " ",    " ",    "@",        "\0"s,          "q",    "Q",        "\x80",   "\xAE",
      "\xFF", "\x81", "\xC3\xA9", "\xE3\x81\x82", "\xC3", "\x82\xA0", "\0\xD8"s};
  std::mt19937 random(17);
  // ISO-8859-1 and -7, windows-1252, UTF-8, UTF-16LE, Shift_JIS, GB18030,
  // EBCDIC 037, US-ASCII.
  for (int encoding : {1, 4, 12, 20, 21, 40, 43, 50, 62}) {
    SCOPED_TRACE(encoding);
    // Texts of every move: the general one below 16 bytes, one to four
    // chunks of 16 up to 64.
    KovaObject* table = newTable(kRecfmFixed, encoding);
    int64_t reclen = 0;
    std::vector<size_t> widths;
    for (auto [name, width] :
         {std::pair{u"s6", 6}, std::pair{u"s12", 12}, std::pair{u"s16", 16}, std::pair{u"s24", 24},
          std::pair{u"s40", 40}, std::pair{u"s56", 56}, std::pair{u"s64", 64}}) {
      KovaColumn* column = addColumn(table, name, kTypeVarchar, width, width);
      column->c_type = kCTypeChar;
      column->offset = reclen;
      reclen += width;
      widths.push_back(size_t(width));
    }
    table->reclen = reclen;
    KovaRipper* ripper = bound(table);
    ASSERT_NE(ripper, nullptr);
    std::vector<uint8_t> expected(ripper->rowLength);
    int refused = 0;
    for (int i = 0; i < 600; ++i) {
      // The second half without indicators, as a host may ask.
      if (i == 300) {
        for (uint32_t k = 0; k < ripper->layoutCount; ++k) {
          entry(ripper, k).indicatorWidth = kIndicatorNone;
        }
      }
      std::string record;
      for (size_t width : widths) {
        // Most texts of ASCII pieces, some with pieces of UTF-8 characters,
        // some of any: a refused text need not stop the record early.
        const unsigned mode = random() % 4;
        std::string text;
        while (text.size() < width) {
          // Mostly text then a run of one blank, as fields are written.
          size_t pick = random() % (mode == 0 ? pieces.size() : 6);
          if (mode == 1 && random() % 3 == 0) pick = 10 + random() % 2;
          const std::string& piece = pieces[pick];
          text += random() % 3 ? piece : std::string(random() % 12, piece[0]);
        }
        text.resize(width);
        record += text;
      }
      (void)ripOnce(ripper, record);  // sizes the row block
      std::memset(ripper->rowBlock, 0x5A, ripper->rowLength);
      const Result got = ripOnce(ripper, record);
      std::fill(expected.begin(), expected.end(), 0x5A);
      const KovaStatus status = ripper->ops.convertRecord(
          ripper, reinterpret_cast<const uint8_t*>(record.data()), reclen, expected.data());
      ASSERT_EQ(got.status, status) << "record " << i;
      if (status != kStatusOk) {
        ++refused;
        continue;
      }
      ASSERT_EQ(got.count, 1);
      ASSERT_EQ(std::memcmp(got.rows, expected.data(), expected.size()), 0)
          << "record " << i << ": " << renderRow(ripper, got.rows) << " vs "
          << renderRow(ripper, expected.data());
    }
    // The encodings that refuse bytes refused some records, the others none.
    if (encoding == 1 || encoding == 12 || encoding == 50) {
      EXPECT_EQ(refused, 0);
    } else {
      EXPECT_GT(refused, 0);
    }
    destroy(ripper);
  }
}

}  // namespace
}  // namespace kova::testing
