// The record loop shared by the text block parsers of DELIMITED and NATIVE
// tables (and the transcoding front end, which hands them its UTF-8 copy of
// a block through qualifiedRipBlock or delimitedRipBlock): starting a block,
// closing a record and starting the next row, and ending a block with a
// half-done record carried into the next one.
// All state lives in the ripper; one thread at a time.
#pragma once

#include <cstdint>
#include <cstring>

#include "kova/ripper.h"
#include "src/ripper/row_block.h"
#include "src/ripper/short_copy.h"

namespace kova {

// Clears the rows of one block. In typed mode with the indicators packed
// after the values (as describe lays them out) a cleared row's indicators
// are copied in one piece; otherwise clearRow does the work. Build one per
// block: the host may change indicator width codes between blocks.
class RowClearer {
 public:
  explicit RowClearer(const KovaRipper* ripper);
  void clear(uint8_t* row) const {
    if (size_) {
      copyShort(row + low_, bytes_, size_);
    } else {
      clearRow(ripper_, row);
    }
  }

 private:
  static constexpr uint32_t kMaxBytes = 256;
  const KovaRipper* ripper_;
  uint64_t low_ = 0;
  uint32_t size_ = 0;  // 0: clearRow
  uint8_t bytes_[kMaxBytes];
};

// Starts a block of length bytes: rowsInBlock = 0, sizes the row block from
// the caller's estimate in *rowCount (below 1: none; then from the block
// length and rowLength, times 1.5), writes the estimate back and returns the
// first row (which continues carriedRow when one was saved), or null after
// the allocation line of initBlock.
uint8_t* beginTextBlock(KovaRipper* ripper, int64_t length, int32_t* rowCount);

// Closes the record whose row is row and returns the row of the next record,
// cleared. A record that was a header line (headerLinesLeft > 0) is dropped:
// its row is cleared and returned again. When the row block is full it grows
// by a factor taken from how much of the block was parsed: 1.5 when nothing
// was (blockLength == bytesLeft), else the larger of 1.5 and
// blockLength / (blockLength - bytesLeft). bytesLeft counts the block's bytes
// from the start of the field that ended the record. Null (after the level-4
// line labelled "nextRecord") when the row block cannot grow; the completed
// rows and rowsInBlock are then as before the call.
// clearer: how to clear the next row (null: clearRow).
uint8_t* nextRecord(KovaRipper* ripper, uint8_t* row, int64_t blockLength, int64_t bytesLeft,
                    const RowClearer* clearer = nullptr);

// Ends a block that did not fail: a half-done record (fieldIndex > 0) leaves
// its row as carriedRow for the next block; *rows = rowBlock and *rowCount =
// rowsInBlock. Returns 0.
KovaStatus endTextBlock(KovaRipper* ripper, uint8_t* row, uint8_t** rows, int32_t* rowCount);

}  // namespace kova
