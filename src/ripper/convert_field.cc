// The field converter: one field of text into its column of a row. Not
// written yet: answers kStatusNotSupported and stores nothing.
#include "src/ripper/operations.h"

namespace kova {

KovaStatus convertField(KovaRipper*, uint8_t*, uint32_t, const uint8_t*, uint32_t) {
  return kStatusNotSupported;
}

}  // namespace kova
