// The burner's VARBIN writer and writeRowsInto: one VarbinRecord per row, a
// 4-byte total and then, for each bound column, its 1-based column number,
// its indicator in the shortest length form and the value's bytes by storage
// type. Integers are little-endian. The VARBIN reader makes one row of each
// record, so a batch of rows is written as that many records (a batch of one
// row is one record). writeRows grows its buffer field by field;
// writeRowsInto trusts the caller's room.
#include <algorithm>
#include <bit>
#include <cstring>

#include "kova/decimal.h"
#include "src/burner/output.h"
#include "src/convert/missing.h"
#include "src/ripper/operations.h"

namespace kova {
namespace {

// The most a field can add beyond its value bytes: column number, the
// longest length form and a 4-byte data length.
constexpr uint64_t kFieldOverhead = 4 + 9 + 4;
// The longest fixed-size value (a decimal).
constexpr uint64_t kFixedValueMax = 20;

// Little-endian stores into the output at p.
inline uint8_t* put(uint8_t* p, const void* bytes, uint64_t n) {
  std::memcpy(p, bytes, n);
  return p + n;
}
inline uint8_t* putI32(uint8_t* p, int32_t v) { return put(p, &v, 4); }

// A number's n bytes, in reverse order for a big-endian column (the reader
// reverses them back).
uint8_t* putNumber(uint8_t* p, const uint8_t* value, uint64_t n, bool bigEndian) {
  if (!bigEndian) return put(p, value, n);
  for (uint64_t i = 0; i < n; ++i) p[i] = value[n - 1 - i];
  return p + n;
}

// The length code bytes the reader takes as markers: 0xF8 (a signed byte
// follows), 0xFA (an i32 follows) and 0xF7 (an i64 follows).
constexpr uint8_t kLength8 = 0xF8;
constexpr uint8_t kLength32 = 0xFA;
constexpr uint8_t kLength64 = 0xF7;

// L in the shortest form the reader understands: one signed byte, unless
// that byte is a marker (then the marker 0xF8 and the byte); else an i32,
// else an i64.
uint8_t* putLength(uint8_t* p, int64_t length) {
  if (length >= INT8_MIN && length <= INT8_MAX) {
    const uint8_t code = static_cast<uint8_t>(static_cast<int8_t>(length));
    if (code == kLength8 || code == kLength32 || code == kLength64) *p++ = kLength8;
    *p = code;
    return p + 1;
  }
  if (length >= INT32_MIN && length <= INT32_MAX) {
    *p = kLength32;
    return putI32(p + 1, static_cast<int32_t>(length));
  }
  *p = kLength64;
  return put(p + 1, &length, 8);
}

uint16_t part(const uint8_t* value, int index) {
  uint16_t v;
  std::memcpy(&v, value + 2 * index, 2);
  return v;
}

// Writes one field at p; returns the end. REQUIRES the field's room.
uint8_t* putField(KovaRipper* burner, const KovaColumnState& state, const uint8_t* row,
                  uint8_t* p) {
  const KovaLayoutEntry* entry = state.typedEntry;
  const bool bigEndian = state.bigEndian != 0;
  int64_t length = readIndicator(row, entry);
  const uint8_t* value = row + entry->dataOffset;
  const uint32_t storage = entry->storageType;
  const bool marked = (entry->indicatorWidth & kIndicatorNumberMark) != 0;
  if (storage == kStorageBinary && marked && length > 8) {
    ++burner->truncations;  // no 8-byte number holds it: a null
    length = -1;
  }
  if ((storage == kStorageChar || storage == kStorageBinary || storage == 3) && length > 0 &&
      uint64_t(length) > entry->octetLength) {
    length = int64_t(entry->octetLength);
    ++burner->truncations;
  }
  p = putI32(p, static_cast<int32_t>(entry->ordinal));
  uint8_t* lengthAt = p;
  p = putLength(p, length);
  if (length < 0) return p;
  switch (storage) {
    case kStorageChar:
    case kStorageBinary:
    case 3: {
      if (storage == kStorageBinary && marked) {
        uint8_t number[8] = {};
        std::memcpy(number + (8 - length), value, uint64_t(length));
        uint64_t bits;
        std::memcpy(&bits, number, 8);
        if (isMissing(std::bit_cast<double>(bits))) {
          *lengthAt = 0xFF;
          return lengthAt + 1;
        }
        *lengthAt = 8;
        return put(lengthAt + 1, number, 8);
      }
      if (length == 0) return p;  // the length byte 0 alone, as the reader reads it
      p = putI32(p, static_cast<int32_t>(length));
      return put(p, value, uint64_t(length));
    }
    case 4:
    case kStorageInt32:
    case kStorageUint32:
      return putNumber(p, value, 4, bigEndian);
    case kStorageInt16:
    case kStorageUint16:
      return putNumber(p, value, 2, bigEndian);
    case 7:
    case kStorageInt8:
    case kStorageUint8:
      return put(p, value, 1);
    case kStorageInt64:
    case kStorageEightBytes:
      return putNumber(p, value, 8, bigEndian);
    case kStorageDecimal: {
      uint8_t k = kDecimalSize;
      while (k > 0 && value[k - 1] == 0) --k;
      *p++ = k;
      return put(p, value, k);
    }
    case kStorageDouble: {
      double v;
      std::memcpy(&v, value, 8);
      if (isMissing(v)) {
        *lengthAt = 0xFF;
        return lengthAt + 1;
      }
      return putNumber(p, value, 8, bigEndian);
    }
    case kStorageDateRecord:
      p = put(p, value, 2);
      *p++ = static_cast<uint8_t>(part(value, 1));
      *p++ = static_cast<uint8_t>(part(value, 2));
      return p;
    case kStorageTimeRecord:
      for (int i = 0; i < 3; ++i) *p++ = static_cast<uint8_t>(part(value, i));
      return p;
    case kStorageTimestampRecord:
      p = put(p, value, 2);
      for (int i = 1; i < 6; ++i) *p++ = static_cast<uint8_t>(part(value, i));
      return put(p, value + 12, 4);
    default:
      return put(p, value, std::min<uint64_t>(uint64_t(length), entry->octetLength));
  }
}

// The most bytes putField can write for the entry.
uint64_t fieldRoom(const KovaLayoutEntry* entry) {
  return kFieldOverhead + std::max<uint64_t>(entry->octetLength, kFixedValueMax);
}

// The batch's records into the burner's buffer, grown field by field.
KovaStatus writeRecords(KovaRipper* burner, const uint8_t* rows, uint64_t rowCount) {
  uint64_t first = 0;
  if (__builtin_mul_overflow(rowCount, burner->rowLength * 2, &first)) first = ~uint64_t(0);
  KovaStatus status = makeRoom(burner, first);
  if (status != kStatusOk) return status;
  const int32_t columnCount = burner->table->columnCount;
  for (uint64_t r = 0; r < rowCount; ++r) {
    const uint8_t* row = rows + r * burner->rowLength;
    status = makeRoom(burner, 4);
    if (status != kStatusOk) return status;
    const uint64_t start = burner->recordLength;
    burner->recordLength += 4;
    for (int32_t i = 0; i < columnCount; ++i) {
      const KovaLayoutEntry* entry = burner->columns[i].typedEntry;
      if (!entry) continue;
      status = makeRoom(burner, fieldRoom(entry));
      if (status != kStatusOk) return status;
      uint8_t* end = putField(burner, burner->columns[i], row, outputEnd(burner));
      burner->recordLength = uint64_t(end - burner->recordBuffer);
    }
    putI32(burner->recordBuffer + start, static_cast<int32_t>(burner->recordLength - start));
  }
  return kStatusOk;
}

}  // namespace

KovaStatus varbinWriteRows(KovaRipper* burner, const uint8_t* rows, uint64_t byteCount,
                           const uint8_t** data, uint64_t* dataLength) {
  return runWriter(burner, rows, byteCount, data, dataLength, writeRecords);
}

KovaStatus varbinWriteRowsInto(KovaRipper* burner, const uint8_t* rows, uint64_t, uint32_t rowCount,
                               uint8_t* destination, uint64_t, uint64_t* dataLength) {
  uint8_t* p = destination;
  const int32_t columnCount = burner->table->columnCount;
  for (uint32_t r = 0; r < rowCount; ++r) {
    const uint8_t* row = rows + uint64_t(r) * burner->rowLength;
    uint8_t* start = p;
    p += 4;
    for (int32_t i = 0; i < columnCount; ++i) {
      if (burner->columns[i].typedEntry) p = putField(burner, burner->columns[i], row, p);
    }
    putI32(start, static_cast<int32_t>(p - start));
  }
  *dataLength = uint64_t(p - destination);
  return kStatusOk;
}

}  // namespace kova
