// describe: the row layout of a ripper or burner, typed or row-image, and the
// per-column state the converters need. Both variants set the bind slot and
// return a view of the ripper's layout, layoutCount and rowLength; null only
// when the entry array cannot be allocated. Offsets are worked out in 64 bits:
// a column that would push the row past its limits is laid out as not
// supported (logged) instead of wrapping.
#pragma once

#include "kova/ripper.h"

namespace kova {

// The largest data or indicator area of a typed row, and the largest
// row-image row.
inline constexpr uint64_t kTypedAreaLimit = 0xFFFFFFFFull;
inline constexpr int64_t kImageRowLimit = 0x7FFFFFF0;

const KovaRowLayout* describeTyped(KovaRipper* ripper);
const KovaRowLayout* describeRowImage(KovaRipper* ripper);

// The indicator width code for a value of octetLength bytes: 8 bytes (code
// 0) from 2^31, 4 from 32768, 2 from 128, else 1.
uint32_t indicatorWidthFor(uint64_t octetLength);

}  // namespace kova
