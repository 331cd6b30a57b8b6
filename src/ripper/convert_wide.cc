// convertWideValue: what one 16-bit text value of a JSON or XML record
// becomes in its column of a row. The parsers call it once per value; it
// chooses the conversion by the column's layout entry and writes the null
// indicator, sharing the character, integer and decimal movers of the
// delimited converter.
#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <limits>

#include "src/convert/missing.h"
#include "src/host/siblings.h"
#include "src/ripper/convert_dates.h"
#include "src/ripper/convert_value.h"
#include "src/ripper/row_block.h"

namespace kova {
namespace {

// Longest decimal text read; a longer one is no decimal of a row (38 digits,
// a sign, a point and an exponent fit many times over).
constexpr uint32_t kMaxDecimalText = 256;

// Longest text tried as a date or time without the informat.
constexpr uint32_t kMaxDateText = 40;

// A double read from the text through the column's informat, or through the
// locale's number reader. A text neither accepts is the missing value and,
// unless it is empty, counts as a truncation.
double readWideNumber(KovaRipper* ripper, KovaColumnState* state, const char16_t* text,
                      int64_t units) {
  KovaFormatObject* informat = state->formatObject;
  if (informat && informat->inputKind == kFormatKindWide && informat->run) {
    // The common date and time texts need not go through the informat.
    double value = kMissing;
    if (units <= int64_t(kMaxDateText)) {
      if (const DateReader reader = dateReaderOf(ripper, state); reader != DateReader::kNone) {
        uint8_t narrow[kMaxDateText];
        int64_t i = 0;
        while (i < units && text[i] < 0x80) {
          narrow[i] = uint8_t(text[i]);
          ++i;
        }
        if (i == units && readDateText(reader, narrow, uint32_t(units), &value)) return value;
      }
    }
    // A text longer than the informat's input length can say is no number.
    if (units < 0 || !setFormatInput(informat, text, uint64_t(units))) return kMissing;
    informat->width = formatWidthOf(uint64_t(units));
    setFormatOutput(informat, &value, sizeof value);
    KovaStatus status = informat->run(informat, 0);
    informat->output = nullptr;  // the double lives on this stack frame only
    return status == kStatusOk ? value : kMissing;
  }
  if (units == 0) return kMissing;
  double value = kMissing;
  uint64_t scratch = 0;
  KovaLocale* locale = ripper->locale;
  if (!locale || locale->ops->readWideDouble(locale, text, units, &value, &scratch) != kStatusOk) {
    ++ripper->truncations;
    return kMissing;
  }
  return value;
}

// Up to 18 ASCII digits, after a '-' or nothing: what every number reader
// reads alike, so the locale's reader is not needed (nor can it overflow).
bool readPlainInteger(const char16_t* text, int64_t units, int64_t* value) {
  const bool negative = units > 0 && text[0] == u'-';
  const int64_t first = negative ? 1 : 0;
  if (units <= first || units - first > 18) return false;
  int64_t result = 0;
  for (int64_t i = first; i < units; ++i) {
    const uint32_t digit = uint32_t(text[i]) - u'0';
    if (digit > 9) return false;
    result = result * 10 + int64_t(digit);
  }
  *value = negative ? -result : result;
  return true;
}

// The indicator of a double slot that holds value. A missing value keeps
// its kind when the column is a DOUBLE and nulls are asked for as missing
// values: "_" -89, "A" to "Z" -87 to -62, any other -88; otherwise -1.
int64_t doubleIndicator(const KovaRipper* ripper, const KovaLayoutEntry* entry, double value) {
  const uint64_t bits = std::bit_cast<uint64_t>(value);
  if ((bits >> 48) != 0xFFFFu) return 8;
  if (!ripper->nullAsMissing || entry->sqlType != kSqlDouble) return kIndicatorNull;
  const uint8_t code = uint8_t(~(bits >> 40));
  if (code == 0x2D) return -89;
  if (code >= 0x41 && code <= 0x5A) return int64_t(code) - 152;
  return kIndicatorNullDouble;
}

// A character value through the column's informat when one is bound, else
// as text. -1 when it could not be produced.
int64_t storeCharacters(KovaRipper* ripper, KovaColumnState* state, const char16_t* text,
                        int64_t units, uint8_t* destination, int64_t capacity) {
  if (state->formatObject) {
    return wideThroughInformat(ripper, state, text, uint64_t(units), destination, capacity,
                               u"charInformatZRChars");
  }
  return storeWideText(ripper, state, text, uint64_t(units), destination, capacity);
}

void convertImage(KovaRipper* ripper, KovaColumnState* state, uint8_t* row, const char16_t* text,
                  int64_t units) {
  const KovaRowImageEntry* entry = state->imageEntry;
  uint8_t* at = row + entry->offset;
  if (entry->length < 0) {
    const double value = readWideNumber(ripper, state, text, units);
    std::memcpy(at, &value, 8);
    return;
  }
  const int64_t length = entry->length;
  const int64_t stored = storeCharacters(ripper, state, text, units, at, length);
  if (stored < 0 || stored >= length) return;
  padWithBlanks(state, at + stored, uint64_t(length - stored));
}

void convertInteger(KovaRipper* ripper, KovaColumnState* state, uint8_t* row, const char16_t* text,
                    int64_t units) {
  const KovaLayoutEntry* entry = state->typedEntry;
  int64_t value = 0;
  bool read;
  if (state->formatObject) {
    read = informatInteger(ripper, readWideNumber(ripper, state, text, units), &value);
  } else if (units == 0) {
    read = false;
  } else if (ripper->locale && readPlainInteger(text, units, &value)) {
    read = true;
  } else {
    uint64_t scratch = 0;
    KovaLocale* locale = ripper->locale;
    read = locale &&
           locale->ops->readWideInteger(locale, text, units, 0, &value, &scratch) == kStatusOk;
    if (!read) ++ripper->truncations;
  }
  storeIntegerColumn(ripper, entry, row, read ? &value : nullptr);
}

// The decimal text narrowed to ASCII for parseDecimal; a text with any other
// character, or too long to be a decimal, is null and counted.
void convertDecimal(KovaRipper* ripper, KovaColumnState* state, uint8_t* row, const char16_t* text,
                    int64_t units) {
  const KovaLayoutEntry* entry = state->typedEntry;
  if (units == 0) {
    writeIndicator(row, entry, nullIndicator(ripper, entry));
    return;
  }
  char narrow[kMaxDecimalText];
  bool ascii = units <= int64_t(kMaxDecimalText);
  for (int64_t i = 0; ascii && i < units; ++i) {
    ascii = text[i] < 0x80;
    narrow[i] = char(text[i]);
  }
  if (!ascii) {
    writeIndicator(row, entry, nullIndicator(ripper, entry));
    ++ripper->truncations;
    return;
  }
  convertDecimalText(ripper, state, row, narrow, uint32_t(units));
}

void convertTyped(KovaRipper* ripper, KovaColumnState* state, uint8_t* row, const char16_t* text,
                  int64_t units) {
  const KovaLayoutEntry* entry = state->typedEntry;
  switch (entry->sqlType) {
    case kSqlChar:
    case kSqlVarchar: {
      const int64_t stored = storeCharacters(ripper, state, text, units, row + entry->dataOffset,
                                             int64_t(entry->octetLength));
      if (stored >= 0) writeIndicator(row, entry, stored);
      return;
    }
    case kSqlNumeric:
    case kSqlDecimal:
      convertDecimal(ripper, state, row, text, units);
      return;
    case kSqlTinyint:
    case kSqlSmallint:
    case kSqlInteger:
    case kSqlBigint:
      convertInteger(ripper, state, row, text, units);
      return;
    case kSqlDouble:
    case kSqlDate:
    case kSqlTime:
    case kSqlTimestamp: {
      const double value = readWideNumber(ripper, state, text, units);
      std::memcpy(row + entry->dataOffset, &value, 8);
      writeIndicator(row, entry, doubleIndicator(ripper, entry, value));
      return;
    }
    default:  // binary and the rest: no value comes from text
      return;
  }
}

}  // namespace

KovaStatus convertWideValue(KovaRipper* ripper, uint8_t* row, uint32_t column, const char16_t* text,
                            int64_t units) {
  if (int64_t(column) >= int64_t(ripper->table->columnCount)) return kStatusOk;
  KovaColumnState* state = &ripper->columns[column];
  if (!state->entry) return kStatusOk;
  if (!text || units < 0) units = 0;
  if (ripper->rowImage) {
    convertImage(ripper, state, row, text, units);
  } else {
    convertTyped(ripper, state, row, text, units);
  }
  return kStatusOk;
}

}  // namespace kova
