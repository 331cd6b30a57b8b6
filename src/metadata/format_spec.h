// Splitting a format or informat name of the form NAMEw.d into its name,
// width and decimals. Used by checkFormat and by column binding.
#pragma once

#include <cstdint>

#include "kova/host.h"

namespace kova {

// Returns the length of the name part, or -1 when the text is no NAMEw.d:
// no ".", width digits the locale cannot read, or decimals after the "." of a
// character format ("$..."). width and decimals start at 0 and are read with
// the locale's lenient integer reader. Examples: COMMA10.2 -> 5 (10, 2);
// BEST12. -> 4 (12); $CHAR20. -> 5 (20); $CHAR20.2 -> -1; BEST -> -1.
int64_t parseFormatSpec(KovaLocale* locale, const char16_t* text, int64_t length, int32_t* width,
                        int32_t* decimals);

}  // namespace kova
