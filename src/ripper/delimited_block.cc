// Block parsers of DELIMITED and NATIVE text tables and their record
// converter. Not written yet: each answers kStatusNotSupported.
#include "src/ripper/operations.h"

namespace kova {

KovaStatus qualifiedRipBlock(KovaRipper*, const uint8_t*, int64_t, uint8_t**, int32_t*) {
  return kStatusNotSupported;
}

KovaStatus delimitedRipBlock(KovaRipper*, const uint8_t*, int64_t, uint8_t**, int32_t*) {
  return kStatusNotSupported;
}

KovaStatus splitRecord(KovaRipper*, const uint8_t*, int64_t, uint8_t*) {
  return kStatusNotSupported;
}

}  // namespace kova
