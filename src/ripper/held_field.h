// How much of a field that crosses blocks the ripper holds. A DELIMITED or
// NATIVE field bound for a typed character column is cut to the column's
// length anyway, so once the fragment holds comfortably more than the column
// can take (room for doubled qualifiers and a character cut included) the
// rest of the field is skipped: the row and the truncation count are those
// of the whole field, and a 300 MB field needs kilobytes. Of a field beyond
// the last column only the first byte is held. Called by appendFrag on the parser's
// thread.
#pragma once

#include <cstdint>

#include "kova/ripper.h"

namespace kova {

// The most fragment bytes the current field (ripper->fieldIndex) needs;
// UINT64_MAX when every byte counts (numbers, dates, informats, row images,
// header lines, other record formats).
uint64_t heldFieldLimit(const KovaRipper* ripper);

// The most bytes a field of the given column needs, the same way: 1 beyond
// the last column, UINT64_MAX for a row image or a column whose every byte
// counts. For parsers that track their fields themselves (CLF lines).
uint64_t heldColumnLimit(const KovaRipper* ripper, uint64_t column);

}  // namespace kova
