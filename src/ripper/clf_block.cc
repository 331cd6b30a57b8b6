// newlineRipBlockUTF8: the block parser of CLF tables. Lines end at LF (a CR
// right before the LF is not part of the line); each whole line becomes one
// row through convertRecord. A line the block does not finish waits in
// fragment; rows are never carried, so the row block is sized here rather
// than by initBlock.
#include <algorithm>
#include <cstring>
#include <limits>
#include <string_view>

#include "src/host/log.h"
#include "src/host/pool.h"
#include "src/ripper/fragment.h"
#include "src/ripper/end_of_input.h"
#include "src/ripper/operations.h"
#include "src/ripper/rejects.h"
#include "src/ripper/row_block.h"

namespace kova {
namespace {

constexpr std::u16string_view kFragmentLabel = u"newlineRipBlockUTF8";

}  // namespace

KovaStatus newlineRipBlockUTF8(KovaRipper* ripper, const uint8_t* bytes, int64_t length,
                               uint8_t** rows, int32_t* rowCount) {
  ripper->rowsInBlock = 0;
  *rowCount = 0;
  *rows = ripper->rowBlock;
  KovaStatus status = kStatusOk;
  const int64_t columns = ripper->table->columnCount > 0 ? ripper->table->columnCount : 1;
  const uint64_t estimate = uint64_t(length > 0 ? length : 0) / uint64_t(10 * columns) + 10;
  if (estimate > uint64_t(ripper->blockCapacity)) {
    status = sizeRowBlock(ripper, estimate, true);
    *rows = ripper->rowBlock;
    if (status != kStatusOk) return status;
  }
  if (!bytes || length <= 0) return kStatusOk;

  const uint8_t* at = bytes;
  const uint8_t* const end = bytes + length;
  while (at < end) {
    const auto* lf = static_cast<const uint8_t*>(std::memchr(at, '\n', size_t(end - at)));
    if (!lf) {
      // The line goes on in the next block.
      status = appendFrag(ripper, at, uint64_t(end - at), kFragmentLabel);
      break;
    }
    uint64_t lineLength = uint64_t(lf - at);
    if (lineLength > 0 && lf[-1] == '\r') {
      --lineLength;
    } else if (lineLength == 0 && ripper->fragmentLength > 0 &&
               ripper->fragment[ripper->fragmentLength - 1] == '\r') {
      // The CR ended the previous block: it is the last byte of fragment.
      --ripper->fragmentLength;
    }
    const uint8_t* line = at;
    if (ripper->fragmentLength > 0) {
      status = appendFrag(ripper, at, lineLength, kFragmentLabel);
      if (status != kStatusOk) break;
      line = ripper->fragment;
      lineLength = ripper->fragmentLength;
    }
    at = lf + 1;
    if (lineLength == 0) continue;  // an empty line gives no row
    if (ripper->rowsInBlock >= uint32_t(ripper->blockCapacity)) {
      // Half again as many rows, at least 10, so that a block of short
      // lines grows its row block a few times rather than once per 10 rows.
      const uint64_t used = ripper->rowsInBlock;
      status = sizeRowBlock(ripper, used + std::max<uint64_t>(10, used / 2), used == 0);
      if (status != kStatusOk) break;
    }
    uint8_t* row = ripper->rowBlock + uint64_t(ripper->rowsInBlock) * ripper->rowLength;
    ripper->fragmentLength = 0;
    noteRecordStart(ripper, line);
    status = ripper->ops.convertRecord(ripper, line, int64_t(lineLength), row);
    if (status != kStatusOk) break;
    ++ripper->rowsInBlock;
  }
  *rows = ripper->rowBlock;
  *rowCount = int32_t(ripper->rowsInBlock);
  return status;
}

KovaStatus flushClfLine(KovaRipper* ripper, uint8_t** rows, int32_t* rowCount) {
  uint64_t length = ripper->fragmentLength;
  // A CR at the very end stood before a line feed the input no longer has.
  if (length > 0 && ripper->fragment[length - 1] == '\r') --length;
  ripper->fragmentLength = 0;
  if (length == 0) return kStatusOk;
  uint8_t* row = initBlock(ripper, 1);
  if (!row) return kStatusNoMemory;
  noteRecordStart(ripper, ripper->fragment);
  KovaStatus status = ripper->ops.convertRecord(ripper, ripper->fragment, int64_t(length), row);
  if (status != kStatusOk) return status;
  ripper->rowsInBlock = 1;
  if (rows) *rows = row;
  if (rowCount) *rowCount = 1;
  return kStatusOk;
}

}  // namespace kova
