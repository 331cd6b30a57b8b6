// Burn then rip: random rows of random tables written by each writer and
// read back by a ripper of the same table give the same values; and every
// allocation failing in turn during writeRows gives kStatusNoMemory with the
// "resultMakeRoom" line, null outs and nothing left in the host.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <random>

#include "tests/burner/burner_fixture.h"
#include "tests/support/rows.h"

namespace kova::testing {
namespace {

struct ColumnKind {
  uint32_t type;
  int64_t charlength;
  int64_t bytelength;
};

class RoundTripTest : public BurnerTest {
 protected:
  // A table of count columns drawn from kinds; FIXED columns get offsets.
  KovaObject* randomTable(uint32_t recfm, const std::vector<ColumnKind>& kinds, int count) {
    KovaObject* table = newTable(recfm, kEncodingUtf8);
    table->textqual = '"';
    int64_t offset = 0;
    for (int i = 0; i < count; ++i) {
      const ColumnKind& k = kinds[rng_() % kinds.size()];
      std::u16string name = u"c" + u16(std::to_string(i));
      KovaColumn* c = addColumn(table, name, k.type, k.charlength, k.bytelength);
      if (k.type == kTypeDouble || k.type == kTypeDate) c->c_type = kCTypeDouble;
      if (mixedByteOrder_) c->colendian = 1 + rng_() % 2;
      c->offset = offset;
      offset += k.bytelength;
    }
    table->reclen = offset > 0 ? offset : 1;
    return table;
  }

  std::string randomText(size_t max, bool anyByte) {
    static const char kChars[] = "ab,\"\r\n\\ xyz;09";
    std::string s(1 + rng_() % max, 'a');
    for (char& c : s)
      c = anyByte ? char(kChars[rng_() % (sizeof kChars - 1)]) : char('a' + rng_() % 26);
    s.back() = 'e';  // readers of fixed-width text drop trailing blanks
    return s;
  }

  // Random values for every column of row; nulls where allowed.
  void fill(KovaRipper* b, uint8_t* row, bool nulls, bool anyByte) {
    for (int32_t i = 0; i < b->table->columnCount; ++i) {
      const KovaColumn* c = b->columns[i].column;
      // Binary doubles keep which missing value they are, "._", "." or ".A"
      // to ".Z", when ripped with nullAsMissing (and FIXED records, where
      // nothing else can be null, have those).
      const bool special = specialMissing_ && c->type == kTypeDouble;
      if ((nulls || special) && rng_() % 6 == 0) {
        static constexpr int64_t kSpecial[] = {-89, -88, -87, -75, -62};
        setIndicator(b, row, i, special ? kSpecial[rng_() % std::size(kSpecial)] : -1);
        continue;
      }
      switch (c->type) {
        case kTypeInt:
          setValue<int32_t>(b, row, i, int32_t(rng_()));
          break;
        case kTypeSmallint:
          setValue<int16_t>(b, row, i, int16_t(rng_()));
          break;
        case kTypeTinyint:
          setValue<int8_t>(b, row, i, int8_t(rng_()));
          break;
        case kTypeBigint:
          setValue<int64_t>(b, row, i, int64_t(rng_()) << 20);
          break;
        case kTypeDouble:
          setValue<double>(b, row, i, double(int32_t(rng_())) / 64.0);
          break;
        case kTypeDate:
          if (entryOf(b, i).storageType == kStorageDateRecord) {
            setValue(b, row, i, dateParts(int(rng_() % 9000) - 4000));
          } else {
            setValue<double>(b, row, i, double(int32_t(rng_() % 80000) - 30000));
          }
          break;
        case kTypeTime:  // VARBIN tables only: hour, minute, second
          setValue(b, row, i, std::array<uint16_t, 3>{clock(24), clock(60), clock(60)});
          break;
        case kTypeTimestamp: {  // VARBIN tables only: a date, a time, nanoseconds
          const std::array<uint16_t, 3> date = dateParts(int(rng_() % 9000) - 4000);
          std::array<uint8_t, 16> record;
          const uint16_t parts[6] = {date[0], date[1], date[2], clock(24), clock(60), clock(60)};
          const uint32_t fraction = uint32_t(rng_() % 1000000000);
          std::memcpy(record.data(), parts, 12);
          std::memcpy(record.data() + 12, &fraction, 4);
          setValue(b, row, i, record);
          break;
        }
        case kTypeVarchar:
        case kTypeChar: {
          const uint64_t slot = entryOf(b, i).octetLength;
          std::string text = randomText(std::min<uint64_t>(slot, longestText_), anyByte);
          setBytes(b, row, i, text);
          break;
        }
        case kTypeDecimal: {
          std::string text = std::to_string(int64_t(rng_() % 2000000) - 1000000);
          text.insert(text.size() - 2, ".");
          if (text[0] == '.' || text.starts_with("-.")) text.insert(text.find('.'), "0");
          setDecimal(b, row, i, text, int32_t(c->charlength), int32_t(c->bytelength));
          break;
        }
        default:
          break;
      }
    }
  }

  // Burns rowCount random rows in batches of batch rows and rips the bytes
  // back; both sides rendered the same way.
  void roundTrip(uint32_t recfm, const std::vector<ColumnKind>& kinds, int batch, bool nulls,
                 bool anyByte, uint32_t flags = 0) {
    KovaObject* table = randomTable(recfm, kinds, 1 + int(rng_() % 6));
    KovaRipper* b = burner(table, flags);
    ASSERT_NE(b, nullptr);
    const int rowCount = 23;
    auto r = rows(b, rowCount);
    std::vector<std::string> expected;
    for (int i = 0; i < rowCount; ++i) {
      uint8_t* row = r.data() + i * b->rowLength;
      fill(b, row, nulls, anyByte);
      expected.push_back(renderRow(b, row));
    }
    std::string bytes;
    for (int at = 0; at < rowCount; at += batch) {
      const int n = std::min(batch, rowCount - at);
      std::vector<uint8_t> part(r.begin() + at * b->rowLength, r.begin() + (at + n) * b->rowLength);
      KovaStatus status;
      bytes += write(b, part, &status);
      ASSERT_EQ(status, kStatusOk);
    }
    KovaRipper* ripper = bound(table, specialMissing_ ? kRipperNullAsMissing : 0);
    ASSERT_NE(ripper, nullptr);
    std::vector<std::string> ripped = ripBlocks(ripper, {bytes});
    ASSERT_EQ(ripped.size(), expected.size()) << bytes;
    for (size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(ripped[i], expected[i]) << i;
  }

  // Year (negative ones too), month and day of a valid date, as 16-bit parts.
  std::array<uint16_t, 3> dateParts(int year) {
    return {uint16_t(int16_t(year)), uint16_t(1 + rng_() % 12), uint16_t(1 + rng_() % 28)};
  }
  uint16_t clock(uint32_t range) { return uint16_t(rng_() % range); }

  std::mt19937 rng_{12};
  bool mixedByteOrder_ = false;  // columns big- or little-endian at random
  bool specialMissing_ = false;  // doubles missing as ._, . and .A to .Z too
  uint64_t longestText_ = 12;
};

TEST_F(RoundTripTest, DelimitedRowsComeBackAlike) {
  const std::vector<ColumnKind> kinds = {
      {kTypeInt, 0, 0},      {kTypeBigint, 0, 0}, {kTypeSmallint, 0, 0}, {kTypeDouble, 0, 0},
      {kTypeVarchar, 20, 0}, {kTypeDate, 0, 0},   {kTypeDecimal, 12, 2}};
  for (int round = 0; round < 30; ++round) {
    SCOPED_TRACE(round);
    roundTrip(kRecfmDelimited, kinds, 1 + round % 9, true, true);
  }
}

TEST_F(RoundTripTest, FixedRowsComeBackAlike) {
  const std::vector<ColumnKind> kinds = {{kTypeInt, 0, 4},      {kTypeBigint, 0, 8},
                                         {kTypeSmallint, 0, 2}, {kTypeDouble, 0, 8},
                                         {kTypeChar, 6, 6},     {kTypeDate, 0, 8}};
  for (int round = 0; round < 30; ++round) {
    SCOPED_TRACE(round);
    roundTrip(kRecfmFixed, kinds, 1 + round % 9, false, false);
  }
}

TEST_F(RoundTripTest, BinaryRowsOfEitherByteOrderComeBackAlike) {
  mixedByteOrder_ = true;
  specialMissing_ = true;
  // Integers in fields wider than their type too: sign-extended and read back.
  const std::vector<ColumnKind> kinds = {
      {kTypeInt, 0, 4},    {kTypeBigint, 0, 8}, {kTypeSmallint, 0, 2}, {kTypeTinyint, 0, 1},
      {kTypeDouble, 0, 8}, {kTypeChar, 6, 6},   {kTypeSmallint, 0, 4}, {kTypeInt, 0, 8}};
  for (uint32_t recfm : {kRecfmFixed, kRecfmVarbin}) {
    for (int round = 0; round < 30; ++round) {
      SCOPED_TRACE(recfm * 100 + round);
      roundTrip(recfm, kinds, 1 + round % 9, recfm == kRecfmVarbin, false);
    }
  }
}

TEST_F(RoundTripTest, DelimitedRowsWithNullTextComeBackAlike) {
  const std::vector<ColumnKind> kinds = {
      {kTypeInt, 0, 0},   {kTypeTinyint, 0, 0}, {kTypeSmallint, 0, 0}, {kTypeDouble, 0, 0},
      {kTypeChar, 20, 0}, {kTypeDate, 0, 0},    {kTypeDecimal, 12, 2}};
  for (int round = 0; round < 30; ++round) {
    SCOPED_TRACE(round);
    roundTrip(kRecfmDelimited, kinds, 1 + round % 9, true, true, kRipperWriteNullText);
  }
}

// Lengths past a signed byte take a wider length form than short ones.
TEST_F(RoundTripTest, VarbinTextOfAnyLengthComesBackAlike) {
  longestText_ = 70000;
  const std::vector<ColumnKind> kinds = {
      {kTypeVarchar, 300, 300}, {kTypeVarchar, 70000, 70000}, {kTypeInt, 0, 4}};
  for (int round = 0; round < 20; ++round) {
    SCOPED_TRACE(round);
    roundTrip(kRecfmVarbin, kinds, 1 + round % 9, true, false);
  }
}

TEST_F(RoundTripTest, VarbinRowsComeBackAlike) {
  const std::vector<ColumnKind> kinds = {
      {kTypeInt, 0, 4},    {kTypeBigint, 0, 8},    {kTypeSmallint, 0, 2},
      {kTypeDouble, 0, 8}, {kTypeVarchar, 20, 20}, {kTypeDecimal, 12, 2},
      {kTypeDate, 0, 0},   {kTypeTime, 0, 0},      {kTypeTimestamp, 0, 0}};
  for (int batch : {1, 7, 10000}) {
    for (int round = 0; round < 10; ++round) {
      SCOPED_TRACE(round);
      roundTrip(kRecfmVarbin, kinds, batch, true, true);
    }
  }
}

TEST_F(RoundTripTest, EveryGrowthFailingGivesNoMemoryAndLeavesNothing) {
  for (uint32_t flags : {0u, kRipperEscapeStyle, kRipperRowImage}) {
    for (uint32_t recfm : {kRecfmDelimited, kRecfmVarbin}) {
      if (recfm == kRecfmVarbin && flags != 0) continue;
      SCOPED_TRACE(flags + recfm * 1000);
      int failures = 0;
      forEachAllocationFailure(host(), [&](int nth) {
        host().clearFailure();  // the failure is armed again once the burner is bound
        KovaObject* table = newInstance("t");
        ASSERT_NE(table, nullptr);
        table->recfm = recfm;
        table->encoding = kEncodingUtf8;
        table->fieldsep = ',';
        table->textqual = '"';
        addColumn(table, u"v", kTypeVarchar, 900, recfm == kRecfmVarbin ? 900 : 0);
        addColumn(table, u"d", kTypeDate, 0, 8);
        KovaRipperOptions options{};
        options.flags = flags | kRipperOutput;
        KovaRipper* b = extension()->createRipper(table, &options, diagnostics().get());
        ASSERT_NE(b, nullptr);
        ASSERT_NE(b->ops.describe(b), nullptr);
        ASSERT_EQ(b->ops.bind(b), kStatusOk);
        std::vector<uint8_t> r(b->rowLength * 40, 0);
        if (!(flags & kRipperRowImage)) {
          for (int i = 0; i < 40; ++i)
            setBytes(b, r.data() + i * b->rowLength, 0, std::string(900, '"'));
        }
        diagnostics().clear();
        host().failAllocation(uint64_t(nth));
        const uint8_t* data = reinterpret_cast<const uint8_t*>(1);
        uint64_t length = 7;
        KovaStatus status = b->ops.writeRows(b, r.data(), r.size(), &data, &length);
        if (host().failureFired() && status == kStatusOk) {
          // Only the date's scratch buffer failed: its field is empty.
          EXPECT_TRUE(diagnostics().contains("[numFormat] : Failed to allocate memory", 4)) << nth;
        } else if (host().failureFired()) {
          ++failures;
          EXPECT_EQ(status, kStatusNoMemory) << nth;
          EXPECT_EQ(data, nullptr);
          EXPECT_EQ(length, 0u);
          EXPECT_TRUE(diagnostics().contains("[resultMakeRoom] : Failed to allocate memory", 4))
              << nth;
        } else {
          EXPECT_EQ(status, kStatusOk);
        }
        host().clearFailure();
        b->ops.destroy(b);
        table->destroy(table);
        forget(table);
      });
      EXPECT_GT(failures, 0);
    }
  }
}

}  // namespace
}  // namespace kova::testing
