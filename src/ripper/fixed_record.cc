// The record converters of FIXED and NATIVE tables: each column's bytes are
// taken from one record at the column's offset and moved into a row with
// their byte order, as a row image (fixedImageRecord) or a typed row
// (fixedTypedRecord). Columns whose bytes do not lie inside the record are
// left as the cleared row has them (blank, missing or null).
#include <algorithm>
#include <bit>
#include <cstring>

#include "src/convert/missing.h"
#include "src/ripper/convert_value.h"
#include "src/ripper/fixed_integer.h"
#include "src/ripper/operations.h"
#include "src/ripper/rejects.h"
#include "src/ripper/row_block.h"

namespace kova {
namespace {

// The column's bytes: count bytes at its offset, or null when they are not
// all inside the record.
const uint8_t* columnBytes(const KovaColumn* column, const uint8_t* record, int64_t length,
                           uint64_t count) {
  if (column->offset < 0 || length < 0 || uint64_t(column->offset) > uint64_t(length) ||
      count > uint64_t(length) - uint64_t(column->offset)) {
    return nullptr;
  }
  return record + column->offset;
}

// Tells the host (when it asked) that the column's value was not stored as
// read: its bytes lie at the column's offset in the record that fixedRipBlock
// noted. A record converted outside ripBlock has no place in the input.
void reportFixed(KovaRipper* ripper, const KovaColumnState* state, uint32_t reason,
                 const uint8_t* field, uint64_t n) {
  const ModuleRipper* m = moduleSide(ripper);
  if (!m->rejects) return;
  const bool inBlock = m->blockBegin != nullptr;
  const int64_t record = inBlock ? m->recordOffset : -1;
  reportValue(ripper, uint32_t(state - ripper->columns), reason, inBlock ? m->fixedRow : 0, field,
              n, record >= 0 ? record + state->column->offset : -1, record);
}

// A double of bytelength bytes: 8 or more take the first 8; fewer are the
// high-order bytes of the double, in the column's byte order, widened with
// zero low-order bytes. False when the bytes are not inside the record.
bool readDouble(const KovaColumnState* state, const uint8_t* record, int64_t length,
                uint8_t out[8]) {
  const KovaColumn* column = state->column;
  const uint64_t width =
      column->bytelength > 0 ? uint64_t(std::min<int64_t>(column->bytelength, 8)) : 0;
  const uint8_t* bytes = columnBytes(column, record, length, width);
  if (!bytes) return false;
  uint8_t wide[8] = {};
  // Big-endian bytes come first in the big-endian image, little-endian ones
  // last in the little-endian image: either way they are the high-order ones.
  std::memcpy(state->bigEndian ? wide : wide + 8 - width, bytes, width);
  copyOrdered(out, wide, 8, state->bigEndian != 0);
  return true;
}

// A binary integer of the given width as a double.
double integerAsDouble(const uint8_t* bytes, uint32_t width, bool isSigned, bool reverse) {
  uint8_t ordered[8];
  copyOrdered(ordered, bytes, width, reverse);
  uint64_t raw = 0;
  std::memcpy(&raw, ordered, width);
  if (!isSigned) return static_cast<double>(raw);
  const uint32_t unused = 64 - 8 * width;
  return static_cast<double>(static_cast<int64_t>(raw << unused) >> unused);
}

// Row-image number: the column's value as a double, or false when its
// c_type has none (the slot then keeps its missing value).
bool imageNumber(KovaRipper* ripper, KovaColumnState* state, const uint8_t* record, int64_t length,
                 double* value) {
  const KovaColumn* column = state->column;
  if (state->formatObject) {
    const uint64_t count = column->bytelength > 0 ? uint64_t(column->bytelength) : 0;
    const uint8_t* bytes = columnBytes(column, record, length, count);
    if (!bytes || count > UINT32_MAX) return false;
    const uint32_t before = ripper->truncations;
    *value = numInformat(ripper, state, bytes, uint32_t(count));
    if (ripper->truncations != before) reportFixed(ripper, state, kRejectCut, bytes, count);
    return true;
  }
  if (column->c_type == kCTypeDouble) {
    uint8_t bits[8];
    if (!readDouble(state, record, length, bits)) return false;
    std::memcpy(value, bits, 8);
    return true;
  }
  uint32_t width = 0;
  bool isSigned = true;
  switch (column->c_type) {
    case kCTypeInt8:
      width = 1;
      break;
    case kCTypeUint8:
      width = 1, isSigned = false;
      break;
    case kCTypeInt16:
      width = 2;
      break;
    case kCTypeUint16:
      width = 2, isSigned = false;
      break;
    case kCTypeInt32:
      width = 4;
      break;
    case kCTypeUint32:
      width = 4, isSigned = false;
      break;
    case kCTypeInt64:
      width = 8;
      break;
    case kCTypeUint64:
      width = 8, isSigned = false;
      break;
    default:
      return false;
  }
  // A field of another width than the c_type's: its low-order bytes, or
  // widened by its sign.
  const uint64_t field = column->bytelength > 0 ? uint64_t(column->bytelength) : width;
  const uint8_t* bytes = columnBytes(column, record, length, field);
  if (!bytes) return false;
  if (field == width) {
    *value = integerAsDouble(bytes, width, isSigned, state->bigEndian != 0);
  } else {
    uint8_t slot[8];
    if (moveWidenedInteger(slot, bytes, field, width, state->bigEndian != 0, isSigned)) {
      ++ripper->truncations;
      reportFixed(ripper, state, kRejectOutOfRange, bytes, field);
    }
    *value = integerAsDouble(slot, width, isSigned, false);
  }
  return true;
}

void imageText(KovaRipper* ripper, KovaColumnState* state, const uint8_t* record, int64_t length,
               uint8_t* row) {
  const KovaRowImageEntry* entry = state->imageEntry;
  const KovaColumn* column = state->column;
  uint8_t* at = row + entry->offset;
  const int64_t room = entry->length;
  if (!state->directTranscoder) {
    const uint8_t* bytes = columnBytes(column, record, length, uint64_t(room));
    if (bytes) std::memcpy(at, bytes, size_t(room));
    return;
  }
  const uint64_t count = column->bytelength > 0 ? uint64_t(column->bytelength) : 0;
  const uint8_t* bytes = columnBytes(column, record, length, count);
  if (!bytes || count > UINT32_MAX) return;
  const uint32_t before = ripper->truncations;
  int64_t written = transcodeDirect(ripper, state, bytes, uint32_t(count), at, room);
  if (ripper->truncations != before) reportFixed(ripper, state, kRejectCut, bytes, count);
  if (written < 0 || written >= room) return;
  padWithBlanks(state, at + written, uint64_t(room - written));
}

// The indicator of a missing double: -89 for "_", -87 to -62 for "A" to
// "Z", -88 for any other.
int64_t missingIndicator(const uint8_t bits[8]) {
  const uint8_t code = static_cast<uint8_t>(~bits[5]);
  if (code == 0x2D) return -89;
  if (code >= 0x41 && code <= 0x5A) return -87 + (code - 0x41);
  return -88;
}

// The indicator a negative value code becomes: -1, or with nullAsMissing a
// DOUBLE keeps its missing code (-89 to -62) and any other code is -88.
int64_t negativeIndicator(const KovaRipper* ripper, const KovaLayoutEntry* entry, int64_t v) {
  if (!ripper->nullAsMissing) return kIndicatorNull;
  if (entry->sqlType != kSqlDouble) return v;
  return v >= -89 && v <= -62 ? v : kIndicatorNullDouble;
}

}  // namespace

KovaStatus fixedImageRecord(KovaRipper* ripper, const uint8_t* bytes, int64_t length,
                            uint8_t* row) {
  const KovaObject* table = ripper->table;
  for (int32_t i = 0; i < table->columnCount; ++i) {
    KovaColumnState* state = &ripper->columns[i];
    if (!state->entry) continue;
    switch (state->valueKind) {
      case kValueDouble: {
        double value;
        if (imageNumber(ripper, state, bytes, length, &value)) {
          std::memcpy(row + state->imageEntry->offset, &value, 8);
        }
        break;
      }
      case kValueBytes:
      case kValueText:
        if (state->imageEntry->length > 0) imageText(ripper, state, bytes, length, row);
        break;
      default:
        break;
    }
  }
  return kStatusOk;
}

KovaStatus fixedTypedRecord(KovaRipper* ripper, const uint8_t* bytes, int64_t length,
                            uint8_t* row) {
  const KovaObject* table = ripper->table;
  for (int32_t i = 0; i < table->columnCount; ++i) {
    KovaColumnState* state = &ripper->columns[i];
    const KovaLayoutEntry* entry = state->typedEntry;
    if (!entry) continue;
    const KovaColumn* column = state->column;
    uint8_t* at = row + entry->dataOffset;
    const uint64_t octets = entry->octetLength;
    const uint64_t count = column->bytelength > 0 ? uint64_t(column->bytelength) : 0;
    int64_t v = kIndicatorNull;  // a column no converter stores stays null
    switch (state->valueKind) {
      case kValueInteger: {
        // The field is bytelength bytes (the slot's size when not given).
        const uint64_t width = count > 0 ? count : octets;
        const uint8_t* from = columnBytes(column, bytes, length, width);
        if (!from || octets == 0) break;
        if (width == octets) {
          copyOrdered(at, from, octets, state->bigEndian != 0);
        } else if (moveWidenedInteger(at, from, width, octets, state->bigEndian != 0)) {
          ++ripper->truncations;
          reportFixed(ripper, state, kRejectOutOfRange, from, width);
        }
        v = int64_t(octets);
        break;
      }
      case kValueDouble: {
        uint8_t bits[8];
        if (!readDouble(state, bytes, length, bits)) break;
        std::memcpy(at, bits, 8);
        v = isMissing(std::bit_cast<double>(bits)) ? missingIndicator(bits) : 8;
        break;
      }
      case kValueText: {
        const uint8_t* from = columnBytes(column, bytes, length, count);
        if (!from) break;
        KovaEncodingHandle* handle = state->targetHandle;
        if (!handle) break;
        uint64_t scratch = 0;
        KovaStatus status = handle->ops->checkValue(handle, from, count, 0, &scratch);
        if (status != kStatusOk) return status;
        const uint64_t kept = std::min(handle->ops->trimmedLength(handle, from, count, 0), octets);
        if (kept > 0) std::memcpy(at, from, kept);
        v = int64_t(kept);
        break;
      }
      case kValueBytes: {
        // Binary bytes are not text of any encoding: they are not checked.
        const uint8_t* from = columnBytes(column, bytes, length, octets);
        if (!from) break;
        if (octets > 0) std::memcpy(at, from, octets);
        v = int64_t(octets);
        break;
      }
      default:
        break;
    }
    writeIndicator(row, entry, v >= 0 ? v : negativeIndicator(ripper, entry, v));
  }
  return kStatusOk;
}

}  // namespace kova
