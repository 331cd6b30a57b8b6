// The ripper's fragment: bytes of a field or line that a block did not
// finish, kept until a later block completes it. Grows in multiples of 1024
// bytes and keeps its memory for the life of the ripper.
#pragma once

#include <cstdint>
#include <string_view>

#include "kova/ripper.h"

namespace kova {

// Appends n bytes to fragment. 0, or kStatusNoMemory after logging
// "[label] : Failed to allocate memory. Space requested=[size]" (the
// fragment is then unchanged). label: "appendFrag", or the CLF parser's.
KovaStatus appendFrag(KovaRipper* ripper, const uint8_t* bytes, uint64_t n,
                      std::u16string_view label = u"appendFrag");

}  // namespace kova
