// Block parsers of DELIMITED and NATIVE text tables: records end at CR, LF
// or CR LF (also when the CR ends one block and the LF begins the next),
// fields at the field separator; with a text qualifier a field that begins
// with it is read by the qualified-field rules. A field that lies whole in
// the block is converted in place by its column plan (field_plan.h); one that crosses a block
// waits in the fragment, and a begun row is carried into the next block.
#include <limits>

#include "src/ripper/field_plan.h"
#include "src/ripper/fragment.h"
#include "src/ripper/next_record.h"
#include "src/ripper/operations.h"
#include "src/ripper/plain_rows.h"
#include "src/ripper/qualified_field.h"
#include "src/ripper/rejects.h"
#include "src/ripper/terminator_scan.h"

namespace kova {
namespace {

constexpr uint8_t kCr = 13;
constexpr uint8_t kLf = 10;

// One block being parsed: where it lies and the row being filled.
struct TextBlock {
  KovaRipper* ripper;
  const uint8_t* begin;
  const uint8_t* end;
  uint8_t* row;
  int separator;  // -1: the table has none
  RowClearer clearer;
  uint32_t planned;  // columns converted by their plan (prepareFieldPlans)
};

// True when stop is an LF right after the CR that ended the previous
// record, with nothing between: it ends nothing, also when the table's field
// separator is LF.
inline bool lfAfterCr(const KovaRipper* ripper, const uint8_t* p, const uint8_t* stop) {
  return stop == p && *stop == kLf && ripper->lastTerminator == kCr;
}

// Ends a field with terminator t. The field is the fragment when fromFragment
// is set, else n bytes at bytes; start is where the field began in the block
// (for the row block's growth); after is the byte after the terminator. An
// LF right after the CR that ended the previous record (nothing between
// them) ends nothing.
inline KovaStatus endField(TextBlock& block, const uint8_t* bytes, uint64_t n, bool fromFragment,
                           uint8_t t, const uint8_t* start, bool bare, const uint8_t* after) {
  KovaRipper* ripper = block.ripper;
  if (bare && t == kLf && n == 0 && ripper->lastTerminator == kCr && !fromFragment) {
    ripper->lastTerminator = t;
    noteRecordStart(ripper, after);
    return kStatusOk;
  }
  // The fields of a header line are not converted: they would only count
  // as values that could not be read.
  const bool header = ripper->headerLinesLeft > 0;
  if (fromFragment) {
    if (!header) {
      convertPlannedField(ripper, block.planned, block.row, ripper->fieldIndex, ripper->fragment,
                          clampFieldLength(ripper->fragmentLength));
    }
    ripper->fragmentLength = 0;
  } else if (!header) {
    convertPlannedField(ripper, block.planned, block.row, ripper->fieldIndex, bytes,
                        clampFieldLength(n));
  }
  ripper->lastTerminator = t;
  if (int(t) == block.separator) {
    ++ripper->fieldIndex;
    return kStatusOk;
  }
  uint8_t* next =
      nextRecord(ripper, block.row, block.end - block.begin, block.end - start, &block.clearer);
  if (!next) return kStatusNoMemory;
  block.row = next;
  noteRecordStart(ripper, after);
  return kStatusOk;
}

// Finishes the field pending in the fragment with the first bytes of the
// block; *p moves past its terminator, or to the end when the field goes on.
KovaStatus continuePending(TextBlock& block, const TerminatorSet& terminators, const uint8_t** p) {
  KovaRipper* ripper = block.ripper;
  if (ripper->qualifierState != 0) {
    int64_t consumed = 0;
    uint8_t terminator = 0;
    KovaStatus status =
        continueQualified(ripper, block.begin, block.end - block.begin, &consumed, &terminator);
    if (status != kStatusOk) return status;
    if (terminator == 0) {
      *p = block.end;
      return kStatusOk;
    }
    *p = block.begin + consumed + 1;
    return endField(block, nullptr, 0, true, terminator, block.begin, false, *p);
  }
  const uint8_t* stop = terminators.find(block.begin, block.end);
  const uint8_t* textEnd = stop ? stop : block.end;
  KovaStatus status = appendFrag(ripper, block.begin, uint64_t(textEnd - block.begin));
  if (status != kStatusOk) return status;
  if (!stop) {
    *p = block.end;
    return kStatusOk;
  }
  *p = stop + 1;
  return endField(block, nullptr, 0, true, *stop, block.begin, false, *p);
}

// A block that failed still reports the rows it completed.
KovaStatus failed(KovaRipper* ripper, KovaStatus status, uint8_t** rows, int32_t* rowCount) {
  if (rows) *rows = ripper->rowBlock;
  if (rowCount) *rowCount = int32_t(ripper->rowsInBlock);
  return status;
}

template <bool kQualified>
KovaStatus ripText(KovaRipper* ripper, const uint8_t* bytes, int64_t length, uint8_t** rows,
                   int32_t* rowCount) {
  if (refusedBlock(bytes, length, rowCount)) return kStatusNotSupported;
  uint8_t* first = beginTextBlock(ripper, length, rowCount);
  if (!first) return failed(ripper, kStatusNoMemory, rows, rowCount);
  if (!bytes) bytes = first;  // an empty block: no byte is read
  TextBlock block{ripper,
                  bytes,
                  bytes + length,
                  first,
                  ripper->terminators[2] != 0 ? int(ripper->terminators[2]) : -1,
                  RowClearer(ripper),
                  prepareFieldPlans(ripper)};
  const TerminatorSet terminators(ripper);
  const uint8_t* p = block.begin;
  KovaStatus status = kStatusOk;
  if (ripper->fragmentLength > 0) {
    status = continuePending(block, terminators, &p);
    if (status != kStatusOk) return failed(ripper, status, rows, rowCount);
  }
  TerminatorCursor cursor(terminators, block.begin, block.end);
  PlainRows plain(ripper, block.planned, block.separator, terminators, block.begin, block.end);
  const uint8_t q = ripper->table->textqual;
  while (p < block.end) {
    if (plain.canRead(ripper)) {
      status = plain.read<kQualified>(&p, &block.row, block.clearer);
      if (status != kStatusOk) return failed(ripper, status, rows, rowCount);
      if (p == block.end) break;
    }
    if (kQualified && *p == q) {
      ripper->fragmentLength = 0;
      int64_t consumed = 0;
      uint8_t terminator = 0;
      status = startQualified(ripper, p, block.end - p, &consumed, &terminator);
      if (status != kStatusOk) return failed(ripper, status, rows, rowCount);
      if (terminator == 0) break;
      const bool copied = ripper->fragmentLength > 0;
      status = endField(block, p + 1, uint64_t(consumed - 2), copied, terminator, p, false,
                        p + consumed + 1);
      if (status != kStatusOk) return failed(ripper, status, rows, rowCount);
      p += consumed + 1;
      continue;
    }
    const uint8_t* stop = cursor.next(p);
    if (stop && int(*stop) == block.separator && ripper->headerLinesLeft <= 0 &&
        !lfAfterCr(ripper, p, stop)) {
      // The common case, a field ended by the separator, without the
      // bookkeeping of line ends.
      convertPlannedField(ripper, block.planned, block.row, ripper->fieldIndex, p,
                          clampFieldLength(uint64_t(stop - p)), uint64_t(block.end - p));
      ++ripper->fieldIndex;
      ripper->lastTerminator = *stop;
      p = stop + 1;
      continue;
    }
    if (!stop) {
      status = appendFrag(ripper, p, uint64_t(block.end - p));
      if (status != kStatusOk) return failed(ripper, status, rows, rowCount);
      ripper->qualifierState = 0;
      break;
    }
    status = endField(block, p, uint64_t(stop - p), false, *stop, p, true, stop + 1);
    if (status != kStatusOk) return failed(ripper, status, rows, rowCount);
    p = stop + 1;
  }
  return endTextBlock(ripper, block.row, rows, rowCount);
}

}  // namespace

KovaStatus qualifiedRipBlock(KovaRipper* ripper, const uint8_t* bytes, int64_t length,
                             uint8_t** rows, int32_t* rowCount) {
  return ripText<true>(ripper, bytes, length, rows, rowCount);
}

KovaStatus delimitedRipBlock(KovaRipper* ripper, const uint8_t* bytes, int64_t length,
                             uint8_t** rows, int32_t* rowCount) {
  return ripText<false>(ripper, bytes, length, rows, rowCount);
}

}  // namespace kova
