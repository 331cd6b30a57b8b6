// Binary integer fields of FIXED and NATIVE records whose width is not the
// size of the row's integer slot (a SMALLINT kept in 4 bytes, an INT in 2).
#pragma once

#include <cstdint>

namespace kova {

// Moves the integer field of width bytes (in the column's byte order) into
// a little-endian slot of octets bytes (both at least 1): a wider field
// gives its low-order bytes, a narrower one is widened by its sign (by
// zeros when unsigned). Returns true when the field's value did not fit
// the slot (its dropped high-order bytes were not the kept value's
// extension), so that the caller can count the cut.
inline bool moveWidenedInteger(uint8_t* slot, const uint8_t* field, uint64_t width, uint64_t octets,
                               bool bigEndian, bool isSigned = true) {
  auto byteAt = [&](uint64_t i) { return bigEndian ? field[width - 1 - i] : field[i]; };
  const uint64_t kept = width < octets ? width : octets;
  for (uint64_t i = 0; i < kept; ++i) slot[i] = byteAt(i);
  const uint8_t fill = isSigned && (byteAt(kept - 1) & 0x80) ? 0xFF : 0x00;
  for (uint64_t i = kept; i < octets; ++i) slot[i] = fill;
  bool cut = false;
  for (uint64_t i = kept; i < width; ++i) cut |= byteAt(i) != fill;
  return cut;
}

}  // namespace kova
