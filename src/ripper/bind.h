// bind: prepares every column once (informat or format, transcoders,
// encoding handles) and what the record format needs (record buffer, XML or
// JSON parser, tag tree), then installs the record format's operations.
// Installed in slot 3 by describe. A bound ripper answers 0 at once.
#pragma once

#include <cstdint>

#include "kova/ripper.h"

namespace kova {

KovaStatus bind(KovaRipper* ripper);

// Splits NAMEw.d for binding: the name's length (an empty name becomes "F")
// in *nameLength with *name pointing at it, width and decimals. False when
// the text is no NAMEw.d (no ".", unreadable digits, decimals after a
// character format's "."): then nothing is bound.
bool splitFormatName(KovaLocale* locale, const char16_t* text, int64_t length,
                     const char16_t** name, int64_t* nameLength, int32_t* width, int32_t* decimals);

// Steps of bind, in bind_columns.cc and bind_format.cc.
KovaStatus bindColumns(KovaRipper* ripper);
KovaStatus bindRecordFormat(KovaRipper* ripper);
KovaStatus checkBindable(const KovaRipper* ripper);

}  // namespace kova
