// How much of a CLF line that crosses blocks the ripper holds. The line's
// bytes are followed through the same parts as cutClfLine (clf_scan.h)
// finds: of each field only as many bytes as its column needs are held
// (heldColumnLimit), the bytes skipped between fields are dropped, and the
// bytes that end a part are kept. Cutting the held bytes again gives every
// field of a typed character column a prefix still longer than the column
// takes, and every other field whole, so the row and the truncation count
// are those of the whole line while a 200 MB line needs kilobytes. The
// state lives in the ripper's module side; used on the parser's thread.
#pragma once

#include <cstdint>
#include <string_view>

#include "kova/ripper.h"

namespace kova {

// Holds what the line needs of the n bytes at bytes, which continue the
// line pending in fragment (or start one when fragment is empty). 0, or
// kStatusNoMemory after appendFrag's allocation line under label; the
// fragment and the state are then as before the call. REQUIRES: no line
// end among the bytes.
[[nodiscard]] KovaStatus holdClfBytes(KovaRipper* ripper, const uint8_t* bytes, uint64_t n,
                                      std::u16string_view label);

}  // namespace kova
