// The delimited writer's column plan: for each column, once at bind, whether
// its values may be written by a module-side fast path (integers, doubles,
// dates of the default date format, blank-trimmed CHAR text) instead of the
// host's general path. A fast path is chosen only when the field encoding
// writes ASCII as ASCII and the host, asked about a set of probe values,
// gives exactly the bytes the fast path gives. Kept in the module's own
// column settings. Called by bind and the delimited writer (and its tests).
#pragma once

#include <cstdint>

#include "kova/ripper.h"
#include "src/ripper/column_settings.h"

namespace kova {

enum class TextPlan : uint8_t {
  kGeneral = 0,  // through the host, as the column is bound
  kInteger,      // std::to_chars, as the host's formatInteger of width 20
  kDouble,       // std::to_chars shortest where it is 20 bytes or less
  kDate,         // YYMMDD10. of a date from 1582 to 3999, written in place
  kTrimChar,     // CHAR text trimmed of 0x20 blanks in place
  kTimestamp,    // "YYYY-MM-DD hh:mm:ss" of whole seconds from 1582 to 3999
};

inline TextPlan textPlanOf(const KovaRipper* burner, const KovaColumnState* state) {
  return static_cast<TextPlan>(settingsOf(burner, state).textPlan);
}

// True when the column's fast texts are final as written: the default
// style, and none of their bytes is the qualifier or a terminator (the
// general path would neither qualify nor align them).
inline bool fastTextIsFinal(const KovaRipper* burner, const KovaColumnState* state) {
  return settingsOf(burner, state).fastTextFinal;
}

// Chooses each column's plan (probing the host); every column of a burner
// that is not delimited keeps kGeneral.
void planTextColumns(KovaRipper* burner);

// Sets every column back to kGeneral (tests compare both paths).
void planGeneralText(KovaRipper* burner);

// The fast texts. Each writes ASCII at out and returns its length, or 0 when
// the value is outside what the fast path covers (the caller then takes the
// general path). REQUIRES: 24 bytes of room at out.
uint64_t integerText(int64_t value, uint8_t* out);
uint64_t doubleText(double value, uint8_t* out);
uint64_t dateText(double value, uint8_t* out);
uint64_t timestampText(double value, uint8_t* out);
// The length of text without its trailing 0x20 blanks.
uint64_t trimBlanks(const uint8_t* text, uint64_t n);

}  // namespace kova
