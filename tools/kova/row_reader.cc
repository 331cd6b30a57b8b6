#include "tools/kova/row_reader.h"

#include <charconv>
#include <algorithm>
#include <cmath>
#include <cstring>

#include "kova/decimal.h"
#include "tools/kova/json.h"
#include "tools/kova/utf8_repair.h"

namespace kova::tool {

// ---- values -----------------------------------------------------------------

void civilFromDays(int64_t days, int64_t* year, unsigned* month, unsigned* day) {
  int64_t z = days - 3653 + 719468;  // shift to days since 0000-03-01
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = unsigned(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  *day = doy - (153 * mp + 2) / 5 + 1;
  *month = mp < 10 ? mp + 3 : mp - 9;
  *year = int64_t(yoe) + era * 400 + (*month <= 2 ? 1 : 0);
}

namespace {

constexpr double kSecondsPerDay = 86400;

std::string numberText(double value) {
  char buffer[64];
  auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, result.ptr);
}

// A missing value (the two top bytes 0xFF) as ".", "._" or ".A" to ".Z".
bool missingText(double value, std::string* text) {
  uint64_t bits;
  std::memcpy(&bits, &value, 8);
  if ((bits >> 48) != 0xFFFF) return false;
  const unsigned code = unsigned(bits >> 40) & 0xFF;
  if (code == 0xD2) {
    *text = "._";
  } else if (code <= 0xBE && code >= 0xA5) {
    *text = std::string(".") + char('A' + (0xBE - code));
  } else {
    *text = ".";
  }
  return true;
}

// "hh:mm:ss" with digits fractional digits (digits < 0: three when the value
// has a fraction, else none) for seconds within a day or beyond.
std::string clockText(double seconds, int digits) {
  std::string out;
  if (seconds < 0) {
    out = "-";
    seconds = -seconds;
  }
  if (digits < 0) digits = seconds != std::floor(seconds) ? 3 : 0;
  if (digits > 9) digits = 9;
  const double scale = std::pow(10.0, digits);
  const double units = std::round(seconds * scale);
  const double whole = std::floor(units / scale);
  const uint64_t fraction = uint64_t(units - whole * scale);
  const uint64_t total = uint64_t(whole);
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%02llu:%02llu:%02llu",
                static_cast<unsigned long long>(total / 3600),
                static_cast<unsigned long long>(total / 60 % 60),
                static_cast<unsigned long long>(total % 60));
  out += buffer;
  if (digits > 0) {
    std::snprintf(buffer, sizeof buffer, ".%0*llu", digits,
                  static_cast<unsigned long long>(fraction));
    out += buffer;
  }
  return out;
}

// Dates beyond this many days either side of 1960 print as numbers.
constexpr double kDayLimit = 3.0e9;

// The date, time and timestamp records of VARBIN rows (year i16, then u16
// parts; a timestamp's u32 fraction in nanoseconds) as ISO text; digits:
// the fractional digits a timestamp shows.
std::string recordText(uint32_t storage, const uint8_t* value, size_t length, int digits) {
  uint16_t part[6] = {};
  uint32_t fraction = 0;
  const size_t needed = storage == kStorageTimestampRecord ? 16 : 6;
  if (length < needed) return "";
  std::memcpy(part, value, storage == kStorageTimestampRecord ? 12 : 6);
  if (storage == kStorageTimestampRecord) std::memcpy(&fraction, value + 12, 4);
  char buffer[64];
  if (storage == kStorageTimeRecord) {
    std::snprintf(buffer, sizeof buffer, "%02u:%02u:%02u", part[0], part[1], part[2]);
    return buffer;
  }
  std::snprintf(buffer, sizeof buffer, "%04d-%02u-%02u", int(int16_t(part[0])), part[1], part[2]);
  std::string out = buffer;
  if (storage == kStorageDateRecord) return out;
  std::snprintf(buffer, sizeof buffer, " %02u:%02u:%02u", part[3], part[4], part[5]);
  out += buffer;
  if (digits > 0) {
    digits = std::min(digits, 9);
    uint32_t shown = fraction;
    for (int i = digits; i < 9; ++i) shown /= 10;
    std::snprintf(buffer, sizeof buffer, ".%0*u", digits, shown);
    out += buffer;
  }
  return out;
}

}  // namespace

std::string decimalText(const uint8_t* value) {
  DecimalValue decimal;
  std::memcpy(&decimal, value, sizeof decimal);
  unsigned __int128 magnitude = 0;
  for (int i = 15; i >= 0; --i) magnitude = (magnitude << 8) | decimal.val[i];
  std::string digits;
  do {
    digits.insert(digits.begin(), char('0' + int(magnitude % 10)));
    magnitude /= 10;
  } while (magnitude != 0);
  const int scale = decimal.scale;
  if (scale > 0) {
    if (digits.size() <= size_t(scale)) digits.insert(0, size_t(scale) + 1 - digits.size(), '0');
    digits.insert(digits.size() - size_t(scale), 1, '.');
  } else if (scale < 0 && digits != "0") {
    digits.append(size_t(-scale), '0');
  }
  const bool zero = digits.find_first_not_of("0.") == std::string::npos;
  return decimal.sign == 0 && !zero ? "-" + digits : digits;
}

std::string dateText(double days) {
  if (!std::isfinite(days) || std::fabs(days) > kDayLimit) return numberText(days);
  int64_t year;
  unsigned month, day;
  civilFromDays(int64_t(std::floor(days)), &year, &month, &day);
  char buffer[48];
  std::snprintf(buffer, sizeof buffer, "%04lld-%02u-%02u", static_cast<long long>(year), month,
                day);
  return buffer;
}

std::string timeText(double seconds, int digits) {
  if (!std::isfinite(seconds) || std::fabs(seconds) > kDayLimit * kSecondsPerDay) {
    return numberText(seconds);
  }
  return clockText(seconds, digits);
}

std::string timestampText(double seconds, int digits) {
  if (!std::isfinite(seconds) || std::fabs(seconds) > kDayLimit * kSecondsPerDay) {
    return numberText(seconds);
  }
  if (digits < 0) digits = seconds != std::floor(seconds) ? 3 : 0;
  const double scale = std::pow(10.0, digits > 9 ? 9 : digits);
  const double rounded = std::round(seconds * scale) / scale;
  const double days = std::floor(rounded / kSecondsPerDay);
  return dateText(days) + " " + clockText(rounded - days * kSecondsPerDay, digits);
}

std::string base64(const uint8_t* bytes, size_t length) {
  static const char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  out.reserve((length + 2) / 3 * 4);
  for (size_t i = 0; i < length; i += 3) {
    uint32_t group = uint32_t(bytes[i]) << 16;
    if (i + 1 < length) group |= uint32_t(bytes[i + 1]) << 8;
    if (i + 2 < length) group |= bytes[i + 2];
    out += kDigits[group >> 18];
    out += kDigits[(group >> 12) & 63];
    out += i + 1 < length ? kDigits[(group >> 6) & 63] : '=';
    out += i + 2 < length ? kDigits[group & 63] : '=';
  }
  return out;
}

// ---- reading rows -----------------------------------------------------------

struct RowReader::Column {
  const KovaColumn* column = nullptr;
  const KovaLayoutEntry* entry = nullptr;    // typed rows
  const KovaRowImageEntry* image = nullptr;  // row-image rows
  KovaTranscoder* toUtf8 = nullptr;          // character values not in UTF-8
};

RowReader::RowReader(const KovaRipper* ripper, KovaNls* nls, bool raw)
    : ripper_(ripper), nls_(nls), raw_(raw) {
  const KovaObject* table = ripper->table;
  for (int32_t i = 0; i < table->columnCount; ++i) {
    const KovaColumnState& state = ripper->columns[i];
    if (!state.entry) continue;
    Column column;
    column.column = state.column;
    uint32_t encoding = kEncodingUtf8;
    bool number;
    if (ripper->rowImage) {
      column.image = state.imageEntry;
      number = column.image->length == kRowImageNumber;
      encoding = ripper->rowEncoding;
    } else {
      column.entry = state.typedEntry;
      const uint32_t storage = column.entry->storageType;
      number = storage == kStorageDouble || storage == kStorageInt64 || storage == kStorageInt32 ||
               storage == kStorageInt16 || storage == kStorageInt8 || storage == kStorageDecimal;
      encoding = column.entry->encoding;
      const int32_t sql = column.entry->sqlType;
      if (!raw && (sql == kSqlDate || sql == kSqlTime || sql == kSqlTimestamp)) number = false;
    }
    if (ripper->rowImage) {
      const uint32_t type = column.column->type;
      if (!raw && (type == kTypeDate || type == kTypeTime || type == kTypeTimestamp)) {
        number = false;
      }
    }
    const bool characters = ripper->rowImage ? !number : column.entry->storageType == kStorageChar;
    if (characters && nls && encoding != 0 && encoding != kEncodingUtf8 &&
        encoding < kEncodingLimit &&
        nls->ops->needsTranscoding(nls, int32_t(encoding), kEncodingUtf8, 0)) {
      column.toUtf8 = nls->ops->createTranscoder(nls, int32_t(encoding), kEncodingUtf8, 0, nullptr);
    }
    if (characters) textColumns_.push_back(columns_.size());
    columns_.push_back(column);
    const KovaColumn* c = state.column;
    names_.push_back(c->name && c->nameLength > 0 ? toUtf8({c->name, size_t(c->nameLength)})
                                                  : "column" + std::to_string(i + 1));
    numeric_.push_back(number);
  }
}

RowReader::~RowReader() {
  for (Column& column : columns_) {
    if (column.toUtf8) column.toUtf8->ops->destroyTranscoder(column.toUtf8);
  }
}

std::string RowReader::text(const Column& column, const uint8_t* bytes, size_t length) {
  if (!column.toUtf8 || length == 0)
    return std::string(reinterpret_cast<const char*>(bytes), length);
  std::string out(length * 4 + 4, '\0');
  uint64_t written = 0;
  KovaStatus status = column.toUtf8->ops->transcode(column.toUtf8, bytes, length, out.data(),
                                                    out.size(), &written, 0);
  if (status != kStatusOk && status != kStatusTranscodeWarning) {
    return std::string(reinterpret_cast<const char*>(bytes), length);
  }
  out.resize(written);
  return out;
}

void RowReader::read(const uint8_t* row, std::vector<Cell>* cells) {
  cells->resize(columns_.size());
  for (size_t i = 0; i < columns_.size(); ++i) {
    (*cells)[i] = ripper_->rowImage ? imageCell(columns_[i], row) : typedCell(columns_[i], row);
  }
}

int64_t readIndicator(const uint8_t* at, uint32_t code, int64_t none) {
  switch (code & kIndicatorWidthMask) {
    case kIndicatorWidth1:
      return int8_t(*at);
    case kIndicatorWidth2: {
      int16_t v;
      std::memcpy(&v, at, 2);
      return v;
    }
    case kIndicatorWidth4: {
      int32_t v;
      std::memcpy(&v, at, 4);
      return v;
    }
    case kIndicatorWidth8: {
      int64_t v;
      std::memcpy(&v, at, 8);
      return v;
    }
    default:
      return none;
  }
}

namespace {

// A double column's value: missing values, dates and times, or a number.
Cell doubleCell(double value, uint32_t type, int digits, bool raw) {
  Cell cell;
  if (missingText(value, &cell.text)) {
    cell.kind = Cell::kMissing;
    return cell;
  }
  if (!std::isfinite(value)) {
    cell.kind = Cell::kMissing;
    cell.text = numberText(value);
    return cell;
  }
  if (!raw && type == kTypeDate) {
    cell.kind = Cell::kText;
    cell.text = dateText(value);
  } else if (!raw && type == kTypeTime) {
    cell.kind = Cell::kText;
    cell.text = timeText(value, digits);
  } else if (!raw && type == kTypeTimestamp) {
    cell.kind = Cell::kText;
    cell.text = timestampText(value, digits);
  } else {
    cell.kind = Cell::kNumber;
    cell.text = numberText(value);
  }
  return cell;
}

}  // namespace

Cell RowReader::typedCell(const Column& column, const uint8_t* row) {
  const KovaLayoutEntry& e = *column.entry;
  const int64_t indicator = readIndicator(row + e.indicatorOffset, e.indicatorWidth, INT64_MIN);
  Cell cell;
  if (indicator < 0 && indicator != INT64_MIN) return cell;  // null (-1, or -88)
  const uint8_t* value = row + e.dataOffset;
  const size_t length = indicator == INT64_MIN
                            ? size_t(e.octetLength)
                            : size_t(std::min<uint64_t>(uint64_t(indicator), e.octetLength));
  switch (e.storageType) {
    case kStorageChar:
      cell.kind = Cell::kText;
      cell.text = text(column, value, length);
      return cell;
    case kStorageBinary:
      cell.kind = Cell::kText;
      cell.text = base64(value, length);
      return cell;
    case kStorageDecimal:
      if (e.octetLength < kDecimalSize) return cell;
      cell.kind = Cell::kDecimal;
      cell.text = decimalText(value);
      return cell;
    case kStorageDouble: {
      double d;
      std::memcpy(&d, value, 8);
      const uint32_t type = e.sqlType == kSqlDate        ? kTypeDate
                            : e.sqlType == kSqlTime      ? kTypeTime
                            : e.sqlType == kSqlTimestamp ? kTypeTimestamp
                                                         : kTypeDouble;
      const int digits = e.decimalDigits > 0 ? int(e.decimalDigits) : -1;
      return doubleCell(d, type, digits, raw_);
    }
    case kStorageDateRecord:
    case kStorageTimeRecord:
    case kStorageTimestampRecord:
      cell.kind = Cell::kText;
      cell.text = recordText(e.storageType, value, length, int(e.decimalDigits));
      return cell;
    case kStorageInt64: {
      int64_t v;
      std::memcpy(&v, value, 8);
      cell.text = std::to_string(v);
      break;
    }
    case kStorageInt32: {
      int32_t v;
      std::memcpy(&v, value, 4);
      cell.text = std::to_string(v);
      break;
    }
    case kStorageInt16: {
      int16_t v;
      std::memcpy(&v, value, 2);
      cell.text = std::to_string(v);
      break;
    }
    case kStorageInt8:
      cell.text = std::to_string(int(int8_t(*value)));
      break;
    default:
      return cell;  // a type the layout does not support
  }
  cell.kind = Cell::kNumber;
  return cell;
}

Cell RowReader::imageCell(const Column& column, const uint8_t* row) {
  const KovaRowImageEntry& e = *column.image;
  const uint8_t* value = row + e.offset;
  if (e.length == kRowImageNumber) {
    double d;
    std::memcpy(&d, value, 8);
    const uint32_t type = column.column->type;
    // As in typed rows: a TIMESTAMP shows the fractional digits its column
    // declares, a TIME those it has.
    const int digits = type == kTypeTimestamp && column.column->charlength > 0
                           ? int(column.column->charlength)
                           : -1;
    return doubleCell(d, type, digits, raw_);
  }
  size_t length = e.length > 0 ? size_t(e.length) : 0;
  while (length > 0 && value[length - 1] == ' ') --length;  // the row pads with blanks
  Cell cell;
  cell.kind = Cell::kText;
  cell.text = text(column, value, length);
  return cell;
}

uint64_t RowReader::invalidSequences(const uint8_t* row, size_t* first) {
  uint64_t total = 0;
  for (size_t c : textColumns_) {
    const Column& column = columns_[c];
    const uint8_t* value = nullptr;
    size_t length = 0;
    if (column.entry) {
      const KovaLayoutEntry& e = *column.entry;
      if (e.storageType != kStorageChar) continue;
      const int64_t indicator = readIndicator(row + e.indicatorOffset, e.indicatorWidth, INT64_MIN);
      if (indicator < 0 && indicator != INT64_MIN) continue;
      value = row + e.dataOffset;
      length = indicator == INT64_MIN
                   ? size_t(e.octetLength)
                   : size_t(std::min<uint64_t>(uint64_t(indicator), e.octetLength));
    } else {
      if (column.image->length == kRowImageNumber || column.image->length <= 0) continue;
      value = row + column.image->offset;
      length = size_t(column.image->length);
    }
    uint64_t n = 0;
    if (column.toUtf8) {
      const std::string utf8 = text(column, value, length);
      n = countInvalidUtf8(reinterpret_cast<const uint8_t*>(utf8.data()), utf8.size());
    } else if (!isAscii(value, length)) {
      n = countInvalidUtf8(value, length);
    }
    if (n > 0 && total == 0) *first = c;
    total += n;
  }
  return total;
}

}  // namespace kova::tool
