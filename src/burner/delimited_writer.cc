// The burner's delimited writer: one record of text per row, fields in table
// order separated by the table's fieldsep, each value converted by its
// storage type straight into the output buffer, then trimmed and qualified
// in place. A record ends with the table's recordEndText, or LF.
#include <cstring>

#include "src/burner/output.h"
#include "src/burner/text_field.h"
#include "src/burner/text_plan.h"
#include "src/convert/decimal.h"
#include "src/ripper/operations.h"

namespace kova {
namespace {

constexpr uint64_t kIntegerRoom = 156;
constexpr uint64_t kIntegerCapacity = 152;
constexpr int32_t kIntegerWidth = 20;

// What one value became: n bytes at the output's end, null text or not.
struct Field {
  uint64_t n = 0;
  bool nullText = false;
  bool fast = false;  // written by the column's fast path
};

bool hasNullText(const KovaRipper* burner) { return burner->table->nullTextLength != 0; }

KovaStatus nullField(KovaRipper* burner, bool write, Field* field) {
  if (!write) return kStatusOk;
  field->nullText = true;
  return appendNullText(burner, &field->n);
}

// The longest text the decimal check lets through for text of n bytes.
bool decimalTextFits(const uint8_t* t, uint64_t n, uint8_t precision, int8_t scale) {
  uint64_t allowed = precision;
  if (scale != 0 || (n > 0 && t[n - 1] == '.')) ++allowed;
  uint64_t first = 0;
  if (n > 0 && t[0] == '-') {
    ++allowed;
    if (n > 1) first = 1;
  }
  if (first < n && t[first] == '0') ++allowed;
  return n <= allowed;
}

KovaStatus decimalField(KovaRipper* burner, const uint8_t* value, int64_t length, Field* field) {
  if (length != kDecimalSize) return kStatusJsonParse;  // the code for a decimal of another length
  // Room for the longest decimal text: a value that is too long for its
  // precision fails the check below instead of being cut.
  KovaStatus status = makeRoom(burner, kDecimalTextMax);
  if (status != kStatusOk) return status;
  DecimalValue decimal;
  std::memcpy(&decimal, value, sizeof decimal);
  char* out = reinterpret_cast<char*>(outputEnd(burner));
  int64_t n = 0;
  status = decimalToText(&decimal, out, kDecimalTextMax, &n);
  if (status != kStatusOk) return status;
  if (!decimalTextFits(outputEnd(burner), uint64_t(n), decimal.precision, decimal.scale)) {
    return kStatusDecimalOverflow;
  }
  field->n = uint64_t(n);
  return kStatusOk;
}

KovaStatus integerField(KovaRipper* burner, KovaColumnState* state, const uint8_t* value,
                        Field* field) {
  const int64_t v = readInteger(value, state->typedEntry->storageType);
  if (state->formatObject) {
    KovaStatus status = makeRoom(burner, formattedRoom(state));
    if (status != kStatusOk) return status;
    field->n = formatForOutput(burner, state, outputEnd(burner), static_cast<double>(v));
    return kStatusOk;
  }
  KovaEncodingHandle* handle = state->targetHandle;
  if (!handle) return kStatusOk;
  KovaStatus status = makeRoom(burner, kIntegerRoom);
  if (status != kStatusOk) return status;
  if (textPlanOf(burner, state) == TextPlan::kInteger) {
    field->n = integerText(v, outputEnd(burner));
    field->fast = true;
    return kStatusOk;
  }
  uint64_t length = 0;
  if (handle->ops->formatInteger(handle, burner->locale, v, kIntegerWidth, 0, outputEnd(burner),
                                 kIntegerCapacity, &length) == kStatusOk) {
    field->n = length < kIntegerCapacity ? length : kIntegerCapacity;
  }
  return kStatusOk;
}

KovaStatus binaryField(KovaRipper* burner, const KovaLayoutEntry* entry, const uint8_t* value,
                       uint64_t length, Field* field) {
  if (length > entry->octetLength) {
    length = entry->octetLength;
    ++burner->truncations;
  }
  if (length == 0) return kStatusOk;
  if (!burner->binaryAsBase64) {
    KovaStatus status = makeRoom(burner, 2 * length);
    if (status != kStatusOk) return status;
    std::memcpy(outputEnd(burner), value, length);
    field->n = length;
    return kStatusOk;
  }
  KovaStatus status = makeRoom(burner, base64Length(length));
  if (status != kStatusOk) return status;
  uint8_t* out = outputEnd(burner);
  return encodeBase64(burner->pool, value, length, &out, &field->n);
}

// One value of a row into text at the output's end.
KovaStatus valueField(KovaRipper* burner, KovaColumnState* state, const uint8_t* row,
                      Field* field) {
  const KovaLayoutEntry* entry = state->typedEntry;
  int64_t length = readIndicator(row, entry);
  const uint8_t* value = row + entry->dataOffset;
  const bool writeNull = burner->writeNullText;
  switch (entry->storageType) {
    case kStorageChar:
      if (length <= 0) {
        return nullField(burner, writeNull && (length == -1 || hasNullText(burner)), field);
      }
      if (uint64_t(length) > entry->octetLength) {
        length = int64_t(entry->octetLength);
        ++burner->truncations;
      }
      return characterText(burner, state, value, uint64_t(length), &field->n);
    case kStorageBinary:
    case kStorageEightBytes:
      if (length < 0) return nullField(burner, writeNull && hasNullText(burner), field);
      if (entry->storageType == kStorageEightBytes) return kStatusOk;
      return binaryField(burner, entry, value, uint64_t(length), field);
    case kStorageDecimal:
      if (length < 0) return nullField(burner, writeNull && hasNullText(burner), field);
      return decimalField(burner, value, length, field);
    case kStorageDouble: {
      if (length < 0) {
        const uint32_t type = state->column->type;
        const bool clock = type == kTypeTime || type == kTypeTimestamp;
        return nullField(burner, writeNull && length == -1 && (clock || hasNullText(burner)),
                         field);
      }
      KovaStatus status = makeRoom(burner, formattedRoom(state));
      if (status != kStatusOk) return status;
      double v;
      std::memcpy(&v, value, 8);
      const TextPlan plan = textPlanOf(burner, state);
      if (plan == TextPlan::kDouble) {
        field->n = doubleText(v, outputEnd(burner));
      } else if (plan == TextPlan::kTimestamp) {
        field->n = timestampText(v, outputEnd(burner));
      } else if (plan == TextPlan::kDate &&
                 burner->wideScratchSize >= uint64_t(state->formatObject->width)) {
        // Only once the general path has grown wideScratch, so that a
        // failed growth still gives its empty field and log line.
        field->n = dateText(v, outputEnd(burner));
      }
      // Values outside the fast path's span take the general one.
      field->fast = field->n != 0;
      if (field->n == 0) field->n = formatForOutput(burner, state, outputEnd(burner), v);
      return kStatusOk;
    }
    default:
      if (!integerStorage(entry->storageType)) return kStatusOk;
      if (length < 0) return nullField(burner, writeNull && hasNullText(burner), field);
      return integerField(burner, state, value, field);
  }
}

// Trims and qualifies a converted value by its SQL type.
KovaStatus finishField(KovaRipper* burner, const KovaColumnState* state, uint64_t n,
                       uint64_t* final) {
  const int32_t sqlType = state->typedEntry->sqlType;
  uint8_t* text = outputEnd(burner);
  if (sqlType == kSqlChar) {
    n = textPlanOf(burner, state) == TextPlan::kTrimChar ? trimBlanks(text, n)
                                                         : trimCharacter(state, text, n);
  } else if (sqlType != kSqlVarchar) {
    n = alignNumber(burner, state, text, n);
  }
  if (!burner->escapeStyle) return qualifyDefault(burner, state, n, final);
  const bool text_like = sqlType == kSqlChar || sqlType == kSqlVarchar || sqlType == kSqlDate ||
                         sqlType == kSqlTime || sqlType == kSqlTimestamp;
  if (!text_like || n == 0) {
    *final = n;
    return kStatusOk;
  }
  return qualifyEscaped(burner, n, final);
}

KovaStatus recordEnd(KovaRipper* burner) {
  const KovaObject* table = burner->table;
  if (table->recordEndTextLength != 0 && table->recordEndText) {
    KovaStatus status = makeRoom(burner, table->recordEndTextLength);
    if (status != kStatusOk) return status;
    std::memcpy(outputEnd(burner), table->recordEndText, table->recordEndTextLength);
    burner->recordLength += table->recordEndTextLength;
    return kStatusOk;
  }
  return appendByte(burner, '\n');
}

KovaStatus writeRecords(KovaRipper* burner, const uint8_t* rows, uint64_t rowCount) {
  KovaStatus status = reserveForRows(burner, 10, rowCount);
  if (status != kStatusOk) return status;
  return writeTextRows(
      burner, rows, rowCount,
      [burner](KovaColumnState* state, const uint8_t* row, uint64_t* n) {
        Field field;
        const KovaStatus valueStatus = valueField(burner, state, row, &field);
        if (valueStatus != kStatusOk) return valueStatus;
        *n = field.n;
        // Null text is written as it is, never trimmed or qualified.
        if (*n == 0 || field.nullText || (field.fast && fastTextIsFinal(burner, state)))
          return kStatusOk;
        return finishField(burner, state, *n, n);
      },
      [burner] { return recordEnd(burner); });
}

}  // namespace

KovaStatus delimitedWriteRows(KovaRipper* burner, const uint8_t* rows, uint64_t byteCount,
                              const uint8_t** data, uint64_t* dataLength) {
  return runWriter(burner, rows, byteCount, data, dataLength, writeRecords);
}

}  // namespace kova
