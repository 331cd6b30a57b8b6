// The ripper's row block: initBlock prepares it for n rows and continues a
// carried row; clearRow and writeIndicator give a row its "nothing read yet"
// state. Used by every block parser. flushPending (end_of_input.cc) ends
// the input.
#pragma once

#include <cstdint>
#include <cstring>

#include "kova/ripper.h"
#include "src/ripper/force_inline.h"

namespace kova {

// Prepares rowBlock for at least n rows (n below 1 counts as 1) and returns
// the first row, which continues carriedRow when one was saved and is
// cleared otherwise. rowsInBlock becomes 0. Null when the block cannot be had
// (also when n rows would overflow the block size); the level-4 allocation
// line names "initBlock[1]" (a carried row) or "initBlock[2]".
uint8_t* initBlock(KovaRipper* ripper, int64_t n);

// Resizes rowBlock to rows rows, keeping the earlier rows unless discard is
// set, and sets blockCapacity. kStatusNoMemory (after the level-4 line
// labelled "ensureBlockSize") when it cannot be had; the block is then as
// it was.
KovaStatus sizeRowBlock(KovaRipper* ripper, uint64_t rows, bool discard);

// Row-image mode: every byte a blank and every number slot the missing
// value. Typed mode: every indicator null (-1, or -88 for a DOUBLE with
// nullAsMissing); the value bytes are left as they are.
void clearRow(const KovaRipper* ripper, uint8_t* row);

// The null indicator value of entry: -88 for a DOUBLE with nullAsMissing,
// else -1.
inline int64_t nullIndicator(const KovaRipper* ripper, const KovaLayoutEntry* entry) {
  return (ripper->nullAsMissing && entry->sqlType == kSqlDouble) ? kIndicatorNullDouble
                                                                 : kIndicatorNull;
}

// Writes value as a signed integer of the entry's indicator width (code 0:
// 8 bytes; 1, 2, 4: that many); any other code writes nothing. Inline: the
// converters write one per value. writeIndicatorAt takes the place and the
// masked code.
KOVA_ALWAYS_INLINE inline void writeIndicatorAt(uint8_t* at, uint32_t widthCode, int64_t value) {
  switch (widthCode) {
    case kIndicatorWidth8:
      std::memcpy(at, &value, 8);
      break;
    case kIndicatorWidth1: {
      auto narrow = static_cast<int8_t>(value);
      std::memcpy(at, &narrow, 1);
      break;
    }
    case kIndicatorWidth2: {
      auto narrow = static_cast<int16_t>(value);
      std::memcpy(at, &narrow, 2);
      break;
    }
    case kIndicatorWidth4: {
      auto narrow = static_cast<int32_t>(value);
      std::memcpy(at, &narrow, 4);
      break;
    }
    default:
      break;
  }
}

// The indicator of a typed entry in row: the value's length, or negative for
// a missing value. Width code 8 (no indicator) gives octetLength; an unknown
// code gives -1.
inline int64_t readIndicator(const uint8_t* row, const KovaLayoutEntry* entry) {
  const uint8_t* at = row + entry->indicatorOffset;
  switch (entry->indicatorWidth & kIndicatorWidthMask) {
    case kIndicatorWidth8: {
      int64_t v;
      std::memcpy(&v, at, 8);
      return v;
    }
    case kIndicatorWidth1:
      return static_cast<int8_t>(*at);
    case kIndicatorWidth2: {
      int16_t v;
      std::memcpy(&v, at, 2);
      return v;
    }
    case kIndicatorWidth4: {
      int32_t v;
      std::memcpy(&v, at, 4);
      return v;
    }
    case kIndicatorNone:
      return static_cast<int64_t>(entry->octetLength);
    default:
      return -1;
  }
}

inline void writeIndicator(uint8_t* row, const KovaLayoutEntry* entry, int64_t value) {
  writeIndicatorAt(row + entry->indicatorOffset, entry->indicatorWidth & kIndicatorWidthMask,
                   value);
}

// Slot 9: for DELIMITED tables, a record left without its terminator becomes
// one last row. kStatusNoMemory when the row cannot be had. XML tables end
// their document (xmlFlushPending).
KovaStatus flushPending(KovaRipper* ripper, uint8_t** rows, int32_t* rowCount);

}  // namespace kova
