// The burner's row writer for one VARBIN record per batch. Not written yet:
// answers kStatusNotSupported.
#include "src/ripper/operations.h"

namespace kova {

KovaStatus varbinWriteRows(KovaRipper*, const uint8_t*, uint64_t, const uint8_t**, uint64_t*) {
  return kStatusNotSupported;
}

KovaStatus varbinWriteRowsInto(KovaRipper*, const uint8_t*, uint64_t, uint32_t, uint8_t*, uint64_t,
                               uint64_t*) {
  return kStatusNotSupported;
}

}  // namespace kova
