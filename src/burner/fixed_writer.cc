// The burner's fixed writer (FIXED and NATIVE): reclen bytes per row, each
// bound column's field at its offset, moved by the column's value kind.
// Bytes no field covers are zero; a field that would end past the record is
// skipped and counted; nothing is read past a value's slot.
#include <algorithm>
#include <bit>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "src/burner/output.h"
#include "src/convert/missing.h"
#include "src/host/grow.h"
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
    std::memset(field + 8, 0, width - 8);
    return;
  }
  std::memcpy(field, bigEndian ? bytes : bytes + (8 - width), width);
}

// An integer of the row into width bytes: cut to the low bytes or
// sign-extended, in the column's byte order.
void writeInteger(uint8_t* field, uint64_t width, const uint8_t* value, uint64_t size,
                  bool bigEndian) {
  size = std::min<uint64_t>(size, 8);
  if (width == size && !bigEndian) {  // the usual field: the value as it is
    std::memcpy(field, value, width);
    return;
  }
  uint64_t bits = 0;
  std::memcpy(&bits, value, size);  // little-endian rows
  if (size > 0 && size < 8 && (value[size - 1] & 0x80)) bits |= ~uint64_t(0) << (size * 8);
  const uint8_t fill = static_cast<int64_t>(bits) < 0 ? 0xFF : 0x00;
  for (uint64_t i = 0; i < width; ++i) {
    const uint8_t byte = i < 8 ? static_cast<uint8_t>(bits >> (8 * i)) : fill;
    field[bigEndian ? width - 1 - i : i] = byte;
  }
}

// How a field is written: the usual little-endian fields with a one-byte
// indicator have moves of their own; every other field goes the general way.
enum class Move : uint8_t { kGeneral, kInt8, kInt16, kInt32, kInt64, kDouble, kText };

// What a bound column writes, read once per call.
struct FieldPlan {
  Move move;
  uint32_t kind;
  bool bigEndian;
  uint64_t width;
  uint64_t offset;
  uint64_t dataOffset;
  uint64_t valueSize;  // octetLength
  uint64_t indicatorOffset;
  const KovaLayoutEntry* entry;
};

// Room for the plans of this many columns on the stack; wider tables are
// written in several passes over the batch.
constexpr int32_t kPlanColumns = 64;

// The column's plan; false when its field would end past the record.
bool planField(const KovaColumnState* state, uint64_t reclen, FieldPlan* plan) {
  const KovaLayoutEntry* entry = state->typedEntry;
  const KovaColumn* column = state->column;
  const uint32_t kind = state->valueKind;
  const uint64_t width = (kind == kValueBytes || kind == kValueText)
                             ? entry->octetLength
                             : static_cast<uint64_t>(std::max<int64_t>(column->bytelength, 0));
  if (column->offset < 0 || uint64_t(column->offset) > reclen ||
      width > reclen - uint64_t(column->offset)) {
    return false;
  }
  *plan = {Move::kGeneral,
           kind,
           state->bigEndian != 0,
           width,
           uint64_t(column->offset),
           entry->dataOffset,
           entry->octetLength,
           entry->indicatorOffset,
           entry};
  if ((entry->indicatorWidth & kIndicatorWidthMask) == kIndicatorWidth1 && !plan->bigEndian) {
    if (kind == kValueInteger && width == entry->octetLength) {
      plan->move = width == 1   ? Move::kInt8
                   : width == 2 ? Move::kInt16
                   : width == 4 ? Move::kInt32
                   : width == 8 ? Move::kInt64
                                : Move::kGeneral;
    } else if (kind == kValueDouble && width == 8) {
      plan->move = Move::kDouble;
    } else if (kind == kValueText) {
      plan->move = Move::kText;
    }
  }
  return true;
}

// True when the fields cover every byte of the record once and each writes
// all of its bytes: then no record needs clearing first.
bool coversRecord(FieldPlan* plans, int32_t count, uint64_t reclen) {
  std::sort(plans, plans + count,
            [](const FieldPlan& a, const FieldPlan& b) { return a.offset < b.offset; });
  uint64_t at = 0;
  for (int32_t i = 0; i < count; ++i) {
    if (plans[i].kind < kValueBytes || plans[i].kind > kValueInteger) return false;
    if (plans[i].offset != at) return false;
    at += plans[i].width;
  }
  return at == reclen;
}

// Text of n bytes (n <= width, width >= 8) into its field, blank-padded:
// eight (or sixteen) bytes at a time, the last ones overlapping, each word
// the value's bytes below n and blanks above. Reads only the value's slot of
// width bytes.
inline void moveTextWords(uint8_t* field, const uint8_t* value, uint64_t n, uint64_t width) {
#if defined(__SSE2__)
  if (width >= 16) {  // the same sixteen bytes at a time
    const __m128i iota = _mm_setr_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
    const __m128i blanks = _mm_set1_epi8(char(kBlank));
    auto chunk = [&](uint64_t start) {
      const uint64_t keep = n > start ? std::min<uint64_t>(n - start, 16) : 0;
      const __m128i mask = _mm_cmpgt_epi8(_mm_set1_epi8(char(keep)), iota);
      const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(value + start));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(field + start),
                       _mm_or_si128(_mm_and_si128(mask, bytes), _mm_andnot_si128(mask, blanks)));
    };
    uint64_t at = 0;
    for (; at + 16 <= width; at += 16) chunk(at);
    if (at < width) chunk(width - 16);
    return;
  }
#endif
  constexpr uint64_t kBlanks = 0x2020202020202020ull;
  auto word = [&](uint64_t start) {
    uint64_t bytes;
    std::memcpy(&bytes, value + start, 8);
    const uint64_t keep = n > start ? n - start : 0;
    const uint64_t mask = keep >= 8 ? ~uint64_t(0) : (uint64_t(1) << (8 * keep)) - 1;
    bytes = (bytes & mask) | (kBlanks & ~mask);
    std::memcpy(field + start, &bytes, 8);
  };
  uint64_t at = 0;
  for (; at + 8 <= width; at += 8) word(at);
  if (at < width) word(width - 8);
}

// Text of n bytes (n <= width) into its field, blank-padded.
inline void moveText(uint8_t* field, const uint8_t* value, uint64_t n, uint64_t width) {
  if (std::endian::native == std::endian::little && width >= 8) {
    moveTextWords(field, value, n, width);
    return;
  }
  std::memcpy(field, value, n);
  std::memset(field + n, kBlank, width - n);
}

void writeField(KovaRipper* burner, const FieldPlan& plan, const uint8_t* row, uint8_t* record) {
  uint8_t* field = record + plan.offset;
  const uint64_t width = plan.width;
  const int64_t length = readIndicator(row, plan.entry);
  const uint8_t* value = row + plan.dataOffset;
  switch (plan.kind) {
    case kValueBytes:
      if (length < 0) {
        std::memset(field, kBlank, width);
      } else {
        std::memcpy(field, value, width);
      }
      return;
    case kValueText: {
      uint64_t n = length < 0 ? 0 : uint64_t(length);
      if (n > width) {
        n = width;
        ++burner->truncations;
      }
      moveText(field, value, n, width);
      return;
    }
    case kValueDouble: {
      uint64_t bits;
      if (length < 0) {
        bits = missingBits(length);
      } else {
        std::memcpy(&bits, value, 8);
      }
      if (width == 8 && !plan.bigEndian) {
        std::memcpy(field, &bits, 8);
      } else {
        writeDouble(field, width, bits, plan.bigEndian);
      }
      return;
    }
    case kValueInteger:
      if (length >= 0) {
        writeInteger(field, width, value, plan.valueSize, plan.bigEndian);
      } else {
        std::memset(field, 0, width);
      }
      return;
    default:
      return;
  }
}

// Rows of a batch are written in tiles of this many: within a tile, column
// by column, so that each column's move is one tight loop while the tile's
// rows and records stay in the first-level cache.
constexpr uint64_t kTileRows = 64;

// The rows of a tile as (row, record) pairs.
struct Tile {
  const uint8_t* rows;
  uint64_t rowLength;
  uint8_t* records;
  uint64_t reclen;
  uint64_t count;
};

template <typename Body>
inline void eachRow(const Tile& tile, Body body) {
  const uint8_t* row = tile.rows;
  uint8_t* record = tile.records;
  const uint64_t rowLength = tile.rowLength, reclen = tile.reclen;
  for (uint64_t r = tile.count; r > 0; --r, row += rowLength, record += reclen) body(row, record);
}

// An integer of T's size with a one-byte indicator: the value, or zero bytes
// when it is missing.
template <typename T>
void moveIntegers(const FieldPlan& plan, const Tile& tile) {
  const uint64_t indicator = plan.indicatorOffset, data = plan.dataOffset, offset = plan.offset;
  eachRow(tile, [=](const uint8_t* row, uint8_t* record) {
    T v;
    std::memcpy(&v, row + data, sizeof v);
    if (static_cast<int8_t>(row[indicator]) < 0) v = 0;
    std::memcpy(record + offset, &v, sizeof v);
  });
}

// One column's fields over a tile.
void writeColumn(KovaRipper* burner, const FieldPlan& plan, const Tile& tile) {
  const uint64_t indicator = plan.indicatorOffset, data = plan.dataOffset, offset = plan.offset;
  switch (plan.move) {
    case Move::kInt8:
      return moveIntegers<uint8_t>(plan, tile);
    case Move::kInt16:
      return moveIntegers<uint16_t>(plan, tile);
    case Move::kInt32:
      return moveIntegers<uint32_t>(plan, tile);
    case Move::kInt64:
      return moveIntegers<uint64_t>(plan, tile);
    case Move::kDouble:
      eachRow(tile, [=](const uint8_t* row, uint8_t* record) {
        const int8_t length = static_cast<int8_t>(row[indicator]);
        uint64_t bits;
        std::memcpy(&bits, row + data, 8);
        if (length < 0) bits = missingBits(length);
        std::memcpy(record + offset, &bits, 8);
      });
      return;
    case Move::kText: {
      const uint64_t width = plan.width;
      uint32_t cut = 0;
      eachRow(tile, [=, &cut](const uint8_t* row, uint8_t* record) {
        const int8_t length = static_cast<int8_t>(row[indicator]);
        uint64_t n = length < 0 ? 0 : uint64_t(length);
        if (n > width) {
          n = width;
          ++cut;
        }
        moveText(record + offset, row + data, n, width);
      });
      burner->truncations += cut;
      return;
    }
    default:
      eachRow(tile,
              [&](const uint8_t* row, uint8_t* record) { writeField(burner, plan, row, record); });
      return;
  }
}

KovaStatus writeRecords(KovaRipper* burner, const uint8_t* rows, uint64_t rowCount) {
  const uint64_t reclen = uint64_t(burner->table->reclen);
  uint64_t size = 0;
  if (__builtin_mul_overflow(rowCount, reclen, &size)) return kStatusNoMemory;
  const KovaStatus grown = growInSteps(burner->pool, burner->diagnostics, burner->recordBuffer,
                                       burner->recordBufferSize, size, false, u"resultMakeRoom");
  if (grown != kStatusOk) return grown;
  if (size == 0) return kStatusOk;
  const int32_t columnCount = burner->table->columnCount;
  FieldPlan plans[kPlanColumns];
  bool cleared = false;
  for (int32_t first = 0; first < columnCount; first += kPlanColumns) {
    int32_t count = 0;
    for (int32_t i = first; i < std::min(columnCount, first + kPlanColumns); ++i) {
      const KovaColumnState* state = &burner->columns[i];
      if (!state->entry) continue;
      if (planField(state, reclen, &plans[count])) {
        ++count;
      } else {
        burner->truncations += static_cast<uint32_t>(rowCount);  // skipped in every row
      }
    }
    if (!cleared &&
        !(first == 0 && columnCount <= kPlanColumns && coversRecord(plans, count, reclen))) {
      std::memset(burner->recordBuffer, 0, size);
    }
    cleared = true;
    for (uint64_t r = 0; r < rowCount; r += kTileRows) {
      const Tile tile{rows + r * burner->rowLength, burner->rowLength,
                      burner->recordBuffer + r * reclen, reclen, std::min(kTileRows, rowCount - r)};
      for (int32_t c = 0; c < count; ++c) writeColumn(burner, plans[c], tile);
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
