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
  // Blanks of ASCII, EBCDIC and UTF-16, letters, bytes some encodings
  // refuse, pieces of UTF-8 and of double-byte characters.
  const std::vector<std::string> pieces = {
      " ",    " ",    "@",        std::string(1, '\0'), "q",    "Q",       "\x80", "\xAE",
      "\xFF", "\x81", "\xC3\xA9", "\xE3\x81\x82",       "\xC3", "\x82\xA0"};
  std::mt19937 random(17);
  // ISO-8859-1 and -7, windows-1252, UTF-8, UTF-16LE, Shift_JIS, GB18030,
  // EBCDIC 037, US-ASCII.
  for (int encoding : {1, 4, 12, 20, 21, 40, 43, 50, 62}) {
    SCOPED_TRACE(encoding);
    KovaObject* table = newTable(kRecfmFixed, encoding);
    table->reclen = 40;
    for (auto [name, offset, width] :
         {std::tuple{u"short", 0, 5}, std::tuple{u"mid", 5, 11}, std::tuple{u"long", 16, 24}}) {
      KovaColumn* column = addColumn(table, name, kTypeVarchar, width, width);
      column->c_type = kCTypeChar;
      column->offset = offset;
    }
    KovaRipper* ripper = bound(table);
    ASSERT_NE(ripper, nullptr);
    std::vector<uint8_t> expected(ripper->rowLength);
    int refused = 0;
    for (int i = 0; i < 600; ++i) {
      std::string record;
      while (record.size() < 40) {
        // Mostly text then a run of one blank, as fields are written.
        const std::string& piece = pieces[random() % pieces.size()];
        record += random() % 3 ? piece : std::string(random() % 12, piece[0]);
      }
      record.resize(40);
      (void)ripOnce(ripper, record);  // sizes the row block
      std::memset(ripper->rowBlock, 0x5A, ripper->rowLength);
      const Result got = ripOnce(ripper, record);
      std::fill(expected.begin(), expected.end(), 0x5A);
      const KovaStatus status = ripper->ops.convertRecord(
          ripper, reinterpret_cast<const uint8_t*>(record.data()), 40, expected.data());
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
