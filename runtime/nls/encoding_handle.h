// Encoding handles: number readers and writers and blank-aware text helpers
// for one registered encoding. Host objects released through their first
// slot; one thread at a time per handle. The locale argument of the number
// operations is not consulted: numbers are read and written with '.' as the
// decimal point and no grouping.
//
// What each operation does beyond the ABI header:
//  - readDouble/readInteger: blanks (the encoding's U+0020) around, an
//    optional sign, decimal digits; anything else is kStatusNotANumber, an
//    integer outside 64 bits (or a double beyond the double range)
//    kStatusDecimalOverflow. The scratch argument is set to 0.
//  - formatDouble/formatInteger: see formatDouble in number_text.h; the
//    flags are not looked at. A text that needs more than capacity bytes is
//    kStatusBufferTooSmall; *length is 0 on every failure.
//  - checkValue: kStatusCorruptData for bytes that are not well-formed text.
//  - fillBlanks: whole blanks; a byte count that is not a multiple of the
//    blank's size leaves the last partial unit as zero bytes.
//  - find: matches only where a character starts (even offsets in UTF-16,
//    lead bytes in the double-byte encodings); an empty pattern is at 0.
//  - alignLeft: moves the text over its leading blanks and blank-fills the
//    freed tail; the resulting length is the whole length, or with mode 0x6c
//    the length without trailing blanks.
#pragma once

#include <cstdint>

#include "kova/host.h"

namespace kova::runtime {

class Host;
struct EncodingEntry;

inline constexpr uint32_t kAlignDropTrailing = 0x6c;

// 0 and *handle, kStatusNoMemory when the Host refuses the allocation, or
// kStatusNotSupported when ICU cannot describe the encoding.
KovaStatus createEncodingHandle(Host& host, const EncodingEntry& entry,
                                KovaEncodingHandle** handle);

}  // namespace kova::runtime
