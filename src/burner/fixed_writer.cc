// The burner's fixed writer (FIXED and NATIVE): reclen bytes per row, each
// bound column's field at its offset, moved by the column's value kind.
// Bytes no field covers are zero; a field that would end past the record is
// skipped and counted; nothing is read past a value's slot.
#include <algorithm>
#include <bit>
#include <cstring>

#include "src/burner/output.h"
#include "src/convert/missing.h"
#include "src/host/pool.h"
#include "src/ripper/operations.h"

namespace kova {
namespace {

constexpr uint8_t kBlank = 0x20;
constexpr int64_t kFirstSpecialMissing = -89;  // "_"; -88 ".", -87 to -62 "A" to "Z"
constexpr int64_t kLastSpecialMissing = -62;

uint64_t missingBits(int64_t indicator) {
  if (indicator < kFirstSpecialMissing || indicator > kLastSpecialMissing) return kMissingBits;
  if (indicator == -89) return kMissingUnderscoreBits;
  if (indicator == -88) return kMissingBits;
  return missingBitsFor(static_cast<char>('A' + (indicator + 87)));
}

void reverseBytes(uint8_t* bytes, uint64_t n) { std::reverse(bytes, bytes + n); }

// An 8-byte floating value into a field of width bytes: all 8 (reversed for
// a big-endian column), the 4 most significant when shorter, zero bytes
// after the 8 when wider.
void writeDouble(uint8_t* field, uint64_t width, uint64_t bits, bool bigEndian) {
  uint8_t bytes[8];
  std::memcpy(bytes, &bits, 8);
  if constexpr (std::endian::native == std::endian::big) reverseBytes(bytes, 8);
  if (bigEndian) reverseBytes(bytes, 8);
  if (width >= 8) {
    std::memcpy(field, bytes, 8);
    return;  // the bytes after the 8 are already zero
  }
  std::memcpy(field, bigEndian ? bytes : bytes + (8 - width), width);
}

// An integer of the row into width bytes: cut to the low bytes or
// sign-extended, in the column's byte order.
void writeInteger(uint8_t* field, uint64_t width, const uint8_t* value, uint64_t size,
                  bool bigEndian) {
  size = std::min<uint64_t>(size, 8);
  uint64_t bits = 0;
  std::memcpy(&bits, value, size);  // little-endian rows
  if (size > 0 && size < 8 && (value[size - 1] & 0x80)) bits |= ~uint64_t(0) << (size * 8);
  const uint8_t fill = static_cast<int64_t>(bits) < 0 ? 0xFF : 0x00;
  for (uint64_t i = 0; i < width; ++i) {
    const uint8_t byte = i < 8 ? static_cast<uint8_t>(bits >> (8 * i)) : fill;
    field[bigEndian ? width - 1 - i : i] = byte;
  }
}

// One column's field in the record; false when it does not fit the record.
bool writeField(KovaRipper* burner, const KovaColumnState* state, const uint8_t* row,
                uint8_t* record) {
  const KovaLayoutEntry* entry = state->typedEntry;
  const KovaColumn* column = state->column;
  const uint32_t kind = state->valueKind;
  const uint64_t width = (kind == kValueBytes || kind == kValueText)
                             ? entry->octetLength
                             : static_cast<uint64_t>(std::max<int64_t>(column->bytelength, 0));
  const uint64_t reclen = uint64_t(burner->table->reclen);
  if (column->offset < 0 || uint64_t(column->offset) > reclen ||
      width > reclen - uint64_t(column->offset)) {
    return false;
  }
  uint8_t* field = record + column->offset;
  const int64_t length = readIndicator(row, entry);
  const uint8_t* value = row + entry->dataOffset;
  switch (kind) {
    case kValueBytes:
      if (length < 0) {
        std::memset(field, kBlank, width);
      } else {
        std::memcpy(field, value, width);
      }
      return true;
    case kValueText: {
      uint64_t n = length < 0 ? 0 : uint64_t(length);
      if (n > width) {
        n = width;
        ++burner->truncations;
      }
      std::memcpy(field, value, n);
      std::memset(field + n, kBlank, width - n);
      return true;
    }
    case kValueDouble: {
      uint64_t bits;
      if (length < 0) {
        bits = missingBits(length);
      } else {
        std::memcpy(&bits, value, 8);
      }
      writeDouble(field, width, bits, state->bigEndian);
      return true;
    }
    case kValueInteger:
      if (length >= 0) writeInteger(field, width, value, entry->octetLength, state->bigEndian);
      return true;  // a missing integer: zero bytes
    default:
      return true;
  }
}

KovaStatus writeRecords(KovaRipper* burner, const uint8_t* rows, uint64_t rowCount) {
  const uint64_t reclen = uint64_t(burner->table->reclen);
  uint64_t size = 0;
  if (__builtin_mul_overflow(rowCount, reclen, &size)) return kStatusNoMemory;
  if (burner->recordBufferSize < size) {
    if (burner->recordBuffer) poolFree(burner->pool, burner->recordBuffer);
    burner->recordBufferSize = 0;
    burner->recordBuffer = static_cast<uint8_t*>(poolAllocate(burner->pool, size));
    if (!burner->recordBuffer) return kStatusNoMemory;
    burner->recordBufferSize = size;
  }
  if (size == 0) return kStatusOk;
  std::memset(burner->recordBuffer, 0, size);
  const int32_t columnCount = burner->table->columnCount;
  for (uint64_t r = 0; r < rowCount; ++r) {
    const uint8_t* row = rows + r * burner->rowLength;
    uint8_t* record = burner->recordBuffer + r * reclen;
    for (int32_t i = 0; i < columnCount; ++i) {
      const KovaColumnState* state = &burner->columns[i];
      if (!state->entry) continue;
      if (!writeField(burner, state, row, record)) ++burner->truncations;
    }
  }
  burner->recordLength = size;
  return kStatusOk;
}

}  // namespace

KovaStatus fixedWriteRows(KovaRipper* burner, const uint8_t* rows, uint64_t byteCount,
                          const uint8_t** data, uint64_t* dataLength) {
  return runWriter(burner, rows, byteCount, data, dataLength, writeRecords);
}

}  // namespace kova
