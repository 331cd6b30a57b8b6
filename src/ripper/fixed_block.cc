// The block parser of FIXED tables. Not written yet: answers
// kStatusNotSupported.
#include "src/ripper/operations.h"

namespace kova {

KovaStatus fixedRipBlock(KovaRipper*, const uint8_t*, int64_t, uint8_t**, int32_t*) {
  return kStatusNotSupported;
}

}  // namespace kova
