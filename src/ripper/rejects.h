// Reporting of rejected values (kRipperReportRejects): which value of which
// row a ripper of a text or binary table could not store as read, and why,
// handed to the host's KovaRejectDiagnostics. Without the option none of
// this runs and the parsers pay one test of a null pointer per field (text
// tables) or per record (binary ones). Used on the
// ripper's one thread; the state lives in the module-side part of the ripper.
#pragma once

#include <cstdint>
#include <cstring>

#include "kova/ripper.h"
#include "src/ripper/column_settings.h"
#include "src/ripper/row_block.h"

namespace kova {

// createRipper: takes the sink when the options ask for it.
void takeRejectSink(KovaRipper* ripper, uint32_t flags, KovaDiagnostics* diagnostics);

// bind: puts the tracking ripBlock in front of the text parsers' one.
void trackRejects(KovaRipper* ripper);

// A converter says why the value it is storing was refused or cut.
inline void noteReject(KovaRipper* ripper, uint32_t reason) {
  moduleSide(ripper)->rejectReason = reason;
}

// Where bytes lie in the input fed since bind: in the block being parsed, or
// in the fragment when its bytes are input bytes in order; -1 otherwise.
int64_t inputOffsetOf(const KovaRipper* ripper, const uint8_t* bytes);

// FIXED and VARBIN: a value of column stored null or cut for reason, its
// bytes (n of them), and where they and their record lie in the input (-1
// unknown); row: its row among the rows of the call. Nothing without a
// sink. Called only where a value was refused, so it is out of line.
void reportValue(KovaRipper* ripper, uint32_t column, uint32_t reason, uint32_t row,
                 const uint8_t* bytes, uint64_t n, int64_t fieldOffset, int64_t recordOffset);

// appendFrag: the fragment starts afresh with bytes (when tracking).
inline void noteFragmentStart(KovaRipper* ripper, const uint8_t* bytes) {
  ModuleRipper* m = moduleSide(ripper);
  if (!m->rejects) return;
  m->fragmentOffset = bytes >= m->blockBegin && bytes < m->blockEnd && m->blockBegin
                          ? int64_t(m->blockOffset + uint64_t(bytes - m->blockBegin))
                          : -1;
  m->fragmentExact = UINT64_MAX;
}

// A held CLF line dropped input bytes: from the fragment's current end on,
// its bytes no longer stand at fragmentOffset plus their place.
inline void noteFragmentGap(KovaRipper* ripper) {
  ModuleRipper* m = moduleSide(ripper);
  if (m->rejects && ripper->fragmentLength < m->fragmentExact) {
    m->fragmentExact = ripper->fragmentLength;
  }
}

// A parser's record loop: the next record begins at bytes, which may be the
// end of the block (when tracking). Bytes of a transcoded copy are no place
// in the input: the offset is then unknown.
inline void noteRecordStart(KovaRipper* ripper, const uint8_t* bytes) {
  ModuleRipper* m = moduleSide(ripper);
  if (!m->rejects) return;
  if (m->blockBegin && bytes >= m->blockBegin && bytes <= m->blockEnd &&
      !(ripper->transcodeBuffer && bytes >= ripper->transcodeBuffer &&
        bytes <= ripper->transcodeBuffer + ripper->transcodeCapacity)) {
    m->recordOffset = int64_t(m->blockOffset + uint64_t(bytes - m->blockBegin));
  } else if (ripper->fragment && bytes >= ripper->fragment &&
             bytes < ripper->fragment + ripper->fragmentCapacity && m->fragmentOffset >= 0 &&
             uint64_t(bytes - ripper->fragment) < m->fragmentExact) {
    m->recordOffset = m->fragmentOffset + (bytes - ripper->fragment);
  } else {
    m->recordOffset = -1;
  }
}

// startQualified and continueQualified (when tracking): a qualified field
// opening at bytes, and the bytes it took in from one call.
void noteQualifiedStart(KovaRipper* ripper, const uint8_t* bytes);
void noteQualifiedBytes(KovaRipper* ripper, const uint8_t* bytes, int64_t n);
// The field has closed: said to the host when it took in line ends (row:
// the index of its row among the rows of the call).
void noteQualifiedEnd(KovaRipper* ripper, uint32_t row);

// The fragment's first count bytes were dropped (the opening qualifier).
inline void noteFragmentShift(KovaRipper* ripper, int64_t count) {
  ModuleRipper* m = moduleSide(ripper);
  if (m->rejects && m->fragmentOffset >= 0) m->fragmentOffset += count;
}

// convertField with a sink: a non-empty field after the last column, which
// no column stores.
void reportBeyondLastColumn(KovaRipper* ripper, uint32_t fieldNumber, const uint8_t* bytes,
                            uint32_t n);

// convertField with a sink, after converting the field (truncationsBefore:
// the count before): reports it when the converter noted a reason, counted
// a truncation, or (typed rows) stored a null for a text that was not blank.
// The test is inline so that the converter stays inline in convertField.
void reportConverted(KovaRipper* ripper, KovaColumnState* state, const uint8_t* bytes, uint32_t n,
                     uint32_t truncationsBefore);
inline void checkConverted(KovaRipper* ripper, KovaColumnState* state, const uint8_t* row,
                           const uint8_t* bytes, uint32_t n, uint32_t truncationsBefore) {
  if (moduleSide(ripper)->rejectReason != 0 || ripper->truncations != truncationsBefore ||
      (!ripper->rowImage && bytes && n > 0 && readIndicator(row, state->typedEntry) < 0)) {
    reportConverted(ripper, state, bytes, n, truncationsBefore);
  }
}

}  // namespace kova
