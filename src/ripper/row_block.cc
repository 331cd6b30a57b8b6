#include "src/ripper/row_block.h"

#include <cstring>
#include <limits>
#include <string_view>

#include "src/convert/missing.h"
#include "src/host/log.h"
#include "src/host/pool.h"

namespace kova {
namespace {

// What a failed or impossible block size logs as the size asked for.
int64_t loggedSize(uint64_t size) {
  return size > uint64_t(std::numeric_limits<int32_t>::max()) ? std::numeric_limits<int32_t>::max()
                                                              : int64_t(size);
}

}  // namespace

void clearRow(const KovaRipper* ripper, uint8_t* row) {
  if (ripper->rowImage) {
    std::memset(row, ' ', ripper->rowLength);
    for (uint32_t i = 0; i < ripper->layoutCount; ++i) {
      const KovaRowImageEntry& entry = ripper->imageLayout[i];
      if (entry.length < 0 && entry.offset >= 0 &&
          uint64_t(entry.offset) + 8 <= ripper->rowLength) {
        std::memcpy(row + entry.offset, kMissingBytes, 8);
      }
    }
    return;
  }
  for (uint32_t i = 0; i < ripper->layoutCount; ++i) {
    const KovaLayoutEntry* entry = &ripper->typedLayout[i];
    writeIndicator(row, entry, nullIndicator(ripper, entry));
  }
}

KovaStatus sizeRowBlock(KovaRipper* ripper, uint64_t rows, bool discard) {
  static constexpr std::u16string_view kLabel = u"ensureBlockSize";
  uint64_t size = 0;
  if (rows > uint64_t(std::numeric_limits<int32_t>::max()) ||
      __builtin_mul_overflow(rows, ripper->rowLength, &size)) {
    logAllocationFailure(ripper->diagnostics, kLabel, loggedSize(UINT64_MAX));
    return kStatusNoMemory;
  }
  // A row of no bytes still needs a block to point at.
  void* block = poolResize(ripper->pool, ripper->rowBlock, size ? size : 1, discard);
  if (!block) {
    logAllocationFailure(ripper->diagnostics, kLabel, loggedSize(size));
    return kStatusNoMemory;
  }
  ripper->rowBlock = static_cast<uint8_t*>(block);
  ripper->blockCapacity = static_cast<int32_t>(rows);
  return kStatusOk;
}

uint8_t* initBlock(KovaRipper* ripper, int64_t n) {
  ripper->rowsInBlock = 0;
  if (n < 1) n = 1;
  if (n <= ripper->blockCapacity) {
    uint8_t* first = ripper->rowBlock;
    if (ripper->carriedRow) {
      std::memmove(first, ripper->carriedRow, ripper->rowLength);
      ripper->carriedRow = nullptr;
    } else {
      clearRow(ripper, first);
    }
    return first;
  }
  const bool carried = ripper->carriedRow != nullptr;
  const std::u16string_view label = carried ? u"initBlock[1]" : u"initBlock[2]";
  uint64_t size = 0;
  if (n > std::numeric_limits<int32_t>::max() ||
      __builtin_mul_overflow(uint64_t(n), ripper->rowLength, &size)) {
    logAllocationFailure(ripper->diagnostics, label, loggedSize(UINT64_MAX));
    return nullptr;
  }
  uint8_t* block;
  if (carried) {
    block = static_cast<uint8_t*>(poolAllocate(ripper->pool, size));
    if (block) {
      std::memcpy(block, ripper->carriedRow, ripper->rowLength);
      if (ripper->rowBlock) poolFree(ripper->pool, ripper->rowBlock);
      ripper->carriedRow = nullptr;
    }
  } else {
    block = static_cast<uint8_t*>(poolResize(ripper->pool, ripper->rowBlock, size, true));
    if (block) clearRow(ripper, block);
  }
  if (!block) {
    logAllocationFailure(ripper->diagnostics, label, loggedSize(size));
    return nullptr;
  }
  ripper->rowBlock = block;
  ripper->blockCapacity = static_cast<int32_t>(n);
  return block;
}

}  // namespace kova
