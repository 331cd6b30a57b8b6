// The block parser of VARBIN tables. Not written yet: answers
// kStatusNotSupported.
#include "src/ripper/operations.h"

namespace kova {

KovaStatus varBinaryRipBlock(KovaRipper*, const uint8_t*, int64_t, uint8_t**, int32_t*) {
  return kStatusNotSupported;
}

}  // namespace kova
