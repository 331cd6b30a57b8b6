#include "src/ripper/next_record.h"

#include <limits>

#include "src/host/log.h"
#include "src/host/pool.h"

namespace kova {

RowClearer::RowClearer(const KovaRipper* ripper) : ripper_(ripper) {
  if (ripper->rowImage || ripper->layoutCount == 0) return;
  uint64_t low = UINT64_MAX;
  uint64_t high = 0;
  for (uint32_t i = 0; i < ripper->layoutCount; ++i) {
    const KovaLayoutEntry& e = ripper->typedLayout[i];
    const uint32_t code = e.indicatorWidth & kIndicatorWidthMask;
    if (code != kIndicatorWidth8 && code != kIndicatorWidth1 && code != kIndicatorWidth2 &&
        code != kIndicatorWidth4) {
      return;  // a column without indicator: its bytes must stay as they are
    }
    const uint64_t width = code == kIndicatorWidth8 ? 8 : code;
    low = e.indicatorOffset < low ? e.indicatorOffset : low;
    high = e.indicatorOffset + width > high ? e.indicatorOffset + width : high;
  }
  if (high - low > kMaxBytes || high > ripper->rowLength) return;
  for (uint32_t i = 0; i < ripper->layoutCount; ++i) {
    const KovaLayoutEntry& e = ripper->typedLayout[i];
    if (e.octetLength > 0 && e.dataOffset < high && e.dataOffset + e.octetLength > low) return;
  }
  std::memset(bytes_, 0, sizeof bytes_);
  for (uint32_t i = 0; i < ripper->layoutCount; ++i) {
    const KovaLayoutEntry& e = ripper->typedLayout[i];
    KovaLayoutEntry shifted = e;
    shifted.indicatorOffset = e.indicatorOffset - low;
    writeIndicator(bytes_, &shifted, nullIndicator(ripper, &e));
  }
  low_ = low;
  size_ = uint32_t(high - low);
}

uint8_t* beginTextBlock(KovaRipper* ripper, int64_t length, int32_t* rowCount) {
  ripper->rowsInBlock = 0;
  int64_t given = rowCount ? *rowCount : 0;
  int64_t estimate;
  if (given < 1) {
    const uint64_t perRow = ripper->rowLength ? ripper->rowLength : 1;
    double rows = double(uint64_t(length) / perRow + 1) * 1.5;
    constexpr double kLimit = double(std::numeric_limits<int32_t>::max());
    estimate = rows >= kLimit ? std::numeric_limits<int32_t>::max() : int64_t(rows);
  } else {
    estimate = given + 1;  // at most 2^31, which initBlock refuses as too large
  }
  if (rowCount) {
    *rowCount =
        int32_t(estimate > std::numeric_limits<int32_t>::max() ? std::numeric_limits<int32_t>::max()
                                                               : estimate);
  }
  return initBlock(ripper, estimate);
}

uint8_t* nextRecord(KovaRipper* ripper, uint8_t* row, int64_t blockLength, int64_t bytesLeft,
                    const RowClearer* clearer) {
  ripper->fieldIndex = 0;
  if (ripper->headerLinesLeft > 0) {
    --ripper->headerLinesLeft;
    clearRow(ripper, row);  // rare: the whole row, values too
    return row;
  }
  uint32_t complete = ripper->rowsInBlock + 1;
  if (complete >= uint32_t(ripper->blockCapacity)) {
    double factor = 1.5;
    if (blockLength != bytesLeft && blockLength > 0) {
      double scaled = double(blockLength) / double(blockLength - bytesLeft);
      if (scaled > factor) factor = scaled;
    }
    double wanted = double(ripper->blockCapacity) * factor + 1;
    uint64_t size = 0;
    int64_t capacity = wanted >= double(std::numeric_limits<int32_t>::max())
                           ? int64_t(std::numeric_limits<int32_t>::max()) + 1
                           : int64_t(wanted);
    void* grown = nullptr;
    if (capacity <= std::numeric_limits<int32_t>::max() &&
        !__builtin_mul_overflow(uint64_t(capacity), ripper->rowLength, &size)) {
      grown = poolResize(ripper->pool, ripper->rowBlock, size);
    }
    if (!grown) {
      int64_t logged = size && size <= uint64_t(std::numeric_limits<int32_t>::max())
                           ? int64_t(size)
                           : std::numeric_limits<int32_t>::max();
      logAllocationFailure(ripper->diagnostics, u"nextRecord", logged);
      return nullptr;
    }
    ripper->rowBlock = static_cast<uint8_t*>(grown);
    ripper->blockCapacity = int32_t(capacity);
    ripper->carriedRow = nullptr;
  }
  ripper->rowsInBlock = complete;
  uint8_t* next = ripper->rowBlock + uint64_t(complete) * ripper->rowLength;
  if (clearer) {
    clearer->clear(next);
  } else {
    clearRow(ripper, next);
  }
  return next;
}

KovaStatus endTextBlock(KovaRipper* ripper, uint8_t* row, uint8_t** rows, int32_t* rowCount) {
  if (ripper->fieldIndex > 0) ripper->carriedRow = row;
  if (rows) *rows = ripper->rowBlock;
  if (rowCount) *rowCount = int32_t(ripper->rowsInBlock);
  return kStatusOk;
}

}  // namespace kova
