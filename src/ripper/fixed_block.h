// The end of a FIXED input: what the block parser (fixedRipBlock in
// operations.h) does with bytes it still holds when the host says no block
// follows. Called by flushPending of the ripper that owns the bytes.
#pragma once

#include "kova/ripper.h"

namespace kova {

// A partial record left in fragment cannot become a row: it is logged at
// level 3, counted in truncations and dropped, so a second call finds
// nothing. Nothing happens when no bytes are pending.
void fixedDropPartialRecord(KovaRipper* ripper);

}  // namespace kova
