// The burner's row writer for row-image text, one line per row. Not written yet:
// answers kStatusNotSupported.
#include "src/ripper/operations.h"

namespace kova {

KovaStatus imageWriteRows(KovaRipper*, const uint8_t*, uint64_t, const uint8_t**, uint64_t*) {
  return kStatusNotSupported;
}

}  // namespace kova
