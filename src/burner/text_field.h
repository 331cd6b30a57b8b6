// The steps the two text writers (delimited and row-image) share for one
// field: character bytes copied or transcoded to the end of the output,
// trimming, and qualifying in the default or the escape style. Every step
// works on the field text that starts at the output's end (recordBuffer +
// recordLength) and reserves its own room first.
#pragma once

#include <cstdint>

#include "kova/ripper.h"

namespace kova {

// length bytes of character text in the column's row encoding, copied or
// transcoded (at most 8 x length + 3 bytes) to the output's end; *n gets the
// field's bytes. A transcoder's nonzero status is returned unchanged.
[[nodiscard]] KovaStatus characterText(KovaRipper* burner, const KovaColumnState* state,
                                       const uint8_t* bytes, uint64_t length, uint64_t* n);

// The field's length without trailing blanks (CHAR) or after moving it over
// its leading blanks and dropping trailing ones (numbers, dates).
uint64_t trimCharacter(const KovaColumnState* state, uint8_t* text, uint64_t n);
uint64_t alignNumber(const KovaColumnState* state, uint8_t* text, uint64_t n);

// Qualifies the field of n bytes at the output's end when the table has a
// text qualifier: in the default style when it holds the qualifier, the
// separator, CR or LF (qualifiers inside doubled); in the escape
// style always (backslash escapes). *final gets the field's length.
[[nodiscard]] KovaStatus qualifyDefault(KovaRipper* burner, const KovaColumnState* state,
                                        uint64_t n, uint64_t* final);
[[nodiscard]] KovaStatus qualifyEscaped(KovaRipper* burner, uint64_t n, uint64_t* final);

}  // namespace kova
