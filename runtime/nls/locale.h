// The host's locale: the number readers the module reaches through
// currentLocale. One per NLS service, owned by it; never released by the
// module. Stateless, so any thread may use it.
//
//  - parseIntegerStrict: an optional sign and ASCII digits, nothing else.
//  - parseInteger: the same with blanks (U+0020) allowed around.
//    Both refuse values outside 32 bits and leave *value unchanged on
//    failure (kStatusNotANumber, kStatusDecimalOverflow).
//  - readWideDouble / readWideInteger: the readers of number_text.h on
//    16-bit text. readWideDouble writes the standard missing value on
//    failure, so a caller that stores the result unchecked stores a missing
//    value rather than a stale one; readWideInteger leaves *value unchanged.
#pragma once

#include "kova/host.h"

namespace kova::runtime {

// The locale object; the same for every caller.
KovaLocale* hostLocale();

}  // namespace kova::runtime
