// The CLF block parser with its mark scan on a given path: what
// newlineRipBlockUTF8 does with the widest path the CPU offers. Tests take
// every path through it. Used on the ripper's thread.
#pragma once

#include <cstdint>

#include "kova/ripper.h"
#include "src/ripper/terminator_scan.h"

namespace kova {

// newlineRipBlockUTF8 (operations.h) with the marks found on path.
// REQUIRES: scanPathAvailable(path).
KovaStatus ripClfBlockWith(KovaRipper* ripper, const uint8_t* bytes, int64_t length, uint8_t** rows,
                           int32_t* rowCount, ScanPath path);

}  // namespace kova
