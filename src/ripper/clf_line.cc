// splitClfLine: one line of the Common Log Format (host, identity, user,
// [time], "request", status, size) cut into its seven fields, each handed to
// convertField in place.
#include <limits>

#include "src/ripper/clf_scan.h"
#include "src/ripper/operations.h"
#include "src/ripper/row_block.h"

namespace kova {

// A field whose closing byte is missing takes the rest of the line; the
// fields after it keep the cleared value of the row.
KovaStatus splitClfLine(KovaRipper* ripper, const uint8_t* bytes, int64_t length, uint8_t* row) {
  clearRow(ripper, row);
  if (!bytes || length < 0) return kStatusOk;
  cutClfLine(bytes, uint64_t(length), uint64_t(length),
             [&](uint32_t k, const uint8_t* first, uint64_t n) {
               if (n > std::numeric_limits<uint32_t>::max())
                 n = std::numeric_limits<uint32_t>::max();
               (void)convertField(ripper, row, k, first, static_cast<uint32_t>(n));
             });
  return kStatusOk;
}

}  // namespace kova
