#include "src/ripper/layout.h"

#include <algorithm>
#include <cstring>

#include "src/host/log.h"
#include "src/host/pool.h"
#include "src/ripper/bind.h"

namespace kova {
namespace {

// Which of the three describe tables a record format uses.
enum class TableKind { kText, kFixed, kVarbin };

TableKind tableKind(uint32_t recfm) {
  if (recfm == kRecfmFixed || recfm == kRecfmNative) return TableKind::kFixed;
  if (recfm == kRecfmVarbin) return TableKind::kVarbin;
  return TableKind::kText;
}

// The type-dependent part of a typed entry.
struct Shape {
  bool supported = false;
  int32_t sqlType = 0;
  uint32_t storageType = 0;
  uint64_t columnSize = 0;
  uint32_t decimalDigits = 0;
  uint64_t octetLength = 0;
  uint32_t align = 1;
  uint32_t valueKind = 0;
  uint32_t encoding = 0;  // entry encoding and the state's rowEncoding
  bool hasEncoding = false;
  bool fieldFromValue = false;  // binary formats: fieldEncoding from the value's encoding
};

uint64_t alignUp(uint64_t value, uint64_t align) { return (value + align - 1) / align * align; }

// A length the row can hold: 0 to kTypedAreaLimit.
bool takeLength(int64_t length, uint64_t* out) {
  if (length < 0 || uint64_t(length) > kTypedAreaLimit) return false;
  *out = uint64_t(length);
  return true;
}

bool checkedProduct(int64_t count, uint64_t factor, uint64_t* out) {
  uint64_t product = 0;
  if (count < 0 || __builtin_mul_overflow(uint64_t(count), factor, &product) ||
      product > kTypedAreaLimit) {
    return false;
  }
  *out = product;
  return true;
}

uint32_t columnEncoding(const KovaObject* table, const KovaColumn* column) {
  return static_cast<uint32_t>(column->cei != 0 ? column->cei : table->encoding);
}

uint8_t columnBigEndian(const KovaObject* table, const KovaColumn* column) {
  if (column->colendian == 1) return 0;
  if (column->colendian == 2) return 1;
  return table->bigendian ? 1 : 0;
}

// The bytes a CHAR or VARCHAR value takes in a typed row of a text format.
bool textCharOctets(const KovaRipper* ripper, const KovaColumn* column, uint32_t encoding,
                    uint64_t* octets) {
  if (column->bytelength != 0) return takeLength(column->bytelength, octets);
  if (ripper->output) return checkedProduct(column->charlength, 2, octets);
  if (ripper->charExpansion == 0) {
    KovaEncodingInfo info{};
    KovaNls* nls = ripper->nls;
    bool known = nls->ops->encodingInfo(nls, static_cast<int32_t>(encoding), &info) == kStatusOk &&
                 info.maxBytesPerChar > 0;
    return checkedProduct(column->charlength, known ? uint64_t(info.maxBytesPerChar) : 4, octets);
  }
  if (column->charlength < 0) return false;
  double product = double(column->charlength) * ripper->charExpansion;
  if (!(product >= 0 && product <= double(kTypedAreaLimit))) return false;  // also NaN
  *octets = static_cast<uint64_t>(product);
  return true;
}

// DECIMAL (and the unnamed type 12): room for the digits, sign and point,
// at least the 19 bytes of a decimal value.
bool decimalOctets(const KovaColumn* column, uint64_t* octets) {
  int64_t sum = 0;
  if (__builtin_add_overflow(column->charlength, column->bytelength, &sum) ||
      __builtin_add_overflow(sum, 2, &sum)) {
    return false;
  }
  return takeLength(std::max<int64_t>(19, sum), octets);
}

// TIME precision: the scale with the option, else the charlength.
int64_t timePrecision(const KovaRipper* ripper, const KovaColumn* column) {
  return ripper->timePrecisionFromScale ? column->scale : column->charlength;
}

void timeShape(const KovaRipper* ripper, const KovaColumn* column, Shape* shape) {
  int64_t p = timePrecision(ripper, column);
  shape->columnSize = p > 0 ? uint64_t(p) + 9 : 8;
  if (ripper->timePrecisionFromScale) shape->decimalDigits = static_cast<uint32_t>(p);
}

void timestampSize(const KovaColumn* column, Shape* shape) {
  shape->columnSize = column->charlength > 0 ? uint64_t(column->charlength) + 20 : 19;
  shape->decimalDigits = static_cast<uint32_t>(column->charlength);
}

// Types laid out alike in every record format: integers and decimals.
bool commonShape(const KovaObject* table, const KovaColumn* column, Shape* s) {
  switch (column->type) {
    case kTypeInt:
      *s = {true, kSqlInteger, kStorageInt32, 10, 0, 4, 4};
      return true;
    case kTypeTinyint:
      *s = {true, kSqlTinyint, kStorageInt8, 3, 0, 1, 1};
      return true;
    case kTypeSmallint:
      *s = {true, kSqlSmallint, kStorageInt16, 5, 0, 2, 2};
      return true;
    case kTypeBigint:
      *s = {true, kSqlBigint, kStorageInt64, 18, 0, 8, 8};
      return true;
    case kTypeNumeric:
    case kTypeDecimal:
      s->sqlType = column->type == kTypeNumeric ? kSqlNumeric : kSqlDecimal;
      s->storageType = kStorageDecimal;
      s->columnSize = uint64_t(column->charlength);
      s->decimalDigits = static_cast<uint32_t>(column->bytelength);
      s->encoding = static_cast<uint32_t>(table->encoding);
      s->hasEncoding = true;
      s->supported = decimalOctets(column, &s->octetLength);
      return true;
    default:
      return false;
  }
}

Shape textShape(const KovaRipper* ripper, const KovaColumn* column) {
  const KovaObject* table = ripper->table;
  Shape s;
  if (commonShape(table, column, &s)) return s;
  switch (column->type) {
    case kTypeDouble:
      return {true, kSqlDouble, kStorageDouble, 22, 0, 8, 8};
    case kTypeChar:
    case kTypeVarchar:
      s.sqlType = column->type == kTypeChar ? kSqlChar : kSqlVarchar;
      s.storageType = kStorageChar;
      s.columnSize = uint64_t(column->charlength);
      s.encoding = columnEncoding(table, column);
      s.hasEncoding = true;
      s.supported = textCharOctets(ripper, column, s.encoding, &s.octetLength);
      return s;
    case kTypeDate:
      return {true, kSqlDate, kStorageDouble, 8, 0, 8, 8};
    case kTypeTime:
      s = {true, kSqlTime, kStorageDouble, 0, 0, 8, 8};
      timeShape(ripper, column, &s);
      return s;
    case kTypeTimestamp:
      s = {true, kSqlTimestamp, kStorageDouble, 0, 0, 8, 8};
      timestampSize(column, &s);
      return s;
    case kTypeBinary:
      s = {false, kSqlBinary, kStorageBinary, uint64_t(column->bytelength),
           static_cast<uint32_t>(column->bytelength)};
      s.supported = takeLength(column->bytelength, &s.octetLength);
      return s;
    default:
      return Shape{};
  }
}

Shape binaryShape(const KovaRipper* ripper, const KovaColumn* column, bool varbin) {
  const KovaObject* table = ripper->table;
  Shape s;
  if (commonShape(table, column, &s)) {
    if (s.storageType != kStorageDecimal) s.valueKind = kValueInteger;
    return s;
  }
  // CHAR, VARCHAR and BINARY hold bytelength bytes, or charlength when 0.
  int64_t length = column->bytelength != 0 ? column->bytelength : column->charlength;
  switch (column->type) {
    case kTypeDouble:
      return {true, kSqlDouble, kStorageDouble, 22, 0, 8, 8, kValueDouble};
    case kTypeChar:
    case kTypeVarchar:
    case kTypeBinary:
      if (column->type == kTypeBinary) {
        s = {false, kSqlBinary, kStorageBinary, uint64_t(length), 0, 0, 1, kValueBytes};
      } else {
        s = {false,
             column->type == kTypeChar ? kSqlChar : kSqlVarchar,
             kStorageChar,
             uint64_t(column->charlength),
             0,
             0,
             1,
             (column->type == kTypeChar && varbin) ? kValueBytes : kValueText};
      }
      s.encoding = columnEncoding(table, column);
      s.hasEncoding = true;
      s.fieldFromValue = true;
      s.supported = takeLength(length, &s.octetLength);
      return s;
    case kTypeDate:
      if (varbin) return {true, kSqlDate, kStorageDateRecord, 8, 0, 6, 8, kValueDateRecord};
      return {true, kSqlDate, kStorageDouble, 22, 0, 8, 8, kValueDouble};
    case kTypeTime:
      if (varbin) {
        s = {true, kSqlTime, kStorageTimeRecord, 0, 0, 6, 8, kValueTimeRecord};
        s.columnSize = column->charlength > 0 ? uint64_t(column->charlength) + 9 : 8;
        return s;
      }
      s = {true, kSqlTime, kStorageDouble, 0, 0, 8, 8, kValueDouble};
      timeShape(ripper, column, &s);
      return s;
    case kTypeTimestamp:
      s = varbin ? Shape{true, kSqlTimestamp,        kStorageTimestampRecord, 0, 0, 16,
                         8,    kValueTimestampRecord}
                 : Shape{true, kSqlTimestamp, kStorageDouble, 0, 0, 8, 8, kValueDouble};
      timestampSize(column, &s);
      return s;
    default:
      return Shape{};
  }
}

void logNotSupported(const KovaRipper* ripper, const KovaColumn* column) {
  const char16_t* name = column->name ? column->name : u"";
  int length =
      column->name ? static_cast<int>(std::clamp<int64_t>(column->nameLength, 0, 0x7FFFFFFF)) : 0;
  logLine(ripper->diagnostics, kLogError,
          u"KOVA data type [%d] CType [%d] provided in column [%.*s] is not supported.",
          static_cast<int>(column->type), static_cast<int>(column->c_type), length, name);
}

// Resets what describe owns in a column's state (a second describe rebuilds).
void resetState(KovaColumnState* state, KovaColumn* column) {
  state->column = column;
  state->entry = nullptr;
  state->fieldEncoding = 0;
  state->rowEncoding = 0;
  state->bigEndian = 0;
  state->valueKind = 0;
  state->charLength = 0;
}

// The entry array: allocated on the first call, cleared on every later one.
bool prepareEntries(KovaRipper* ripper, uint64_t entrySize) {
  int32_t count = ripper->table->columnCount;
  if (count <= 0) return true;
  if (!ripper->layout) {
    ripper->layout = poolAllocate(ripper->pool, entrySize * uint64_t(count), true);
    return ripper->layout != nullptr;
  }
  std::memset(ripper->layout, 0, entrySize * uint64_t(count));
  return true;
}

const KovaRowLayout* finish(KovaRipper* ripper, uint32_t count, uint64_t rowLength) {
  ripper->layoutCount = count;
  ripper->rowLength = rowLength;
  ripper->ops.bind = bind;
  return reinterpret_cast<const KovaRowLayout*>(&ripper->layout);
}

}  // namespace

uint32_t indicatorWidthFor(uint64_t octetLength) {
  if (octetLength >= 0x80000000ull) return kIndicatorWidth8;
  if (octetLength >= 32768) return kIndicatorWidth4;
  if (octetLength >= 128) return kIndicatorWidth2;
  return kIndicatorWidth1;
}

const KovaRowLayout* describeTyped(KovaRipper* ripper) {
  if (!prepareEntries(ripper, sizeof(KovaLayoutEntry))) return nullptr;
  const KovaObject* table = ripper->table;
  const TableKind kind = tableKind(table->recfm);
  uint64_t data = 0;        // D: values first
  uint64_t indicators = 0;  // I: then the indicators
  uint32_t count = 0;
  for (int32_t i = 0; i < table->columnCount; ++i) {
    KovaColumn* column = table->columns[i];
    KovaColumnState* state = &ripper->columns[i];
    resetState(state, column);
    if (column->dropped) continue;
    KovaLayoutEntry* entry = &ripper->typedLayout[count++];
    state->entry = entry;
    state->bigEndian = columnBigEndian(table, column);
    entry->columnNumber = count;
    entry->ordinal = static_cast<uint32_t>(i + 1);
    entry->columnName = column->name;
    entry->columnNameLength = static_cast<uint32_t>(column->nameLength);
    entry->usage = ripper->output ? kUsageBurner : kUsageRipper;
    entry->nullable = 1;

    Shape shape = kind == TableKind::kText
                      ? textShape(ripper, column)
                      : binaryShape(ripper, column, kind == TableKind::kVarbin);
    uint64_t offset = alignUp(data, shape.align);
    if (shape.supported && offset + shape.octetLength > kTypedAreaLimit) shape.supported = false;
    if (!shape.supported) {
      logNotSupported(ripper, column);
      shape = Shape{};
      offset = data;
    }
    entry->sqlType = shape.sqlType;
    entry->storageType = shape.storageType;
    entry->columnSize = shape.columnSize;
    entry->decimalDigits = shape.decimalDigits;
    entry->octetLength = shape.octetLength;
    entry->dataOffset = offset;
    data = offset + shape.octetLength;

    uint32_t code = indicatorWidthFor(shape.octetLength);
    uint64_t width = code == kIndicatorWidth8 ? 8 : code;
    indicators = alignUp(indicators, width);
    entry->indicatorOffset = indicators;
    entry->indicatorWidth = code;
    indicators += width;

    if (kind == TableKind::kText) state->fieldEncoding = ripper->fieldEncoding;
    if (shape.hasEncoding) {
      entry->encoding = shape.encoding;
      state->rowEncoding = shape.encoding;
      if (shape.fieldFromValue) {
        state->fieldEncoding = ripper->fieldEncoding != 0 ? ripper->fieldEncoding : shape.encoding;
      }
    }
    state->valueKind = shape.valueKind;
    if (kind == TableKind::kText && shape.storageType == kStorageChar) {
      state->charLength = uint64_t(column->charlength);
    }
  }
  const uint64_t values = alignUp(data, 8);
  for (uint32_t k = 0; k < count; ++k) ripper->typedLayout[k].indicatorOffset += values;
  return finish(ripper, count, alignUp(values + indicators, 8));
}

const KovaRowLayout* describeRowImage(KovaRipper* ripper) {
  if (!prepareEntries(ripper, sizeof(KovaRowImageEntry))) return nullptr;
  const KovaObject* table = ripper->table;
  int64_t at = 0;  // R
  uint32_t count = 0;
  for (int32_t i = 0; i < table->columnCount; ++i) {
    KovaColumn* column = table->columns[i];
    KovaColumnState* state = &ripper->columns[i];
    resetState(state, column);
    if (column->dropped) continue;
    KovaRowImageEntry* entry = &ripper->imageLayout[count++];
    state->entry = entry;
    state->rowEncoding = ripper->rowEncoding;
    state->fieldEncoding = ripper->fieldEncoding;
    state->bigEndian = columnBigEndian(table, column);
    const bool text = column->type == kTypeChar || column->type == kTypeVarchar;
    int64_t length = column->bytelength != 0 ? column->bytelength : column->charlength;
    int64_t offset = text ? at : int64_t(alignUp(uint64_t(at), 8));
    int64_t size = text ? length : 8;
    if (size < 0 || size > kImageRowLimit - offset) {
      // Does not fit a row image: an empty text slot, so nothing is written.
      logNotSupported(ripper, column);
      *entry = {static_cast<int32_t>(at), 0};
      state->valueKind = kValueBytes;
      continue;
    }
    if (text) {
      *entry = {static_cast<int32_t>(offset), static_cast<int32_t>(length)};
      if (ripper->fieldEncoding == 0) state->fieldEncoding = ripper->rowEncoding;
      state->valueKind = kValueBytes;
    } else {
      *entry = {static_cast<int32_t>(offset), kRowImageNumber};
      state->valueKind = kValueDouble;
    }
    at = offset + size;
  }
  return finish(ripper, count, alignUp(uint64_t(at), 8));
}

}  // namespace kova
