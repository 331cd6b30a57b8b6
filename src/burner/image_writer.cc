// The burner's row-image text writer: one line per row of a row-image
// layout, character slots copied or transcoded, numbers formatted, fields
// trimmed and qualified in the default style, each line ending with LF.
#include <cstring>

#include "src/burner/output.h"
#include "src/burner/text_field.h"
#include "src/convert/missing.h"
#include "src/ripper/operations.h"

namespace kova {
namespace {

// One slot of the row into trimmed text at the output's end; *n its bytes.
KovaStatus slotText(KovaRipper* burner, KovaColumnState* state, const uint8_t* row, uint64_t* n) {
  const KovaRowImageEntry* entry = state->imageEntry;
  const uint8_t* value = row + entry->offset;
  *n = 0;
  if (entry->length >= 0) {
    if (entry->length == 0) return kStatusOk;
    KovaStatus status = characterText(burner, state, value, uint64_t(entry->length), n);
    if (status != kStatusOk) return status;
    *n = trimCharacter(state, outputEnd(burner), *n);
    return kStatusOk;
  }
  double v;
  std::memcpy(&v, value, 8);
  if (isMissing(v)) return kStatusOk;
  KovaStatus status = makeRoom(burner, formattedRoom(state));
  if (status != kStatusOk) return status;
  *n = formatForOutput(burner, state, outputEnd(burner), v);
  if (*n > 0) *n = alignNumber(burner, state, outputEnd(burner), *n);
  return kStatusOk;
}

KovaStatus writeLines(KovaRipper* burner, const uint8_t* rows, uint64_t rowCount) {
  KovaStatus status = reserveForRows(burner, 20, rowCount);
  if (status != kStatusOk) return status;
  return writeTextRows(
      burner, rows, rowCount,
      [burner](KovaColumnState* state, const uint8_t* row, uint64_t* n) {
        const KovaStatus slotStatus = slotText(burner, state, row, n);
        if (slotStatus != kStatusOk || *n == 0) return slotStatus;
        return qualifyDefault(burner, state, *n, n);
      },
      [burner] { return appendByte(burner, '\n'); });
}

}  // namespace

KovaStatus imageWriteRows(KovaRipper* burner, const uint8_t* rows, uint64_t byteCount,
                          const uint8_t** data, uint64_t* dataLength) {
  return runWriter(burner, rows, byteCount, data, dataLength, writeLines);
}

}  // namespace kova
