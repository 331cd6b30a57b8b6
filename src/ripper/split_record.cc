// splitRecord, the convertRecord of DELIMITED and NATIVE tables: one whole
// record (without its line end) into one row. CR and LF are data here, no
// header line is skipped, and a field with doubled qualifiers is collected in
// recordBuffer; every other field is handed over in place.
#include <cstring>
#include <limits>

#include "src/host/grow.h"
#include "src/ripper/operations.h"
#include "src/ripper/row_block.h"

namespace kova {
namespace {

// Appends n bytes to recordBuffer, keeping at least one byte free behind
// them; grows to a multiple of 1024 ("resultMakeRoom" when it cannot).
KovaStatus appendRecordText(KovaRipper* ripper, const uint8_t* bytes, uint64_t n) {
  uint64_t needed = ripper->recordLength + n + 1;
  const KovaStatus status =
      growInSteps(ripper->pool, ripper->diagnostics, ripper->recordBuffer, ripper->recordBufferSize,
                  needed, ripper->recordLength != 0, u"resultMakeRoom");
  if (status != kStatusOk) return status;
  if (n) std::memcpy(ripper->recordBuffer + ripper->recordLength, bytes, n);
  ripper->recordLength += n;
  return kStatusOk;
}

}  // namespace

KovaStatus splitRecord(KovaRipper* ripper, const uint8_t* bytes, int64_t length, uint8_t* row) {
  clearRow(ripper, row);
  const KovaObject* table = ripper->table;
  if (table->columnCount < 1) return kStatusOk;
  if (length < 0 || (!bytes && length > 0)) return kStatusNotSupported;
  const uint8_t separator = table->fieldsep;
  const uint8_t q = table->textqual;
  const uint8_t* p = bytes;
  const uint8_t* end = bytes + length;
  for (int32_t k = 0; k < table->columnCount; ++k) {
    if (q == 0 || p == end || *p != q) {
      // With no separator (0) a NUL byte is data: the field runs to the end.
      const uint8_t* stop =
          p < end && separator != 0
              ? static_cast<const uint8_t*>(std::memchr(p, separator, size_t(end - p)))
              : nullptr;
      const uint8_t* fieldEnd = stop ? stop : end;
      (void)convertField(ripper, row, uint32_t(k), p, clampFieldLength(uint64_t(fieldEnd - p)));
      if (!stop) return kStatusOk;
      p = stop + 1;
      continue;
    }
    // A qualified field: the text runs to the next qualifier that is not
    // doubled; the byte after that closing qualifier is taken as the
    // separator, whatever it is.
    const uint8_t* text = p + 1;
    const uint8_t* close = static_cast<const uint8_t*>(std::memchr(text, q, size_t(end - text)));
    if (!close) {
      (void)convertField(ripper, row, uint32_t(k), text, clampFieldLength(uint64_t(end - text)));
      return kStatusOk;
    }
    if (close + 1 == end || close[1] != q) {
      (void)convertField(ripper, row, uint32_t(k), text, clampFieldLength(uint64_t(close - text)));
      if (close + 1 == end) return kStatusOk;  // the closing qualifier ends the record
      p = close + 2;
      continue;
    }
    ripper->recordLength = 0;
    bool closed = false;
    const uint8_t* piece = text;
    for (;;) {
      const uint8_t* at =
          piece < end ? static_cast<const uint8_t*>(std::memchr(piece, q, size_t(end - piece)))
                      : nullptr;
      const uint8_t* pieceEnd = at ? at + 1 : end;
      KovaStatus status = appendRecordText(ripper, piece, uint64_t(pieceEnd - piece));
      if (status != kStatusOk) return status;
      if (!at) break;
      if (at + 1 < end && at[1] == q) {
        piece = at + 2;  // the second of the pair is skipped
        continue;
      }
      closed = true;
      piece = at + 1;
      break;
    }
    uint64_t n = ripper->recordLength - (closed ? 1 : 0);
    (void)convertField(ripper, row, uint32_t(k), ripper->recordBuffer, clampFieldLength(n));
    if (!closed || piece == end) return kStatusOk;
    p = piece + 1;
  }
  return kStatusOk;
}

}  // namespace kova
