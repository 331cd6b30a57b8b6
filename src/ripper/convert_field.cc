// convertField: what one field of text becomes in its column of a row. Text
// parsers and flushPending call it once per field; it decides between a
// null, a character value and a number, and writes the null indicator.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>

#include "src/convert/decimal.h"
#include "src/convert/missing.h"
#include "src/ripper/column_settings.h"
#include "src/ripper/convert_value.h"
#include "src/ripper/operations.h"
#include "src/ripper/rejects.h"
#include "src/ripper/row_block.h"

namespace kova {
namespace {

inline bool isNullText(const uint8_t* bytes, uint32_t n) {
  return n == 2 && bytes[0] == '\\' && bytes[1] == 'N';
}

// True when charInformat would store the n bytes (n >= 1) as they are: no
// informat, no cut at the character length or at the area, and no
// transcoding (none needed, or ASCII text that reads the same in the row).
inline bool plainCopy(KovaRipper* ripper, const KovaColumnState* state, const uint8_t* bytes,
                      uint32_t n, int64_t capacity) {
  const uint64_t charLength = state->charLength;
  if (int64_t(n) > capacity || n > uint32_t(INT32_MAX)) return false;
  if (charLength == 0 ? state->formatObject != nullptr : n > charLength) return false;
  return !state->directTranscoder || (settingsOf(ripper, state).asciiPasses && allAscii(bytes, n));
}

// Row-image mode: a number slot gets a double, a character slot blank-padded
// text.
void convertImage(KovaRipper* ripper, KovaColumnState* state, uint8_t* row, const uint8_t* bytes,
                  uint32_t n) {
  const KovaRowImageEntry* entry = state->imageEntry;
  uint8_t* at = row + entry->offset;
  if (entry->length < 0) {
    if (!bytes || n == 0) {
      std::memcpy(at, kMissingBytes, 8);
      return;
    }
    double value = numInformat(ripper, state, bytes, n);
    std::memcpy(at, &value, 8);
    return;
  }
  const int64_t length = entry->length;
  int64_t stored = bytes ? charInformat(ripper, state, bytes,
                                        int32_t(std::min<uint32_t>(n, INT32_MAX)), at, length)
                         : 0;
  if (stored < 0 || stored >= length) return;
  padWithBlanks(state, at + stored, uint64_t(length - stored));
}

// Integers of 1, 2, 4 and 8 bytes. A value outside the column's range is a
// null and counts as a truncation, never a part of the value.
bool readInteger(KovaRipper* ripper, KovaColumnState* state, const uint8_t* bytes, uint32_t n,
                 int64_t* value) {
  if (state->formatObject) {
    return informatInteger(ripper, numInformat(ripper, state, bytes, n), value);
  }
  KovaEncodingHandle* handle = state->sourceHandle;
  if (!handle) return false;
  uint64_t scratch = 0;
  KovaStatus status =
      handle->ops->readInteger(handle, ripper->locale, bytes, n, 0, value, &scratch);
  if (status == kStatusDecimalOverflow) {
    noteReject(ripper, kRejectOutOfRange);
    ++ripper->truncations;
  }
  return status == kStatusOk;
}

template <typename Int>
bool storeInteger(uint8_t* at, int64_t value) {
  if (value < std::numeric_limits<Int>::min() || value > std::numeric_limits<Int>::max()) {
    return false;
  }
  const auto narrow = static_cast<Int>(value);
  std::memcpy(at, &narrow, sizeof narrow);
  return true;
}

void convertInteger(KovaRipper* ripper, KovaColumnState* state, uint8_t* row, const uint8_t* bytes,
                    uint32_t n) {
  int64_t value = 0;
  const bool read = readInteger(ripper, state, bytes, n, &value);
  storeIntegerColumn(ripper, state->typedEntry, row, read ? &value : nullptr);
}

void convertTyped(KovaRipper* ripper, KovaColumnState* state, uint8_t* row, const uint8_t* bytes,
                  uint32_t n) {
  const KovaLayoutEntry* entry = state->typedEntry;
  if (!bytes || n == 0) {  // an empty field is a null
    writeIndicator(row, entry, nullIndicator(ripper, entry));
    return;
  }
  switch (entry->storageType) {
    case kStorageChar:
    case kStorageBinary: {
      if (plainCopy(ripper, state, bytes, n, int64_t(entry->octetLength))) {
        copyField(row + entry->dataOffset, bytes, n);
        writeIndicator(row, entry, int64_t(n));
        return;
      }
      int64_t stored = charInformat(ripper, state, bytes, int32_t(std::min<uint32_t>(n, INT32_MAX)),
                                    row + entry->dataOffset, int64_t(entry->octetLength));
      writeIndicator(row, entry, stored < 0 ? nullIndicator(ripper, entry) : stored);
      return;
    }
    case kStorageDouble: {
      double value = numInformat(ripper, state, bytes, n);
      std::memcpy(row + entry->dataOffset, &value, 8);
      writeIndicator(row, entry, isMissing(value) ? nullIndicator(ripper, entry) : 8);
      return;
    }
    case kStorageInt64:
    case kStorageInt32:
    case kStorageInt16:
    case kStorageInt8:
      convertInteger(ripper, state, row, bytes, n);
      return;
    case kStorageDecimal:
      convertDecimalText(ripper, state, row, reinterpret_cast<const char*>(bytes), n);
      return;
    default:  // no value of this kind comes from text: the column stays null
      return;
  }
}

}  // namespace

bool informatInteger(KovaRipper* ripper, double v, int64_t* value) {
  if (isMissing(v)) return false;
  // Truncation toward zero is defined only inside the 64-bit range (this
  // also refuses NaN and infinities).
  if (!(v >= -9223372036854775808.0 && v < 9223372036854775808.0)) {
    noteReject(ripper, kRejectOutOfRange);
    ++ripper->truncations;
    return false;
  }
  *value = static_cast<int64_t>(v);
  return true;
}

void storeIntegerColumn(KovaRipper* ripper, const KovaLayoutEntry* entry, uint8_t* row,
                        const int64_t* value) {
  if (value) {
    uint8_t* at = row + entry->dataOffset;
    bool stored;
    switch (entry->storageType) {
      case kStorageInt8:
        stored = storeInteger<int8_t>(at, *value);
        break;
      case kStorageInt16:
        stored = storeInteger<int16_t>(at, *value);
        break;
      case kStorageInt32:
        stored = storeInteger<int32_t>(at, *value);
        break;
      default:
        stored = storeInteger<int64_t>(at, *value);
        break;
    }
    if (stored) {
      writeIndicator(row, entry, int64_t(entry->octetLength));
      return;
    }
    noteReject(ripper, kRejectOutOfRange);
    ++ripper->truncations;
  }
  writeIndicator(row, entry, nullIndicator(ripper, entry));
}

void convertDecimalText(KovaRipper* ripper, const KovaColumnState* state, uint8_t* row,
                        const char* text, uint32_t n) {
  const KovaLayoutEntry* entry = state->typedEntry;
  writeIndicator(row, entry, nullIndicator(ripper, entry));
  const KovaColumn* column = state->column;
  DecimalValue value;
  // Precision and scale are the column's character and byte lengths, each
  // taken as a byte (the scale signed).
  KovaStatus status = parseDecimal(text, n, false, static_cast<uint8_t>(column->charlength),
                                   static_cast<int8_t>(column->bytelength), &value);
  if (status != kStatusOk) {
    noteReject(ripper, status == kStatusDecimalOverflow || status == kStatusDecimalPrecision
                           ? kRejectOutOfRange
                           : kRejectNotReadable);
    ++ripper->truncations;
    return;
  }
  std::memcpy(row + entry->dataOffset, &value, kDecimalSize);
  writeIndicator(row, entry, kDecimalSize);
}

KovaStatus convertField(KovaRipper* ripper, uint8_t* row, uint32_t fieldNumber,
                        const uint8_t* bytes, uint32_t length) {
  const KovaObject* table = ripper->table;
  if (int64_t(fieldNumber) >= int64_t(table->columnCount)) {
    if (moduleSide(ripper)->rejects) [[unlikely]] {
      reportBeyondLastColumn(ripper, fieldNumber, bytes, length);
    }
    return kStatusOk;
  }
  KovaColumnState* state = &ripper->columns[fieldNumber];
  if (!state->entry) return kStatusOk;
  if (table->recfm == kRecfmDelimited && bytes && isNullText(bytes, length)) {
    // "\N": a null; a row image keeps its cleared blanks or missing value.
    if (!ripper->rowImage) {
      writeIndicator(row, state->typedEntry, nullIndicator(ripper, state->typedEntry));
    }
    return kStatusOk;
  }
  // One call of each converter, so that it stays inline; a host that asked
  // for rejected values pays two tests more per field.
  ModuleRipper* m = moduleSide(ripper);
  const bool reporting = m->rejects != nullptr;
  const uint32_t truncations = ripper->truncations;
  if (reporting) [[unlikely]]
    m->rejectReason = 0;
  if (ripper->rowImage) {
    convertImage(ripper, state, row, bytes, length);
  } else {
    convertTyped(ripper, state, row, bytes, length);
  }
  if (reporting) [[unlikely]]
    checkConverted(ripper, state, row, bytes, length, truncations);
  return kStatusOk;
}

}  // namespace kova
