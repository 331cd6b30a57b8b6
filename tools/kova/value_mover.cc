#include "tools/kova/value_mover.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <string_view>

#include "kova/decimal.h"
#include "tools/kova/json.h"
#include "tools/kova/row_reader.h"

namespace kova::tool {
namespace {

constexpr double kSecondsPerDay = 86400;
constexpr uint64_t kMissingBits = 0xFFFFD10000000000ull;

// No indicator: the whole value is there.
int64_t indicatorOf(const uint8_t* row, const KovaLayoutEntry& e) {
  return readIndicator(row + e.indicatorOffset, e.indicatorWidth, int64_t(e.octetLength));
}

void setIndicator(uint8_t* row, const KovaLayoutEntry& e, int64_t value) {
  uint8_t* at = row + e.indicatorOffset;
  switch (e.indicatorWidth & kIndicatorWidthMask) {
    case kIndicatorWidth1:
      *at = uint8_t(int8_t(value));
      break;
    case kIndicatorWidth2: {
      int16_t v = int16_t(value);
      std::memcpy(at, &v, 2);
      break;
    }
    case kIndicatorWidth4: {
      int32_t v = int32_t(value);
      std::memcpy(at, &v, 4);
      break;
    }
    case kIndicatorWidth8:
      std::memcpy(at, &value, 8);
      break;
    default:
      break;
  }
}

uint64_t integerSize(uint32_t storage) {
  switch (storage) {
    case kStorageInt64:
      return 8;
    case kStorageInt32:
      return 4;
    case kStorageInt16:
      return 2;
    case kStorageInt8:
      return 1;
    default:
      return 0;
  }
}

std::u16string_view nameOf(const KovaColumn* c) {
  return c->name && c->nameLength > 0 ? std::u16string_view(c->name, size_t(c->nameLength))
                                      : std::u16string_view();
}

// A double as a record of storage 17, 18 or 19.
void storeRecord(uint32_t storage, double value, uint8_t* v) {
  uint16_t p[6] = {};
  uint32_t fraction = 0;
  double seconds = value;
  if (storage == kStorageTimeRecord) {
    seconds = std::fmod(std::fmod(value, kSecondsPerDay) + kSecondsPerDay, kSecondsPerDay);
  } else {
    const double days =
        storage == kStorageDateRecord ? std::floor(value) : std::floor(value / kSecondsPerDay);
    int64_t y;
    unsigned m, d;
    civilFromDays(int64_t(days), &y, &m, &d);
    p[0] = uint16_t(int16_t(y));
    p[1] = uint16_t(m);
    p[2] = uint16_t(d);
    seconds = value - days * kSecondsPerDay;
  }
  if (storage != kStorageDateRecord) {
    const double whole = std::floor(seconds);
    const int s = int(whole);
    const int at = storage == kStorageTimeRecord ? 0 : 3;
    p[at] = uint16_t(s / 3600);
    p[at + 1] = uint16_t(s / 60 % 60);
    p[at + 2] = uint16_t(s % 60);
    fraction = uint32_t(std::min(999999999.0, std::round((seconds - whole) * 1e9)));
  }
  std::memcpy(v, p, storage == kStorageTimeRecord ? 6 : storage == kStorageDateRecord ? 6 : 12);
  if (storage == kStorageTimestampRecord) std::memcpy(v + 12, &fraction, 4);
}

}  // namespace

bool decimalFromText(std::string_view text, int precision, int scale, uint8_t* value19, bool* cut) {
  *cut = false;
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  bool negative = false;
  if (!text.empty() && (text[0] == '-' || text[0] == '+')) {
    negative = text[0] == '-';
    text.remove_prefix(1);
  }
  unsigned __int128 magnitude = 0;
  int digits = 0, fraction = 0;
  bool point = false, any = false;
  for (char c : text) {
    if (c == '.' && !point) {
      point = true;
      continue;
    }
    if (c < '0' || c > '9') return false;
    any = true;
    if (point && fraction >= scale) {
      if (c != '0') *cut = true;
      continue;
    }
    if (point) ++fraction;
    if (magnitude != 0 || c != '0') ++digits;
    if (digits > 38) return false;
    magnitude = magnitude * 10 + unsigned(c - '0');
  }
  if (!any) return false;
  for (; fraction < scale; ++fraction) {
    if (magnitude != 0) ++digits;
    magnitude *= 10;
  }
  if (precision > 0 && digits > precision) return false;
  DecimalValue d{};
  d.precision = uint8_t(precision);
  d.scale = int8_t(scale);
  d.sign = negative && magnitude != 0 ? 0 : 1;
  std::memcpy(d.val, &magnitude, 16);
  std::memcpy(value19, &d, sizeof d);
  return true;
}

struct ValueMover::Target {
  int32_t outIndex = -1;                     // the burner column
  const KovaLayoutEntry* out = nullptr;      // typed burner rows
  const KovaRowImageEntry* image = nullptr;  // row-image burner rows
  const KovaColumn* outColumn = nullptr;
  const KovaLayoutEntry* in = nullptr;  // the ripper column, or null
  int32_t cell = -1;                    // its place in the row reader's cells
  bool plain = false;
  KovaTranscoder* fromUtf8 = nullptr;  // text into the burner's row encoding
};

ValueMover::ValueMover(const KovaRipper* ripper, const KovaRipper* burner, KovaKernel* kernel)
    : ripper_(ripper),
      burner_(burner),
      nls_(kernel ? kernel->nls : nullptr),
      reader_(ripper, nls_, false),
      informats_(kernel, nls_ ? nls_->ops->currentLocale(nls_) : nullptr) {
  const KovaObject* in = ripper->table;
  for (int32_t o = 0; o < burner->table->columnCount; ++o) {
    const KovaColumnState& state = burner->columns[o];
    if (!state.entry) continue;
    Target t;
    t.outIndex = o;
    t.outColumn = state.column;
    if (burner->rowImage) {
      t.image = state.imageEntry;
    } else {
      t.out = state.typedEntry;
    }
    int32_t cell = 0;
    for (int32_t i = 0; i < in->columnCount; ++i) {
      const KovaColumnState& source = ripper->columns[i];
      if (!source.entry) continue;
      if (nameOf(source.column) == nameOf(state.column)) {
        t.in = ripper->rowImage ? nullptr : source.typedEntry;
        t.cell = cell;
        break;
      }
      ++cell;
    }
    if (t.cell < 0) unmatched_.push_back(toUtf8(nameOf(state.column)));
    if (t.in && t.out && t.in->storageType == t.out->storageType) {
      const uint32_t s = t.out->storageType;
      t.plain = (s == kStorageChar && t.in->encoding == t.out->encoding) || s == kStorageBinary ||
                integerSize(s) > 0 || (s == kStorageDouble && t.in->sqlType == t.out->sqlType) ||
                s == kStorageDateRecord || s == kStorageTimeRecord || s == kStorageTimestampRecord;
    }
    const uint32_t encoding =
        t.out ? (t.out->storageType == kStorageChar ? t.out->encoding : 0) : burner->rowEncoding;
    if (!t.plain && nls_ && encoding != 0 && encoding != kEncodingUtf8 &&
        encoding < kEncodingLimit &&
        nls_->ops->needsTranscoding(nls_, kEncodingUtf8, int32_t(encoding), 0)) {
      t.fromUtf8 = nls_->ops->createTranscoder(nls_, kEncodingUtf8, int32_t(encoding), 0, nullptr);
    }
    if (!t.plain && t.cell >= 0) needCells_ = true;
    targets_.push_back(t);
  }
}

ValueMover::~ValueMover() {
  for (Target& t : targets_) {
    if (t.fromUtf8) t.fromUtf8->ops->destroyTranscoder(t.fromUtf8);
  }
}

void ValueMover::move(const uint8_t* inRow, uint8_t* outRow) {
  std::memset(outRow, 0, burner_->rowLength);
  if (needCells_) reader_.read(inRow, &cells_);
  for (const Target& t : targets_) {
    if (t.plain) {
      plainMove(t, inRow, outRow);
    } else if (t.cell >= 0) {
      textMove(t, cells_[size_t(t.cell)], outRow);
    } else {
      textMove(t, Cell{}, outRow);
    }
  }
}

namespace {

// The longest prefix of n UTF-8 bytes, at most room long, that does not end
// inside a character: a cut value stays valid text.
uint64_t utf8Cut(const uint8_t* bytes, uint64_t n, uint64_t room) {
  if (n <= room) return n;
  while (room > 0 && (bytes[room] & 0xC0) == 0x80) --room;
  return room;
}

}  // namespace

void ValueMover::plainMove(const Target& t, const uint8_t* inRow, uint8_t* outRow) {
  const int64_t indicator = indicatorOf(inRow, *t.in);
  if (indicator < 0) {
    setIndicator(outRow, *t.out, indicator);
    return;
  }
  uint64_t n = std::min<uint64_t>(uint64_t(indicator), t.in->octetLength);
  if (n > t.out->octetLength) {
    const uint8_t* value = inRow + t.in->dataOffset;
    n = t.out->storageType == kStorageChar && t.out->encoding == kEncodingUtf8
            ? utf8Cut(value, n, t.out->octetLength)
            : t.out->octetLength;
    ++cut_;
  }
  std::memcpy(outRow + t.out->dataOffset, inRow + t.in->dataOffset, n);
  setIndicator(outRow, *t.out, int64_t(n));
}

void ValueMover::storeText(const Target& t, const std::string& text, uint8_t* outRow) {
  std::string converted;
  const std::string* bytes = &text;
  if (t.fromUtf8 && !text.empty()) {
    converted.resize(text.size() * 4 + 4);
    uint64_t written = 0;
    if (t.fromUtf8->ops->transcode(t.fromUtf8, text.data(), text.size(), converted.data(),
                                   converted.size(), &written, 0) != kStatusOk) {
      ++unconverted_;
      if (t.out) setIndicator(outRow, *t.out, -1);
      return;
    }
    converted.resize(written);
    bytes = &converted;
  }
  const uint64_t room = t.out ? t.out->octetLength : uint64_t(std::max(t.image->length, 0));
  uint64_t n = bytes->size();
  if (n > room) {
    // Without a transcoder the bytes are UTF-8.
    n = t.fromUtf8 ? room : utf8Cut(reinterpret_cast<const uint8_t*>(bytes->data()), n, room);
    ++cut_;
  }
  uint8_t* at = outRow + (t.out ? t.out->dataOffset : uint64_t(t.image->offset));
  std::memcpy(at, bytes->data(), n);
  if (t.out) {
    setIndicator(outRow, *t.out, int64_t(n));
  } else {
    std::memset(at + n, ' ', room - n);
  }
}

void ValueMover::textMove(const Target& t, const Cell& cell, uint8_t* outRow) {
  const bool null = cell.kind == Cell::kNull || cell.kind == Cell::kMissing;
  const std::string& text = cell.text;
  auto fail = [&] {
    ++unconverted_;
    if (t.out) setIndicator(outRow, *t.out, -1);
  };
  if (t.image) {  // a row-image slot: text, or a double (missing for null)
    if (t.image->length != kRowImageNumber) {
      if (!null)
        storeText(t, text, outRow);
      else
        std::memset(outRow + t.image->offset, ' ', size_t(std::max(t.image->length, 0)));
      return;
    }
    const uint32_t type = t.outColumn->type;
    const int32_t sql = type == kTypeDate        ? kSqlDate
                        : type == kTypeTime      ? kSqlTime
                        : type == kTypeTimestamp ? kSqlTimestamp
                                                 : kSqlDouble;
    double value;
    uint64_t bits = kMissingBits;
    if (!null && informats_.read(sql, text, &value))
      std::memcpy(&bits, &value, 8);
    else if (!null)
      ++unconverted_;
    std::memcpy(outRow + t.image->offset, &bits, 8);
    return;
  }
  if (null) {
    setIndicator(outRow, *t.out, -1);
    return;
  }
  const KovaLayoutEntry& e = *t.out;
  uint8_t* value = outRow + e.dataOffset;
  switch (e.storageType) {
    case kStorageChar:
    case kStorageBinary:
      storeText(t, text, outRow);
      return;
    case kStorageDecimal: {
      bool cut = false;
      if (e.octetLength < kDecimalSize ||
          !decimalFromText(text, int(e.columnSize), int(e.decimalDigits), value, &cut)) {
        return fail();
      }
      cut_ += cut;
      setIndicator(outRow, e, kDecimalSize);
      return;
    }
    case kStorageDouble:
    case kStorageDateRecord:
    case kStorageTimeRecord:
    case kStorageTimestampRecord: {
      double d;
      if (!informats_.read(e.sqlType, text, &d)) return fail();
      if (e.storageType == kStorageDouble) {
        std::memcpy(value, &d, 8);
        setIndicator(outRow, e, 8);
      } else {
        storeRecord(e.storageType, d, value);
        setIndicator(outRow, e, int64_t(e.octetLength));
      }
      return;
    }
    default: {
      const uint64_t size = integerSize(e.storageType);
      if (size == 0) return fail();
      int64_t v = 0;
      auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), v);
      if (error != std::errc() || end != text.data() + text.size()) {
        double d;
        if (!informats_.read(kSqlDouble, text, &d) || d != std::trunc(d) || std::fabs(d) > 9.2e18) {
          return fail();
        }
        v = int64_t(d);
      }
      const int64_t limit = size == 8 ? INT64_MAX : (int64_t(1) << (size * 8 - 1)) - 1;
      if (v > limit || v < -limit - 1) return fail();
      std::memcpy(value, &v, size);  // little-endian rows
      setIndicator(outRow, e, int64_t(size));
      return;
    }
  }
}

}  // namespace kova::tool
