// The burner's row writer for delimited text, one record per row. Not written yet:
// answers kStatusNotSupported.
#include "src/ripper/operations.h"

namespace kova {

KovaStatus delimitedWriteRows(KovaRipper*, const uint8_t*, uint64_t, const uint8_t**, uint64_t*) {
  return kStatusNotSupported;
}

}  // namespace kova
