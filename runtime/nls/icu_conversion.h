// Conversion between two encodings through ICU converters, with UTF-16 as
// the pivot. The caller owns the converters and the pivot buffer, so a
// conversion allocates nothing. Used by transcoders that have no fast path
// and by the service's transcodedLength.
#pragma once

#include <cstdint>

#include <unicode/ucnv.h>

#include "kova/host.h"

namespace kova::runtime {

inline constexpr int32_t kPivotUnits = 1024;

// Opens the ICU converter of name with the substituting callbacks that set
// *substituted whenever a byte sequence or a character had to be replaced
// (substituted may be null). Null when ICU cannot open it.
UConverter* openConverter(const char* name, bool* substituted);

struct IcuResult {
  KovaStatus status;  // 0, kStatusTargetTooSmall, or another status from ICU
  uint64_t length;    // bytes written (counted with a null target); 0 on failure
};

// Converts source from one converter's encoding to the other's, both reset
// first. With a null target only the length is computed (capacity ignored).
IcuResult convertIcu(UConverter* from, UConverter* to, UChar* pivot, const uint8_t* source,
                     uint64_t sourceBytes, uint8_t* target, uint64_t capacity);

}  // namespace kova::runtime
