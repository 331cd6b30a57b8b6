// The block parser of VARBIN tables. A block holds whole self-describing
// records: a 4-byte record length, then fields of (column number, length
// code, wide length, data length, value), all integers little-endian. Each
// record becomes one row; each field stores its column's value and null
// indicator by the row layout.
//
// Every read is checked against the record and the block first: a record or
// field that would run past them is corrupted data (level-4 line and
// kStatusCorruptData), never a read outside the block.
#include <algorithm>
#include <bit>
#include <cstring>

#include "src/host/log.h"
#include "src/ripper/convert_value.h"
#include "src/ripper/fixed_integer.h"
#include "src/ripper/next_record.h"
#include "src/ripper/operations.h"
#include "src/ripper/rejects.h"
#include "src/ripper/row_block.h"

namespace kova {
namespace {

// A little-endian integer of sizeof(T) bytes at p (any alignment).
template <typename T>
inline T loadLittle(const uint8_t* p) {
  T value;
  std::memcpy(&value, p, sizeof value);
  if constexpr (std::endian::native == std::endian::big) {
    if constexpr (sizeof value == 2) value = T(__builtin_bswap16(uint16_t(value)));
    if constexpr (sizeof value == 4) value = T(__builtin_bswap32(uint32_t(value)));
    if constexpr (sizeof value == 8) value = T(__builtin_bswap64(uint64_t(value)));
  }
  return value;
}

// How a present value lies in a record after its length code.
enum class Form : uint8_t {
  kBytes,       // L bytes
  kSizedBytes,  // a 4-byte data length D, then D bytes (character and binary columns)
  kDecimal,     // one byte k (at most 19), then k bytes of the 19-byte decimal
  kDate,        // year (2 bytes), month, day
  kTime,        // hour, minute, second
  kTimestamp,   // year (2 bytes), month, day, hour, minute, second, fraction (4 bytes)
};

// A present value: its first byte, the record bytes left from there, and
// its length (the data length for kSizedBytes, else the length code).
struct Field {
  const uint8_t* at;
  int64_t left;
  int64_t length;
};

constexpr int64_t kDecimalBytes = 19;
constexpr int64_t kDateBytes = 4;
constexpr int64_t kTimeBytes = 3;
constexpr int64_t kTimestampBytes = 11;

// The row's date, time and timestamp records.
struct DateRecord {
  int16_t year;
  uint16_t month;
  uint16_t day;
};
struct TimeRecord {
  uint16_t hour;
  uint16_t minute;
  uint16_t second;
};
struct TimestampRecord {
  int16_t year;
  uint16_t month;
  uint16_t day;
  uint16_t hour;
  uint16_t minute;
  uint16_t second;
  uint32_t fraction;
};
static_assert(sizeof(DateRecord) == 6 && sizeof(TimeRecord) == 6 && sizeof(TimestampRecord) == 16);

// Tells the host (when it asked) that the value of the field was not stored
// as read; n of its bytes are shown. The record began where the block
// parser noted it. The bytes lie in the block; a field without bytes at the
// end of the block is placed at its end.
void reportVarbin(KovaRipper* ripper, const KovaColumnState* state, uint32_t reason,
                  const uint8_t* bytes, uint64_t n) {
  const ModuleRipper* m = moduleSide(ripper);
  if (!m->rejects) return;
  const bool inBlock = m->blockBegin && bytes >= m->blockBegin && bytes <= m->blockEnd;
  reportValue(ripper, uint32_t(state - ripper->columns), reason, ripper->rowsInBlock, bytes, n,
              inBlock ? int64_t(m->blockOffset + uint64_t(bytes - m->blockBegin)) : -1,
              m->recordOffset);
}

// The null a value that could not be stored gets; it is counted. The bytes
// reported are the value's length (numbers: all their bytes) of the left
// bytes of the record at at. Takes the field's parts by value, so that the
// record loop need not keep a Field in memory for this rare call.
int64_t rejected(KovaRipper* ripper, const KovaColumnState* state, const uint8_t* at,
                 int64_t length, int64_t left) {
  ripper->truncations += 1;
  reportVarbin(ripper, state, kRejectNotReadable, at,
               uint64_t(std::clamp<int64_t>(length, 0, left)));
  return nullIndicator(ripper, state->typedEntry);
}

// A negative length code (or missing code of a double) as an indicator:
// -1, unless nullAsMissing keeps the special missing codes of a DOUBLE
// (-89 to -62; -88 for any other) and other columns' codes as they are.
int64_t missingIndicator(const KovaRipper* ripper, const KovaLayoutEntry* entry, int64_t code) {
  if (!ripper->nullAsMissing) return kIndicatorNull;
  if (entry->sqlType == kSqlDouble) {
    return (code >= -89 && code <= -62) ? code : kIndicatorNullDouble;
  }
  // A code no indicator width can hold as a negative number becomes -1.
  return code >= -128 ? code : kIndicatorNull;
}

// Text and bytes: at most octetLength bytes (a cut UTF-8 text does not end
// inside a character); text loses its trailing blanks.
int64_t storeBytes(KovaRipper* ripper, const KovaColumnState* state, const Field& field,
                   uint8_t* value) {
  const KovaLayoutEntry* entry = state->typedEntry;
  uint64_t n = uint64_t(field.length);
  const bool text = state->valueKind == kValueText;
  if (n > entry->octetLength) {
    ripper->truncations += 1;
    reportVarbin(ripper, state, kRejectCut, field.at, n);
    n = entry->octetLength;
    if (text && state->rowEncoding == kEncodingUtf8) {
      while (n > 0 && (field.at[n] & 0xC0) == 0x80) --n;
    }
  }
  if (text && state->targetHandle) {
    KovaEncodingHandle* handle = state->targetHandle;
    n = std::min<uint64_t>(n, handle->ops->trimmedLength(handle, field.at, n, 0));
  }
  std::memcpy(value, field.at, n);
  return int64_t(n);
}

int64_t storeDouble(KovaRipper* ripper, const KovaColumnState* state, const Field& field,
                    uint8_t* value) {
  const KovaLayoutEntry* entry = state->typedEntry;
  if (field.length != 8) return rejected(ripper, state, field.at, field.length, field.left);
  copyOrdered(value, field.at, 8, state->bigEndian != 0);
  uint64_t bits;
  std::memcpy(&bits, value, 8);
  if ((bits >> 48) != 0xFFFF) return 8;
  // A missing value: its code is the complement of the third byte from the top.
  const uint8_t c = static_cast<uint8_t>(~(bits >> 40));
  int64_t code = kIndicatorNullDouble;
  if (c == 0x2D) code = -89;
  if (c >= 0x41 && c <= 0x5A) code = int64_t(c) - 152;
  return missingIndicator(ripper, entry, code);
}

// An integer field of length bytes at at, wider than its slot of size
// bytes: counted, and reported when its dropped high-order bytes were more
// than the sign. Out of line, so that the record loop keeps its registers.
[[gnu::noinline, gnu::cold]] void countWiderInteger(KovaRipper* ripper,
                                                    const KovaColumnState* state, const uint8_t* at,
                                                    int64_t length, int64_t size) {
  ripper->truncations += 1;
  uint8_t slot[8];
  if (moveWidenedInteger(slot, at, uint64_t(length), uint64_t(size), state->bigEndian != 0)) {
    reportVarbin(ripper, state, kRejectOutOfRange, at, uint64_t(length));
  }
}

// The integer's low octetLength bytes: the first ones of a little-endian
// value, the last ones of a big-endian one.
int64_t storeInteger(KovaRipper* ripper, const KovaColumnState* state, const Field& field,
                     uint8_t* value) {
  const KovaLayoutEntry* entry = state->typedEntry;
  const int64_t size = int64_t(entry->octetLength);
  if (field.length < size || size > 8)
    return rejected(ripper, state, field.at, field.length, field.left);
  if (field.length > size) countWiderInteger(ripper, state, field.at, field.length, size);
  const uint8_t* from = state->bigEndian ? field.at + (field.length - size) : field.at;
  const bool reverse = state->bigEndian != 0;
  switch (size) {  // constant sizes: plain moves instead of a copy call
    case 1:
      value[0] = from[0];
      break;
    case 2:
      copyOrdered(value, from, 2, reverse);
      break;
    case 4:
      copyOrdered(value, from, 4, reverse);
      break;
    case 8:
      copyOrdered(value, from, 8, reverse);
      break;
    default:
      copyOrdered(value, from, uint64_t(size), reverse);
      break;
  }
  return size;
}

// The form of a column's values: by its layout entry, or for a dropped
// column (no entry) by its type, so that its fields can be skipped.
Form formOf(const KovaColumnState* state) {
  const KovaLayoutEntry* entry = state->typedEntry;
  if (entry) {
    switch (entry->storageType) {
      case kStorageChar:
      case kStorageBinary:
      case 3:
        return Form::kSizedBytes;
      case kStorageDecimal:
        return Form::kDecimal;
      case kStorageDateRecord:
        return Form::kDate;
      case kStorageTimeRecord:
        return Form::kTime;
      case kStorageTimestampRecord:
        return Form::kTimestamp;
      default:
        return Form::kBytes;
    }
  }
  switch (state->column ? state->column->type : 0) {
    case kTypeChar:
    case kTypeVarchar:
    case kTypeBinary:
      return Form::kSizedBytes;
    case kTypeNumeric:
    case kTypeDecimal:
      return Form::kDecimal;
    case kTypeDate:
      return Form::kDate;
    case kTypeTime:
      return Form::kTime;
    case kTypeTimestamp:
      return Form::kTimestamp;
    default:
      return Form::kBytes;
  }
}

// The bytes the value takes in the record, or -1 when its form cannot be
// read (a decimal whose byte count is missing or above 19). The caller
// checks the result against field.left.
int64_t valueSize(Form form, const Field& field) {
  switch (form) {
    case Form::kBytes:
    case Form::kSizedBytes:
      return field.length;
    case Form::kDecimal:
      if (field.left < 1 || field.at[0] > kDecimalBytes) return -1;
      return 1 + int64_t(field.at[0]);
    case Form::kDate:
      return kDateBytes;
    case Form::kTime:
      return kTimeBytes;
    case Form::kTimestamp:
      return kTimestampBytes;
  }
  return -1;
}

// Stores a present value of a column with a layout entry into row and
// returns the indicator to write. A value that does not fit its column's
// form (a double that is not 8 bytes, an integer shorter than the column)
// is not stored: the null indicator, and one more in truncations; a text or
// byte value longer than the column is cut to it and counted.
int64_t storeValue(KovaRipper* ripper, const KovaColumnState* state, Form form, const Field& field,
                   uint8_t* row) {
  const KovaLayoutEntry* entry = state->typedEntry;
  uint8_t* value = row + entry->dataOffset;
  const uint8_t* at = field.at;
  switch (state->valueKind) {
    case kValueBytes:
    case kValueText:
      if (form != Form::kSizedBytes) break;
      return storeBytes(ripper, state, field, value);
    case kValueDouble:
      return storeDouble(ripper, state, field, value);
    case kValueInteger:
      return storeInteger(ripper, state, field, value);
    case kValueDateRecord: {
      if (form != Form::kDate || entry->octetLength < sizeof(DateRecord)) break;
      const DateRecord date{loadLittle<int16_t>(at), at[2], at[3]};
      std::memcpy(value, &date, sizeof date);
      return sizeof date;
    }
    case kValueTimeRecord: {
      if (form != Form::kTime || entry->octetLength < sizeof(TimeRecord)) break;
      const TimeRecord time{at[0], at[1], at[2]};
      std::memcpy(value, &time, sizeof time);
      return sizeof time;
    }
    case kValueTimestampRecord: {
      if (form != Form::kTimestamp || entry->octetLength < sizeof(TimestampRecord)) break;
      const TimestampRecord stamp{loadLittle<int16_t>(at),     at[2], at[3], at[4], at[5], at[6],
                                  loadLittle<uint32_t>(at + 7)};
      std::memcpy(value, &stamp, sizeof stamp);
      return sizeof stamp;
    }
    default:
      if (form != Form::kDecimal || entry->octetLength < uint64_t(kDecimalBytes)) break;
      std::memcpy(value, at + 1, at[0]);
      std::memset(value + at[0], 0, size_t(kDecimalBytes - at[0]));
      return kDecimalBytes;
  }
  // A column without a known value kind (not supported by the layout) keeps
  // no value.
  if (entry->storageType == 0) return nullIndicator(ripper, entry);
  return rejected(ripper, state, field.at, field.length, field.left);
}

// The indicator of a field whose length code L is 0 or negative (no value
// bytes follow; at: where the next field begins): an empty text or byte
// value for L = 0, a null otherwise.
int64_t noValueIndicator(KovaRipper* ripper, const KovaColumnState* state, int64_t code,
                         const uint8_t* at) {
  const KovaLayoutEntry* entry = state->typedEntry;
  if (code < 0) return missingIndicator(ripper, entry, code);
  if (state->valueKind == kValueBytes || state->valueKind == kValueText) return 0;
  // A number, date or decimal without bytes has no value to show.
  if (entry->storageType == 0) return nullIndicator(ripper, entry);
  return rejected(ripper, state, at, 0, 0);
}

constexpr uint8_t kWide8 = 0xF8;   // a signed 8-bit length follows
constexpr uint8_t kWide32 = 0xFA;  // a signed 32-bit length follows
constexpr uint8_t kWide64 = 0xF7;  // a signed 64-bit length follows

KovaStatus corrupted(KovaRipper* ripper, const char16_t* what, int64_t offset, int64_t value) {
  logLine(ripper->diagnostics, kLogError,
          u"varBinaryRipBlock: %s=[%lld] at block offset [%lld]; Corrupted Data.", what,
          static_cast<long long>(value), static_cast<long long>(offset));
  return kStatusCorruptData;
}

// The fields of one record (left bytes at at, which lies base bytes into
// the block) into row.
KovaStatus readRecord(KovaRipper* ripper, const uint8_t* base, const uint8_t* at, int64_t left,
                      uint8_t* row, bool trace) {
  const int32_t columnCount = ripper->table->columnCount;
  while (left > 0) {
    if (left < 5) return corrupted(ripper, u"field header bytes", at - base, left);
    const int32_t ordinal = loadLittle<int32_t>(at);
    at += 4;
    left -= 4;
    if (trace) {
      logLine(ripper->diagnostics, kLogTrace, u"varBinaryRipBlock: ordinal=[%ld], lenleft=[%ld]",
              static_cast<long>(ordinal), static_cast<long>(left));
    }
    if (ordinal < 1 || ordinal > columnCount) {
      logLine(ripper->diagnostics, kLogError,
              u"varBinaryRipBlock: Invalid ordinal=[%ld]; Corrupted Data.",
              static_cast<long>(ordinal));
      return kStatusCorruptData;
    }
    const uint8_t code = *at++;
    --left;
    int64_t length = static_cast<int8_t>(code);
    const int64_t wide = code == kWide8 ? 1 : code == kWide32 ? 4 : code == kWide64 ? 8 : 0;
    if (wide > left) return corrupted(ripper, u"wide length bytes", at - base, left);
    if (wide == 1) length = static_cast<int8_t>(*at);
    if (wide == 4) length = loadLittle<int32_t>(at);
    if (wide == 8) length = loadLittle<int64_t>(at);
    at += wide;
    left -= wide;
    if (trace) {
      logLine(ripper->diagnostics, kLogTrace,
              u"varBinaryRipBlock: inflag=[%d] ind=%lld, lenleft=[%ld] ",
              static_cast<int>(static_cast<int8_t>(code)), static_cast<long long>(length),
              static_cast<long>(left));
    }

    const KovaColumnState* state = &ripper->columns[ordinal - 1];
    const KovaLayoutEntry* entry = state->typedEntry;
    const Form form = formOf(state);
    if (length <= 0) {
      if (entry) writeIndicator(row, entry, noValueIndicator(ripper, state, length, at));
      continue;
    }
    if (form == Form::kSizedBytes) {
      if (left < 4) return corrupted(ripper, u"data length bytes", at - base, left);
      length = loadLittle<int32_t>(at);
      at += 4;
      left -= 4;
      if (trace) {
        logLine(ripper->diagnostics, kLogTrace, u"varBinaryRipBlock: datalength=%lld",
                static_cast<long long>(length));
      }
      if (length < 0) return corrupted(ripper, u"datalength", at - base - 4, length);
    }
    const Field field{at, left, length};
    const int64_t taken = valueSize(form, field);
    if (taken < 0 || taken > left) return corrupted(ripper, u"value length", at - base, length);
    if (entry) writeIndicator(row, entry, storeValue(ripper, state, form, field, row));
    at += taken;
    left -= taken;
  }
  return kStatusOk;
}

}  // namespace

KovaStatus varBinaryRipBlock(KovaRipper* ripper, const uint8_t* bytes, int64_t length,
                             uint8_t** rows, int32_t* rowCount) {
  ripper->rowsInBlock = 0;
  const bool trace = ripper->traceLevel >= 9;
  const int32_t hint = rowCount ? *rowCount : 0;
  if (trace) logLine(ripper->diagnostics, kLogTrace, u"varBinaryRipBlock: numrecs=[%d]", hint);
  if (rows) *rows = ripper->rowBlock;
  if (refusedBlock(bytes, length, rowCount)) return kStatusNotSupported;

  // Every record takes 4 bytes at least: a hint above length / 4 rows asks
  // for room no block can fill (and, near 2^31 rows, for more than a row
  // block may hold).
  if (rowCount && *rowCount > length / 4) *rowCount = static_cast<int32_t>(length / 4);
  uint8_t* row = beginTextBlock(ripper, length, rowCount);
  if (!row) {
    if (rowCount) *rowCount = 0;
    return kStatusNoMemory;
  }

  int64_t position = 0;
  KovaStatus status = kStatusOk;
  while (position < length) {
    const int64_t remaining = length - position;
    if (remaining < 4) {
      status = corrupted(ripper, u"record length bytes", position, remaining);
      break;
    }
    const int32_t recordLength = loadLittle<int32_t>(bytes + position);
    if (trace) {
      logLine(ripper->diagnostics, kLogTrace,
              u"varBinaryRipBlock: buflen=%ld, lenleft=[%ld], len=[%ld]",
              static_cast<long>(remaining), static_cast<long>(recordLength) - 4,
              static_cast<long>(recordLength));
    }
    if (recordLength < 4 || recordLength > remaining) {
      status = corrupted(ripper, u"record length", position, recordLength);
      break;
    }
    noteRecordStart(ripper, bytes + position);
    status = readRecord(ripper, bytes, bytes + position + 4, recordLength - 4, row, trace);
    if (status != kStatusOk) break;
    position += recordLength;
    row = nextRecord(ripper, row, length, length - position);
    if (!row) {
      status = kStatusNoMemory;
      break;
    }
  }
  if (rows) *rows = ripper->rowBlock;
  if (status != kStatusOk) {
    // The rows of a block that failed are not handed out.
    ripper->rowsInBlock = 0;
    if (rowCount) *rowCount = 0;
    return status;
  }
  if (rowCount) *rowCount = static_cast<int32_t>(ripper->rowsInBlock);
  return kStatusOk;
}

}  // namespace kova
