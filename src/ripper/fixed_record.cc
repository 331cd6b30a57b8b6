// The record converters of FIXED tables, row-image and typed. Not written
// yet: each answers kStatusNotSupported.
#include "src/ripper/operations.h"

namespace kova {

KovaStatus fixedImageRecord(KovaRipper*, const uint8_t*, int64_t, uint8_t*) {
  return kStatusNotSupported;
}

KovaStatus fixedTypedRecord(KovaRipper*, const uint8_t*, int64_t, uint8_t*) {
  return kStatusNotSupported;
}

}  // namespace kova
