// Rows of plain text fields read in one pass: when every column of a
// delimited table is a text column its plan copies in place, a row whose
// fields hold no qualifier, "\N", cut value or (for transcoded input) a
// non-ASCII byte, and that ends in LF or CR LF, is read by walking the
// terminator bits of each 64-byte window: one bit per field end, with no
// return to the record loop between fields. The first field it cannot read
// this way is handed to the record loop (delimited_block.cc) with the
// ripper's state exactly as the record loop would have left it, so the rows
// are the same bytes either way. Used on the ripper's one thread.
#pragma once

#include <cstdint>

#include "kova/ripper.h"
#include "src/ripper/next_record.h"
#include "src/ripper/terminator_scan.h"
#include "src/ripper/force_inline.h"

namespace kova {

class PlainRows {
 public:
  // For one block [begin, end) whose columns have their plans prepared
  // (planned: prepareFieldPlans' result); separator as the record loop
  // keeps it (-1: none).
  PlainRows(KovaRipper* ripper, uint32_t planned, int separator, const TerminatorSet& set,
            const uint8_t* begin, const uint8_t* end, ScanPath path = bestScanPath());

  // False when no row of the block can be read this way.
  bool enabled() const { return columns_ != 0; }

  // Whether read may take the field the record loop is at: a record start
  // (not the LF after the CR that ended a record) or a later field of a
  // table column, after a separator; no fragment, no header line left.
  bool canRead(const KovaRipper* ripper) const {
    if (columns_ == 0 || ripper->fragmentLength != 0 || ripper->headerLinesLeft > 0) return false;
    if (ripper->fieldIndex == 0) return ripper->lastTerminator != 13;
    return ripper->fieldIndex < columns_ && ripper->lastTerminator == separator_;
  }

  // Reads the fields from *p (where canRead says the record loop is) into
  // *row, and the rows after it. Returns with *p at the first field it did
  // not read (fieldIndex and lastTerminator set for it, *row cleared where
  // it was not written) or at the end of the block; kStatusNoMemory when
  // the row block cannot grow.
  template <bool kQualified>
  KovaStatus read(const uint8_t** p, uint8_t** row, const RowClearer& clearer);

 private:
  template <bool kQualified, uint32_t kWidthCode>
  KovaStatus readRows(const uint8_t** p, uint8_t** row, const RowClearer& clearer);

  void load(uint64_t at);

  // Makes the pending bits those of the terminators at or after p.
  void seek(const uint8_t* p) {
    const uint64_t at = uint64_t(p - begin_);
    if (loaded_ && at >= base_ && at - base_ < 64) {
      bits_ = full_ & (~uint64_t(0) << (at - base_));
    } else {
      load(at);
    }
  }

  // The next terminator not yet taken, or null at the end of the block.
  KOVA_ALWAYS_INLINE const uint8_t* nextStop() {
    while (bits_ == 0) {
      if (size_ - base_ <= 64) return nullptr;
      load(base_ + 64);
    }
    const uint64_t k = uint64_t(__builtin_ctzll(bits_));
    bits_ &= bits_ - 1;
    return begin_ + base_ + k;
  }

  KovaRipper* ripper_;
  const TerminatorSet& set_;
  const uint8_t* begin_;
  const uint8_t* end_;
  uint64_t size_;
  WindowMask window_;
  uint64_t base_ = 0;  // the window's first byte, from begin_
  uint64_t full_ = 0;  // the window's terminators
  uint64_t bits_ = 0;  // those not taken yet
  bool loaded_ = false;
  uint32_t columns_ = 0;  // 0: disabled
  uint8_t separator_ = 0;
  uint8_t qualifier_ = 0;
  // Every indicator has width code sharedWidth_ (0xFF: they differ), and
  // the indicators lie back to back in column order, so that writing all
  // of them leaves a row as clearing it and writing them would: a row is
  // then not cleared before it is filled.
  uint8_t sharedWidth_ = 0xFF;
  bool fillsIndicators_ = false;
};

}  // namespace kova
