#include "src/ripper/fragment.h"

#include <cstring>

#include "src/host/grow.h"
#include "src/host/log.h"
#include "src/ripper/held_field.h"
#include "src/ripper/rejects.h"

namespace kova {

KovaStatus appendFrag(KovaRipper* ripper, const uint8_t* bytes, uint64_t n,
                      std::u16string_view label) {
  // Bytes past what the field's column can take are not held.
  const uint64_t limit = heldFieldLimit(ripper);
  if (limit != UINT64_MAX) {
    const uint64_t room = ripper->fragmentLength < limit ? limit - ripper->fragmentLength : 0;
    if (n > room) n = room;
  }
  if (n == 0) return kStatusOk;
  uint64_t needed = ripper->fragmentLength + n;
  if (needed < n) {  // would wrap
    logAllocationFailure(ripper->diagnostics, label, -1);
    return kStatusNoMemory;
  }
  const KovaStatus status =
      growInSteps(ripper->pool, ripper->diagnostics, ripper->fragment, ripper->fragmentCapacity,
                  needed, ripper->fragmentLength != 0, label);
  if (status != kStatusOk) return status;
  if (ripper->fragmentLength == 0) noteFragmentStart(ripper, bytes);
  std::memcpy(ripper->fragment + ripper->fragmentLength, bytes, n);
  ripper->fragmentLength = needed;
  return kStatusOk;
}

}  // namespace kova
