#include "src/ripper/varbin_value.h"

#include <algorithm>

#include "src/ripper/row_block.h"

namespace kova::varbin {
namespace {

constexpr int64_t kDecimalBytes = 19;
constexpr int64_t kDateBytes = 4;
constexpr int64_t kTimeBytes = 3;
constexpr int64_t kTimestampBytes = 11;
constexpr uint32_t kEncodingUtf8Id = 20;

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
static_assert(sizeof(DateRecord) == 6 && sizeof(TimeRecord) == 6 &&
              sizeof(TimestampRecord) == 16);

// The null a value that could not be stored gets; it is counted.
int64_t rejected(KovaRipper* ripper, const KovaLayoutEntry* entry) {
  ripper->truncations += 1;
  return nullIndicator(ripper, entry);
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

void copyReversed(uint8_t* to, const uint8_t* from, size_t n) {
  for (size_t i = 0; i < n; ++i) to[i] = from[n - 1 - i];
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
    n = entry->octetLength;
    if (text && state->rowEncoding == kEncodingUtf8Id) {
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
  if (field.length != 8) return rejected(ripper, entry);
  if (state->bigEndian) {
    copyReversed(value, field.at, 8);
  } else {
    std::memcpy(value, field.at, 8);
  }
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

// The integer's low octetLength bytes: the first ones of a little-endian
// value, the last ones of a big-endian one.
int64_t storeInteger(KovaRipper* ripper, const KovaColumnState* state, const Field& field,
                     uint8_t* value) {
  const KovaLayoutEntry* entry = state->typedEntry;
  const int64_t size = int64_t(entry->octetLength);
  if (field.length < size || size > 8) return rejected(ripper, entry);
  if (field.length > size) ripper->truncations += 1;
  if (state->bigEndian) {
    copyReversed(value, field.at + (field.length - size), size_t(size));
  } else {
    std::memcpy(value, field.at, size_t(size));
  }
  return size;
}

}  // namespace

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

int64_t storeValue(KovaRipper* ripper, const KovaColumnState* state, Form form,
                   const Field& field, uint8_t* row) {
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
      const TimestampRecord stamp{loadLittle<int16_t>(at), at[2], at[3], at[4], at[5], at[6],
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
  return rejected(ripper, entry);
}

int64_t noValueIndicator(KovaRipper* ripper, const KovaColumnState* state, int64_t code) {
  const KovaLayoutEntry* entry = state->typedEntry;
  if (code < 0) return missingIndicator(ripper, entry, code);
  if (state->valueKind == kValueBytes || state->valueKind == kValueText) return 0;
  // A number, date or decimal without bytes has no value to show.
  if (entry->storageType == 0) return nullIndicator(ripper, entry);
  return rejected(ripper, entry);
}

}  // namespace kova::varbin
