// initBlock and the clearing of rows: a carried row continues in the first
// row of the next block, every other first row starts null (or blank).
#include <cstring>
#include <vector>

#include "src/ripper/row_block.h"
#include "tests/support/ripper_fixture.h"

namespace kova::testing {
namespace {

class RowBlockTest : public RipperTest {
 protected:
  // A typed DELIMITED ripper with DOUBLE, VARCHAR(200) and INT columns.
  KovaRipper* typed(uint32_t flags = 0) {
    KovaObject* table = newTable(kRecfmDelimited);
    addColumn(table, u"x", kTypeDouble);
    addColumn(table, u"s", kTypeVarchar, 200, 200);
    addColumn(table, u"n", kTypeInt);
    KovaRipper* ripper = create(table, flags);
    EXPECT_NE(ripper, nullptr);
    if (ripper) {
      EXPECT_NE(describe(ripper), nullptr);
    }
    return ripper;
  }
  static int64_t indicator(KovaRipper* ripper, const uint8_t* row, uint32_t i) {
    const KovaLayoutEntry& e = ripper->typedLayout[i];
    switch (e.indicatorWidth) {
      case kIndicatorWidth1:
        return *reinterpret_cast<const int8_t*>(row + e.indicatorOffset);
      case kIndicatorWidth2: {
        int16_t v;
        std::memcpy(&v, row + e.indicatorOffset, 2);
        return v;
      }
      default: {
        int32_t v;
        std::memcpy(&v, row + e.indicatorOffset, 4);
        return v;
      }
    }
  }
};

TEST_F(RowBlockTest, FirstRowStartsWithNullIndicatorsAndKeepsValueBytes) {
  KovaRipper* ripper = typed(kRipperNullAsMissing);
  ASSERT_NE(ripper, nullptr);
  ASSERT_EQ(ripper->rowLength, 224u);
  uint8_t* first = initBlock(ripper, 4);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first, ripper->rowBlock);
  EXPECT_EQ(ripper->blockCapacity, 4);
  EXPECT_EQ(ripper->rowsInBlock, 0u);
  EXPECT_EQ(indicator(ripper, first, 0), -88);
  EXPECT_EQ(indicator(ripper, first, 1), -1);
  EXPECT_EQ(entry(ripper, 1).indicatorWidth, kIndicatorWidth2);
  EXPECT_EQ(indicator(ripper, first, 2), -1);

  // A later block that fits clears only the indicators.
  std::memset(first, 0x5A, ripper->rowLength);
  ripper->rowsInBlock = 3;
  EXPECT_EQ(initBlock(ripper, 2), first);
  EXPECT_EQ(ripper->rowsInBlock, 0u);
  EXPECT_EQ(ripper->blockCapacity, 4);
  EXPECT_EQ(first[0], 0x5A);
  EXPECT_EQ(first[8 + 199], 0x5A);
  EXPECT_EQ(indicator(ripper, first, 0), -88);
  EXPECT_EQ(indicator(ripper, first, 2), -1);

  // An indicator code the converters do not write is left alone.
  entry(ripper, 2).indicatorWidth = 3;
  std::memset(first, 0x5A, ripper->rowLength);
  EXPECT_EQ(initBlock(ripper, 0), first);
  EXPECT_EQ(first[entry(ripper, 2).indicatorOffset], 0x5A);
}

TEST_F(RowBlockTest, CarriedRowContinuesInTheFirstRow) {
  KovaRipper* ripper = typed();
  ASSERT_NE(ripper, nullptr);
  const uint64_t length = ripper->rowLength;
  uint8_t* block = initBlock(ripper, 3);
  ASSERT_NE(block, nullptr);
  for (uint64_t i = 0; i < 3 * length; ++i) block[i] = uint8_t(i * 7);
  std::vector<uint8_t> carried(block + 2 * length, block + 3 * length);

  // A block that is large enough: the row moves to the front.
  ripper->carriedRow = block + 2 * length;
  EXPECT_EQ(initBlock(ripper, 3), block);
  EXPECT_EQ(ripper->carriedRow, nullptr);
  EXPECT_EQ(std::memcmp(block, carried.data(), length), 0);

  // A larger block: a new one whose first row is the carried row.
  ripper->carriedRow = block;
  uint8_t* grown = initBlock(ripper, 50);
  ASSERT_NE(grown, nullptr);
  EXPECT_EQ(ripper->blockCapacity, 50);
  EXPECT_EQ(ripper->carriedRow, nullptr);
  EXPECT_EQ(std::memcmp(grown, carried.data(), length), 0);
  EXPECT_EQ(ripper->rowBlock, grown);
}

TEST_F(RowBlockTest, RowImageRowsStartBlankWithMissingNumbers) {
  KovaObject* table = newTable(kRecfmDelimited);
  addColumn(table, u"c", kTypeChar, 0, 3);
  addColumn(table, u"x", kTypeDouble);
  KovaRipper* ripper = create(table, kRipperRowImage);
  ASSERT_NE(describe(ripper), nullptr);
  ASSERT_EQ(ripper->rowLength, 16u);
  uint8_t* row = initBlock(ripper, 1);
  ASSERT_NE(row, nullptr);
  const uint8_t expected[16] = {' ', ' ', ' ', ' ', ' ', ' ',  ' ',  ' ',
                                0,   0,   0,   0,   0,   0xD1, 0xFF, 0xFF};
  EXPECT_EQ(std::memcmp(row, expected, 16), 0);
}

TEST_F(RowBlockTest, BlockThatCannotBeHadLogsItsLabel) {
  KovaRipper* ripper = typed();
  ASSERT_NE(ripper, nullptr);
  host().failAllocation(1);
  EXPECT_EQ(initBlock(ripper, 10), nullptr);
  host().clearFailure();
  EXPECT_TRUE(diagnostics().contains(
      "[initBlock[2]] : Failed to allocate memory. Space requested=[2240]", kLogError));
  EXPECT_EQ(ripper->blockCapacity, 0);

  uint8_t* block = initBlock(ripper, 1);
  ASSERT_NE(block, nullptr);
  ripper->carriedRow = block;
  host().failAllocation(1);
  EXPECT_EQ(initBlock(ripper, 2), nullptr);
  host().clearFailure();
  EXPECT_TRUE(diagnostics().contains(
      "[initBlock[1]] : Failed to allocate memory. Space requested=[448]", kLogError));
  EXPECT_EQ(ripper->carriedRow, block);
  EXPECT_EQ(ripper->rowBlock, block);

  // Sizes that overflow count as memory that cannot be had.
  diagnostics().clear();
  ripper->carriedRow = nullptr;
  EXPECT_EQ(initBlock(ripper, int64_t(1) << 40), nullptr);
  EXPECT_EQ(initBlock(ripper, INT64_MAX), nullptr);
  EXPECT_TRUE(diagnostics().contains("[initBlock[2]] : Failed to allocate memory.", kLogError));
  ripper->rowLength = UINT64_MAX / 2;
  EXPECT_EQ(initBlock(ripper, 3), nullptr);
  EXPECT_EQ(ripper->rowBlock, block);
  EXPECT_EQ(ripper->blockCapacity, 1);
}

}  // namespace
}  // namespace kova::testing
