// Reporting of rejected values (kRipperReportRejects): which value of which
// row a ripper of a text table could not store as read, and why, handed to
// the host's KovaRejectDiagnostics. Without the option none of this runs
// and the parsers pay one test of a null pointer per field. Used on the
// ripper's one thread; the state lives in the module-side part of the ripper.
#pragma once

#include <cstdint>

#include "kova/ripper.h"
#include "src/ripper/column_settings.h"

namespace kova {

// createRipper: takes the sink when the options ask for it.
void takeRejectSink(KovaRipper* ripper, uint32_t flags, KovaDiagnostics* diagnostics);

// bind: puts the tracking ripBlock in front of the text parsers' one.
void trackRejects(KovaRipper* ripper);

// A converter says why the value it is storing was refused or cut.
inline void noteReject(KovaRipper* ripper, uint32_t reason) {
  moduleSide(ripper)->rejectReason = reason;
}

// appendFrag: the fragment starts afresh with bytes (when tracking).
inline void noteFragmentStart(KovaRipper* ripper, const uint8_t* bytes) {
  ModuleRipper* m = moduleSide(ripper);
  if (!m->rejects) return;
  m->fragmentOffset = bytes >= m->blockBegin && bytes < m->blockEnd && m->blockBegin
                          ? int64_t(m->blockOffset + uint64_t(bytes - m->blockBegin))
                          : -1;
}

// The fragment's first count bytes were dropped (the opening qualifier).
inline void noteFragmentShift(KovaRipper* ripper, int64_t count) {
  ModuleRipper* m = moduleSide(ripper);
  if (m->rejects && m->fragmentOffset >= 0) m->fragmentOffset += count;
}

// convertField with a sink: converts the field through convert, then
// reports it when the converter noted a reason, counted a truncation, or
// (typed rows) stored a null for a text that was not blank.
void convertReporting(KovaRipper* ripper, KovaColumnState* state, uint8_t* row,
                      const uint8_t* bytes, uint32_t n,
                      void (*convert)(KovaRipper*, KovaColumnState*, uint8_t*, const uint8_t*,
                                      uint32_t));

}  // namespace kova
