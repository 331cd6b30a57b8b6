#include "src/ripper/parsed_rows.h"

#include <cstring>

#include "src/host/pool.h"
#include "src/ripper/row_block.h"

namespace kova {

KovaStatus sizeBlockForBytes(KovaRipper* ripper, int64_t length) {
  const int64_t columns = ripper->table->columnCount > 0 ? ripper->table->columnCount : 1;
  const int64_t estimate = (length > 0 ? length : 0) / (columns * 10) + 10;
  if (estimate <= ripper->blockCapacity) return kStatusOk;
  return sizeRowBlock(ripper, uint64_t(estimate), true);
}

KovaStatus growRowBlock(KovaRipper* ripper) {
  const int64_t used = ripper->rowsInBlock;
  if (used < ripper->blockCapacity) return kStatusOk;
  // Growing by a fixed ten rows would copy the block once per ten records
  // of a block with more (short) records than the estimate.
  const int64_t rows = used + (used / 2 > 10 ? used / 2 : 10);
  return sizeRowBlock(ripper, uint64_t(rows), used == 0);
}

void restoreOpenRow(KovaRipper* ripper) {
  if (ripper->rowStarted && ripper->fragment && ripper->fragmentCapacity >= ripper->rowLength) {
    std::memcpy(ripper->rowBlock, ripper->fragment, ripper->rowLength);
  }
}

KovaStatus saveOpenRow(KovaRipper* ripper) {
  if (!ripper->rowStarted) return kStatusOk;
  if (!ripper->fragment || ripper->fragmentCapacity < ripper->rowLength) {
    void* saved = poolAllocate(ripper->pool, ripper->rowLength);
    if (!saved) return kStatusNoMemory;
    if (ripper->fragment) poolFree(ripper->pool, ripper->fragment);
    ripper->fragment = static_cast<uint8_t*>(saved);
    ripper->fragmentCapacity = ripper->rowLength;
  }
  std::memcpy(ripper->fragment,
              ripper->rowBlock + uint64_t(ripper->rowsInBlock) * ripper->rowLength,
              ripper->rowLength);
  return kStatusOk;
}

}  // namespace kova
