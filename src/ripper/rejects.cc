#include "src/ripper/rejects.h"

#include <cstring>

#include "src/ripper/operations.h"
#include "src/ripper/row_block.h"

namespace kova {
namespace {

KovaStatus trackedRipBlock(KovaRipper* ripper, const uint8_t* bytes, int64_t length, uint8_t** rows,
                           int32_t* rowCount) {
  ModuleRipper* m = moduleSide(ripper);
  m->blockBegin = bytes;
  m->blockEnd = bytes && length > 0 ? bytes + length : bytes;
  const KovaStatus status = m->innerRipBlock(ripper, bytes, length, rows, rowCount);
  m->blockBegin = m->blockEnd = nullptr;
  // A FIXED or VARBIN block that fails may be fed again (a failed
  // allocation leaves the ripper as it was): its bytes are not counted.
  const uint32_t recfm = ripper->table->recfm;
  const bool retried = status != kStatusOk && (recfm == kRecfmFixed || recfm == kRecfmVarbin);
  if (length > 0 && !retried) m->blockOffset += uint64_t(length);
  if (status == kStatusOk && ripper->qualifierState == 1) {
    // The host hears where the open field began: one stray qualifier can
    // take in the rest of the input. A block that ends right after a
    // qualifier (state 2) has closed its field unless the next byte doubles
    // it: nothing is open there, and a file whose last field is qualified
    // must not read as cut.
    KovaReject open{};
    open.column = ripper->fieldIndex;
    open.reason = kRejectOpenQualified;
    open.row = ripper->rowsInBlock;
    open.fieldOffset = m->qualifiedOffset;
    open.field = ripper->fragment;
    open.fieldLength = int64_t(ripper->fragmentLength);
    open.recordOffset = m->recordOffset;
    open.lineEnds = m->qualifiedLines;
    m->rejects->reject(m->rejects, ripper, &open);
  }
  return status;
}

// A qualifier as the last byte of the input (state 2) closed its field.
KovaStatus trackedFlushPending(KovaRipper* ripper, uint8_t** rows, int32_t* rowCount) {
  if (ripper->qualifierState == 2) noteQualifiedEnd(ripper, 0);  // the row this call hands back
  return flushPending(ripper, rows, rowCount);
}

bool blank(const uint8_t* bytes, uint32_t n) {
  for (uint32_t i = 0; i < n; ++i) {
    if (bytes[i] != ' ' && bytes[i] != '\t') return false;
  }
  return true;
}

}  // namespace

int64_t inputOffsetOf(const KovaRipper* ripper, const uint8_t* bytes) {
  const ModuleRipper* m = moduleSide(ripper);
  if (m->blockBegin && bytes >= m->blockBegin && bytes < m->blockEnd) {
    return int64_t(m->blockOffset + uint64_t(bytes - m->blockBegin));
  }
  if (ripper->fragment && bytes >= ripper->fragment &&
      bytes < ripper->fragment + ripper->fragmentCapacity && m->fragmentOffset >= 0 &&
      uint64_t(bytes - ripper->fragment) < m->fragmentExact) {
    return m->fragmentOffset + (bytes - ripper->fragment);
  }
  return -1;
}

void reportValue(KovaRipper* ripper, uint32_t column, uint32_t reason, uint32_t row,
                 const uint8_t* bytes, uint64_t n, int64_t fieldOffset, int64_t recordOffset) {
  ModuleRipper* m = moduleSide(ripper);
  if (!m->rejects) return;
  KovaReject reject{};
  reject.column = column;
  reject.reason = reason;
  reject.row = row;
  reject.fieldOffset = fieldOffset;
  reject.field = bytes;
  reject.fieldLength = int64_t(n);
  reject.recordOffset = recordOffset;
  m->rejects->reject(m->rejects, ripper, &reject);
}

void takeRejectSink(KovaRipper* ripper, uint32_t flags, KovaDiagnostics* diagnostics) {
  if ((flags & kRipperReportRejects) && diagnostics && !(flags & kRipperOutput)) {
    moduleSide(ripper)->rejects = reinterpret_cast<KovaRejectDiagnostics*>(diagnostics);
    moduleSide(ripper)->fragmentOffset = -1;
    moduleSide(ripper)->fragmentExact = UINT64_MAX;
    moduleSide(ripper)->recordOffset = 0;  // the first record begins with the input
    moduleSide(ripper)->qualifiedOffset = -1;
  }
}

void trackRejects(KovaRipper* ripper) {
  ModuleRipper* m = moduleSide(ripper);
  if (!m->rejects || ripper->ops.ripBlock == trackedRipBlock) return;
  const uint32_t recfm = ripper->table->recfm;
  if (recfm != kRecfmDelimited && recfm != kRecfmNative && recfm != kRecfmClf &&
      recfm != kRecfmFixed && recfm != kRecfmVarbin) {
    return;
  }
  m->innerRipBlock = ripper->ops.ripBlock;
  ripper->ops.ripBlock = trackedRipBlock;
  if (ripper->ops.flushPending == flushPending) ripper->ops.flushPending = trackedFlushPending;
}

void noteQualifiedStart(KovaRipper* ripper, const uint8_t* bytes) {
  ModuleRipper* m = moduleSide(ripper);
  if (!m->rejects) return;
  m->qualifiedOffset = inputOffsetOf(ripper, bytes);
  m->qualifiedLines = 0;
}

void noteQualifiedBytes(KovaRipper* ripper, const uint8_t* bytes, int64_t n) {
  ModuleRipper* m = moduleSide(ripper);
  if (!m->rejects || !bytes || n <= 0) return;
  const uint8_t* end = bytes + n;
  for (const uint8_t* at = bytes; at < end;) {
    const void* lf = std::memchr(at, '\n', size_t(end - at));
    if (!lf) break;
    ++m->qualifiedLines;
    at = static_cast<const uint8_t*>(lf) + 1;
  }
}

void noteQualifiedEnd(KovaRipper* ripper, uint32_t row) {
  ModuleRipper* m = moduleSide(ripper);
  if (!m->rejects || m->qualifiedLines == 0) return;
  KovaReject closed{};
  closed.column = ripper->fieldIndex;
  closed.reason = kRejectQualifiedLineEnds;
  closed.row = row;
  closed.fieldOffset = m->qualifiedOffset;
  closed.recordOffset = m->recordOffset;
  closed.lineEnds = m->qualifiedLines;
  m->qualifiedLines = 0;
  m->rejects->reject(m->rejects, ripper, &closed);
}

void reportBeyondLastColumn(KovaRipper* ripper, uint32_t fieldNumber, const uint8_t* bytes,
                            uint32_t n) {
  if (!bytes || n == 0) return;
  ModuleRipper* m = moduleSide(ripper);
  KovaReject reject{};
  reject.column = fieldNumber;
  reject.reason = kRejectBeyondLastColumn;
  reject.row = ripper->rowsInBlock;
  reject.fieldOffset = inputOffsetOf(ripper, bytes);
  reject.field = bytes;
  reject.fieldLength = int64_t(n);
  reject.recordOffset = m->recordOffset;
  m->rejects->reject(m->rejects, ripper, &reject);
}

void reportConverted(KovaRipper* ripper, KovaColumnState* state, const uint8_t* bytes, uint32_t n,
                     uint32_t truncationsBefore) {
  ModuleRipper* m = moduleSide(ripper);
  uint32_t reason = m->rejectReason;
  if (reason == 0 && ripper->truncations != truncationsBefore) reason = kRejectCut;
  // A null stored for a blank text is no loss.
  if (reason == 0 && !blank(bytes, n)) reason = kRejectNotReadable;
  if (reason == 0) return;
  KovaReject reject{};
  reject.column = uint32_t(state - ripper->columns);
  reject.reason = reason;
  reject.row = ripper->rowsInBlock;
  reject.fieldOffset = bytes ? inputOffsetOf(ripper, bytes) : -1;
  reject.field = bytes;
  reject.fieldLength = int64_t(n);
  reject.recordOffset = m->recordOffset;
  m->rejects->reject(m->rejects, ripper, &reject);
}

}  // namespace kova
