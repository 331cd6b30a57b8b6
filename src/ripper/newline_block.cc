// CLF lines and the block parser that first transcodes a block to UTF-8.
// Not written yet: each answers kStatusNotSupported.
#include "src/ripper/operations.h"

namespace kova {

KovaStatus newlineRipBlock(KovaRipper*, const uint8_t*, int64_t, uint8_t**, int32_t*) {
  return kStatusNotSupported;
}

KovaStatus newlineRipBlockUTF8(KovaRipper*, const uint8_t*, int64_t, uint8_t**, int32_t*) {
  return kStatusNotSupported;
}

KovaStatus splitClfLine(KovaRipper*, const uint8_t*, int64_t, uint8_t*) {
  return kStatusNotSupported;
}

}  // namespace kova
