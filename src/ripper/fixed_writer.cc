// The burner's row writer for FIXED and NATIVE records. Not written yet:
// answers kStatusNotSupported.
#include "src/ripper/operations.h"

namespace kova {

KovaStatus fixedWriteRows(KovaRipper*, const uint8_t*, uint64_t, const uint8_t**, uint64_t*) {
  return kStatusNotSupported;
}

}  // namespace kova
