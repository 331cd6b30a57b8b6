// The typed FIXED plan kind by kind: every move it makes (integers of each
// width in either byte order, doubles whole, reversed and short, texts of
// every chunk count through every check and trim, bytes, columns outside
// the record) at every indicator width a layout gives or a host sets, in
// every row byte the same as the record converter's; records cut anywhere
// give the same rows; and a column the plan has no move for leaves the
// block to the record converter.
#include <random>
#include <string>
#include <vector>

#include "tests/fixed_varbin/binary_test_util.h"

namespace kova::testing {
namespace {

struct Kind {
  const char16_t* name;
  uint32_t type;
  uint32_t cType;
  int64_t bytelength;
  int64_t colendian = 0;    // 1 little, 2 big, 0 the table's
  int64_t charlength = -1;  // text: bytelength when -1
};

// Texts of 0 to 15 and of 65 bytes or more take the general move, those of
// 16 to 64 one to four chunks of 16; 130 bytes have a 2-byte indicator.
const Kind kKinds[] = {
    {u"i8", kTypeTinyint, kCTypeInt8, 1},        {u"i16", kTypeSmallint, kCTypeInt16, 2},
    {u"i32", kTypeInt, kCTypeInt32, 4},          {u"i64", kTypeBigint, kCTypeInt64, 8},
    {u"x", kTypeDouble, kCTypeDouble, 8},        {u"xlittle", kTypeDouble, kCTypeDouble, 8, 1},
    {u"xbig", kTypeDouble, kCTypeDouble, 8, 2},  {u"x1", kTypeDouble, kCTypeDouble, 1},
    {u"x4", kTypeDouble, kCTypeDouble, 4},       {u"x7", kTypeDouble, kCTypeDouble, 7},
    {u"day", kTypeDate, kCTypeDouble, 8},        {u"dec", kTypeDecimal, kCTypeChar, 5},
    {u"b3", kTypeBinary, kCTypeBinary, 3},       {u"b130", kTypeBinary, kCTypeBinary, 130},
    {u"s0", kTypeVarchar, kCTypeChar, 0, 0, 20},  // a slot of 20 bytes, none in the record
    {u"s1", kTypeVarchar, kCTypeChar, 1},        {u"s7", kTypeVarchar, kCTypeChar, 7},
    {u"s15", kTypeChar, kCTypeChar, 15},         {u"s16", kTypeVarchar, kCTypeChar, 16},
    {u"s17", kTypeVarchar, kCTypeChar, 17},      {u"s32", kTypeChar, kCTypeChar, 32},
    {u"s33", kTypeVarchar, kCTypeChar, 33},      {u"s48", kTypeVarchar, kCTypeChar, 48},
    {u"s49", kTypeVarchar, kCTypeChar, 49},      {u"s64", kTypeVarchar, kCTypeChar, 64},
    {u"s65", kTypeVarchar, kCTypeChar, 65},      {u"s130", kTypeVarchar, kCTypeChar, 130},
};

// Columns that end past the record (from its last byte, or 5 bytes past
// it): null whatever their kind.
const std::pair<int64_t, Kind> kPast[] = {
    {-1, {u"i32past", kTypeInt, kCTypeInt32, 4}},
    {-1, {u"xpast", kTypeDouble, kCTypeDouble, 8}},
    {-1, {u"spast", kTypeVarchar, kCTypeChar, 24}},
    {-1, {u"s130past", kTypeVarchar, kCTypeChar, 130}},
    {-1, {u"bpast", kTypeBinary, kCTypeBinary, 3}},
    {5, {u"i8beyond", kTypeTinyint, kCTypeInt8, 1}},
};

// What texts of an encoding are made of: its blank and pieces it takes.
struct Alphabet {
  int encoding;
  char blank;
  std::vector<std::string> pieces;
};

const Alphabet kAlphabets[] = {
    {1, ' ', {"q", "Q", " ", "\xAE", "\xFF", std::string(1, '\0'), "@"}},  // every byte a character
    {20, ' ', {"q", " ", "\xC3\xA9", "\xE3\x81\x82", "@"}},  // UTF-8: ASCII or the handle's look
    {4, ' ', {"q", " ", "\xE1", "@"}},            // ISO-8859-7: refuses some bytes, each checked
    {50, '\x40', {"\xC1", "\x81", "\x40", " "}},  // EBCDIC 037: its blank is 0x40
};

class FixedPlanKindsTest : public BinaryRipTest {
 protected:
  struct Table {
    KovaObject* table;
    std::vector<std::pair<int64_t, Kind>> columns;  // offset and kind, in column order
  };

  // Every kind of kKinds one after the other, then those of kPast, and an
  // integer 2 bytes before the record.
  Table everyKind(int encoding, int bigendian) {
    Table t{newTable(kRecfmFixed, encoding), {}};
    t.table->bigendian = bigendian;
    int64_t offset = 0;
    for (const Kind& kind : kKinds) {
      t.columns.emplace_back(offset, kind);
      offset += kind.bytelength;
    }
    t.table->reclen = offset;
    for (const auto& [fromEnd, kind] : kPast) t.columns.emplace_back(offset + fromEnd, kind);
    t.columns.emplace_back(-2, Kind{u"i32before", kTypeInt, kCTypeInt32, 4});
    for (const auto& [at_, kind] : t.columns) {
      KovaColumn* column = at(t.table, kind.name, kind.type, kind.cType, at_, kind.bytelength);
      column->colendian = kind.colendian;
      if (kind.charlength >= 0) column->charlength = kind.charlength;
    }
    return t;
  }

  // count records of random bytes, their texts made of the alphabet's pieces
  // and blanks, a third of their doubles missing.
  static std::string records(const Table& t, const Alphabet& alphabet, int count,
                             std::mt19937_64& random) {
    std::string input;
    for (int i = 0; i < count; ++i) {
      std::string record(size_t(t.table->reclen), '\0');
      for (char& c : record) c = char(random());
      for (const auto& [offset, kind] : t.columns) {
        const auto width = size_t(kind.bytelength);
        if (offset < 0 || offset + kind.bytelength > t.table->reclen) continue;
        if (kind.type == kTypeVarchar || kind.type == kTypeChar) {
          std::string text;
          const size_t kept = size_t(random() % (width + 1));
          while (text.size() < kept) {
            const std::string& piece = alphabet.pieces[random() % alphabet.pieces.size()];
            if (text.size() + piece.size() > kept) break;
            text += piece;
          }
          text.resize(width, alphabet.blank);
          record.replace(size_t(offset), width, text);
        } else if (kind.cType == kCTypeDouble && random() % 3 == 0) {
          // A missing value as it lies in the record: FF FF high, the code in byte 5.
          const bool big = kind.colendian ? kind.colendian == 2 : t.table->bigendian != 0;
          const char code = char(i % 2 ? ~(0x41 + random() % 26) : random());
          char wide[8];
          for (char& c : wide) c = char(random());
          wide[7] = wide[6] = '\xFF';
          wide[5] = code;
          // The record holds the width high-order bytes in the column's order.
          for (size_t k = 0; k < width; ++k) {
            record[size_t(offset) + k] = big ? wide[7 - k] : wide[8 - width + k];
          }
        }
      }
      input += record;
    }
    return input;
  }
};

// Not a ripper option: the test's marks for indicators a host takes away.
enum Indicators { kAsLaidOut, kNoneOnEveryOther, kNoneAtAll };

TEST_F(FixedPlanKindsTest, EveryKindAtEveryIndicatorWidthGivesTheRecordConvertersRows) {
  std::mt19937_64 random(29);
  for (const Alphabet& alphabet : kAlphabets) {
    for (int bigendian : {0, 1}) {
      for (uint32_t flags : {0u, kRipperNullAsMissing}) {
        for (Indicators indicators : {kAsLaidOut, kNoneOnEveryOther, kNoneAtAll}) {
          SCOPED_TRACE(::testing::Message()
                       << "encoding " << alphabet.encoding << " bigendian " << bigendian
                       << " flags " << flags << " indicators " << indicators);
          const Table t = everyKind(alphabet.encoding, bigendian);
          KovaRipper* ripper = bound(t.table, flags);
          ASSERT_NE(ripper, nullptr);
          ASSERT_EQ(entry(ripper, 13).indicatorWidth, kIndicatorWidth2);  // b130
          ASSERT_EQ(entry(ripper, 14).octetLength, 20u);                  // s0
          for (uint32_t k = 0; k < ripper->layoutCount; ++k) {
            if (indicators == kNoneAtAll || (indicators == kNoneOnEveryOther && k % 2 == 1)) {
              entry(ripper, k).indicatorWidth = kIndicatorNone;
            }
          }
          expectRowsOfTheRecordConverter(ripper, records(t, alphabet, 40, random));
          destroy(ripper);
        }
      }
    }
  }
}

TEST_F(FixedPlanKindsTest, RecordsOfEveryKindCutAnywhereGiveTheSameRows) {
  std::mt19937_64 random(31);
  const Table t = everyKind(20, 1);
  const std::string input = records(t, kAlphabets[1], 3, random);
  std::vector<std::string> expected;
  {
    KovaRipper* ripper = bound(t.table);
    std::vector<uint8_t> row(ripper->rowLength);
    for (size_t at_ = 0; at_ < input.size(); at_ += size_t(t.table->reclen)) {
      ASSERT_EQ(
          ripper->ops.convertRecord(ripper, reinterpret_cast<const uint8_t*>(input.data()) + at_,
                                    t.table->reclen, row.data()),
          kStatusOk);
      expected.push_back(renderRow(ripper, row.data()));
    }
    destroy(ripper);
  }
  const std::vector<std::string> rows = splitEverywhere(
      input,
      [&](const auto& blocks) {
        KovaRipper* ripper = bound(t.table);
        std::vector<std::string> out = ripAll(ripper, blocks);
        destroy(ripper);
        return out;
      },
      10);
  EXPECT_EQ(rows, expected);
}

TEST_F(FixedPlanKindsTest, IndicatorsOfFourBytesAreStoredForTextsBytesAndNulls) {
  // 32768 bytes or more take a 4-byte indicator.
  constexpr int64_t kLong = 32768;
  KovaObject* table = newTable(kRecfmFixed, 1);
  table->reclen = 2 * kLong;
  at(table, u"s", kTypeVarchar, kCTypeChar, 0, kLong);
  at(table, u"b", kTypeBinary, kCTypeBinary, kLong, kLong);
  at(table, u"past", kTypeVarchar, kCTypeChar, kLong + 1, kLong);
  KovaRipper* ripper = bound(table);
  ASSERT_NE(ripper, nullptr);
  for (uint32_t k = 0; k < 3; ++k) ASSERT_EQ(entry(ripper, k).indicatorWidth, kIndicatorWidth4);
  std::string input;
  for (size_t kept : {size_t(0), size_t(7), size_t(kLong - 1), size_t(kLong)}) {
    std::string record(size_t(kLong) - kept, ' ');
    record.insert(0, kept, 'q');
    record.append(size_t(kLong), char(kept));
    input += record;
  }
  expectRowsOfTheRecordConverter(ripper, input);
  Result r = ripOnce(ripper, input);
  ASSERT_EQ(r.count, 4);
  const uint8_t* last = r.rows + 3 * ripper->rowLength;
  EXPECT_EQ(indicator(ripper, r.rows + ripper->rowLength, 0), 7);
  EXPECT_EQ(indicator(ripper, last, 0), kLong);
  EXPECT_EQ(indicator(ripper, last, 1), kLong);
  EXPECT_EQ(indicator(ripper, last, 2), -1);
}

TEST_F(FixedPlanKindsTest, AnIndicatorOfEightBytesIsStoredByTheRecordConverter) {
  // What a column of 2^31 bytes or more would get, set here on a text whose
  // indicator ends the row: the plan leaves such a block to the converter.
  KovaObject* table = newTable(kRecfmFixed, 1);
  table->reclen = 16;
  at(table, u"s", kTypeVarchar, kCTypeChar, 0, 16);
  KovaRipper* ripper = bound(table);
  ASSERT_NE(ripper, nullptr);
  ASSERT_EQ(entry(ripper, 0).indicatorOffset + 8, ripper->rowLength);
  entry(ripper, 0).indicatorWidth = kIndicatorWidth8;
  const std::string input = "ab" + std::string(14, ' ') + std::string(16, 'z');
  expectRowsOfTheRecordConverter(ripper, input);
  const Result r = ripOnce(ripper, input);
  ASSERT_EQ(r.count, 2);
  EXPECT_EQ(indicator(ripper, r.rows, 0), 2);
  EXPECT_EQ(indicator(ripper, r.rows + ripper->rowLength, 0), 16);
}

}  // namespace
}  // namespace kova::testing
