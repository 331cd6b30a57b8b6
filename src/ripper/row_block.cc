#include "src/ripper/row_block.h"

#include <cstring>
#include <limits>
#include <string_view>

#include "src/host/log.h"
#include "src/host/pool.h"
#include "src/ripper/fixed_block.h"
#include "src/ripper/newline_block.h"
#include "src/ripper/operations.h"
#include "src/ripper/qualified_field.h"

namespace kova {
namespace {

// The host's missing value as it lies in memory (0xFFFFD10000000000).
constexpr uint8_t kMissingBytes[8] = {0, 0, 0, 0, 0, 0xD1, 0xFF, 0xFF};

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

KovaStatus flushPending(KovaRipper* ripper, uint8_t** rows, int32_t* rowCount) {
  if (rowCount) *rowCount = 0;
  // A character held back from the last transcoded block joins the pending
  // record first.
  KovaStatus status = flushTranscodeTail(ripper);
  if (rows) *rows = ripper->rowBlock;
  if (status != kStatusOk) return status;
  if (ripper->table->recfm == kRecfmClf) return flushClfLine(ripper, rows, rowCount);
  if (ripper->table->recfm == kRecfmXml) return xmlFlushPending(ripper, rows, rowCount);
  if (ripper->table->recfm == kRecfmJson && !ripper->output && ripper->bound) {
    return jsonFinish(ripper);
  }
  if (ripper->table->recfm == kRecfmFixed) {
    fixedDropPartialRecord(ripper);
    return kStatusOk;
  }
  const uint32_t recfm = ripper->table->recfm;
  if ((recfm != kRecfmDelimited && recfm != kRecfmNative) ||
      (ripper->fragmentLength == 0 && ripper->fieldIndex < 1)) {
    return kStatusOk;
  }
  uint8_t* row = initBlock(ripper, 1);
  if (!row) return kStatusNoMemory;
  // A qualified field the input left open (or closed with its last byte)
  // loses its qualifiers like any other.
  if (ripper->qualifierState != 0) {
    dequalify(ripper, ripper->qualifierState == 2);
    ripper->qualifierState = 0;
  }
  const bool header = ripper->headerLinesLeft > 0;
  if (header) {
    --ripper->headerLinesLeft;
  } else if (ripper->fragmentLength > 0) {
    (void)convertField(ripper, row, ripper->fieldIndex, ripper->fragment,
                       ripper->fragmentLength > UINT32_MAX ? UINT32_MAX
                                                           : uint32_t(ripper->fragmentLength));
  }
  // The pending record has become this row (or was a header line); a second
  // call has nothing left.
  ripper->fragmentLength = 0;
  ripper->fieldIndex = 0;
  if (header) {
    clearRow(ripper, row);
    return kStatusOk;
  }
  ripper->rowsInBlock = 1;
  if (rows) *rows = row;
  if (rowCount) *rowCount = 1;
  return kStatusOk;
}

}  // namespace kova
