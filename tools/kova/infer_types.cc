#include "tools/kova/infer_types.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "kova/metadata.h"
#include "tools/kova/infer_values.h"

namespace kova::tool::infer {
namespace {

// A character length with room above the longest value seen: half as much
// again (at least 4), rounded up to a multiple of 8 (32 above 64).
int64_t roomFor(uint64_t longest) {
  uint64_t target = longest + std::max<uint64_t>(longest / 2, 4);
  uint64_t step = target <= 64 ? 8 : 32;
  return int64_t((target + step - 1) / step * step);
}

std::string count(uint64_t n, const char* what) {
  return std::to_string(n) + " " + what + (n == 1 ? "" : "s");
}

void setType(ColumnFinding* c, uint32_t type, uint32_t cType, std::string informat = "",
             std::string format = "") {
  c->type = type;
  c->cType = cType;
  c->informat = std::move(informat);
  c->format = std::move(format);
}

}  // namespace

const char* const kNullTexts[kNullTextCount] = {"", "\\N", "NA", "NULL", "null", "-"};

int nullTextOf(std::string_view value) {
  if (value.size() > 4) return -1;
  for (int k = 0; k < kNullTextCount; ++k) {
    if (value == kNullTexts[k]) return k;
  }
  return -1;
}

uint64_t utf8Chars(std::string_view text) {
  // Every byte but the continuation bytes (10xxxxxx) starts a character;
  // eight bytes at a time.
  uint64_t continuation = 0;
  size_t i = 0;
  for (; i + 8 <= text.size(); i += 8) {
    uint64_t w;
    std::memcpy(&w, text.data() + i, 8);
    continuation += uint64_t(std::popcount(w & ~(w << 1) & 0x8080808080808080ull));
  }
  for (; i < text.size(); ++i) continuation += (uint8_t(text[i]) & 0xC0) == 0x80;
  return text.size() - continuation;
}

ColumnProfile::ColumnProfile() : candidates_(kShapeAll) {}

void ColumnProfile::observeBoolean() {
  ++booleans_;
  candidates_ = 0;
  minChars_ = std::min<uint64_t>(minChars_, 1);  // "1" or "0"
  maxChars_ = std::max<uint64_t>(maxChars_, 1);
}

void ColumnProfile::observeString(std::string_view value) {
  observe(value);
  candidates_ &= ~kShapeNumbers;
}

void ColumnProfile::observe(std::string_view value) {
  const int null = value.size() <= 4 ? nullTextOf(value) : -1;
  if (null == kNullEmpty || null == kNullBackslashN) {
    ++nulls_[null];
    return;
  }
  const uint64_t chars = utf8Chars(value);
  minChars_ = std::min(minChars_, chars);
  maxChars_ = std::max(maxChars_, chars);
  if (null >= 0) {
    ++nulls_[null];
    return;
  }
  ++texts_;
  if (candidates_) observeTyped(value);
}

void ColumnProfile::observeTyped(std::string_view value) {
  ValueShape shape = classifyValue(value);
  candidates_ &= shape.shapes;
  leadingZero_ = leadingZero_ || shape.leadingZero;
  if (shape.shapes & kShapeNumbers) {
    maxIntDigits_ = std::max(maxIntDigits_, shape.intDigits);
    minScale_ = std::min(minScale_, shape.scale);
    maxScale_ = std::max(maxScale_, shape.scale);
  }
  if (shape.separator) {
    if (yearLastSeparator_ && yearLastSeparator_ != shape.separator) mixedSeparators_ = true;
    yearLastSeparator_ = shape.separator;
  }
  maxFraction_ = std::max(maxFraction_, shape.fraction);
}

void ColumnProfile::decide(ColumnFinding* c, std::vector<std::string>* warnings) const {
  c->values = texts_ + booleans_;
  c->nulls = 0;
  for (uint64_t n : nulls_) c->nulls += n;
  auto& why = c->evidence;
  auto warn = [&](const std::string& text) {
    warnings->push_back("column " + c->name + ": " + text);
  };
  const uint64_t likeNull =
      nulls_[kNullNA] + nulls_[kNullNULL] + nulls_[kNullLowerNull] + nulls_[kNullDash];
  if (texts_ == 0 && booleans_ == 0) {
    setType(c, kTypeVarchar, kCTypeChar);
    c->charlength = likeNull ? roomFor(maxChars_) : 64;
    if (likeNull) {
      why.push_back("only null texts such as NA, NULL or - (" + count(likeNull, "value") + ")");
      warn("holds only null texts such as NA, NULL or -; VARCHAR(" + std::to_string(c->charlength) +
           ")");
    } else {
      why.push_back("no value in the sample (" + count(c->nulls, "null") + ")");
      warn("empty in the whole sample; VARCHAR(" + std::to_string(c->charlength) + ")");
    }
    return;
  }
  if (booleans_ > 0 && texts_ == 0) {
    setType(c, kTypeTinyint, kCTypeInt8);
    why.push_back(count(booleans_, "boolean") + ": 1 for true, 0 for false");
    return;
  }
  const uint32_t k = candidates_;
  std::string values = count(texts_, "value");
  if (likeNull && k) {
    why.push_back(count(likeNull, "null text") + " such as NA, NULL or - read as null");
  }
  if (k & kShapeInt32) {
    setType(c, kTypeInt, kCTypeInt32);
    why.push_back(values + ", all integers from -2147483648 to 2147483647");
  } else if (k & kShapeInt64) {
    setType(c, kTypeBigint, kCTypeInt64);
    why.push_back(values + ", all integers; some beyond 32 bits");
  } else if (k & kShapeWideInt) {
    setType(c, kTypeDecimal, kCTypeChar);
    c->charlength = std::min(38, maxIntDigits_ + 2);
    why.push_back(values + ", all integers; some beyond 64 bits: DECIMAL(" +
                  std::to_string(c->charlength) + ",0)");
  } else if ((k & kShapePlainNumber) && minScale_ == maxScale_ && maxScale_ > 0 &&
             maxIntDigits_ + maxScale_ <= 38) {
    setType(c, kTypeDecimal, kCTypeChar);
    c->bytelength = maxScale_;
    c->charlength = std::min(38, maxIntDigits_ + maxScale_ + 3);
    why.push_back(values + ", all with " + std::to_string(maxScale_) +
                  " digits after the point and at most " + std::to_string(maxIntDigits_) +
                  " before it: DECIMAL(" + std::to_string(c->charlength) + "," +
                  std::to_string(maxScale_) + ")");
    if (likeNull) {
      warn("null texts such as NA are no decimal: the ripper counts a truncation for each");
    }
  } else if (k & kShapeDouble) {
    setType(c, kTypeDouble, kCTypeDouble);
    why.push_back(values + ", all numbers" +
                  (minScale_ != maxScale_ ? std::string(", with varying digits after the point")
                                          : std::string(", some in exponent form or too long")));
  } else if (k & kShapeDateIso) {
    setType(c, kTypeDate, kCTypeDate, "YYMMDD10.", "YYMMDD10.");
    why.push_back(values + ", all dates as year-month-day");
  } else if (k & (kShapeDateMF | kShapeDateDF)) {
    bool monthFirst = (k & kShapeDateMF) != 0;
    const std::string sep(1, yearLastSeparator_);
    if ((k & kShapeDateMF) && (k & kShapeDateDF)) {
      monthFirst = yearLastSeparator_ != '.';
      warn(std::string("no value shows whether the dates are day-first or month-first; took ") +
           (monthFirst ? "month-first (MMDDYY10.)" : "day-first (DDMMYY10.)"));
      why.push_back("no value above 12 in either of the first two positions; " +
                    std::string(monthFirst ? "month" : "day") + " first is the usual order with '" +
                    sep + "'");
    } else {
      why.push_back(monthFirst ? "a value has its second number above 12: month first"
                               : "a value has its first number above 12: day first");
    }
    const char* name = monthFirst ? "MMDDYY10." : "DDMMYY10.";
    setType(c, kTypeDate, kCTypeDate, name, name);
    why.push_back(values + ", all dates with the year last, separated by '" + sep + "'");
  } else if (k & kShapeDateNamed) {
    setType(c, kTypeDate, kCTypeDate, "DATE11.", "DATE9.");
    why.push_back(values + ", all dates as day, month name, year");
  } else if (k & kShapeDateAny) {
    setType(c, kTypeDate, kCTypeDate, "ANYDTDTE.", "YYMMDD10.");
    why.push_back(values + ", all dates with month names in written forms");
  } else if (k & kShapeTimes) {
    bool plain = k & kShapeTime;
    setType(c, kTypeTime, kCTypeTime, plain ? "TIME8." : "ANYDTTME.");
    c->charlength = maxFraction_;
    why.push_back(
        values + (plain ? ", all times of day as hh:mm[:ss]" : ", all times with AM or PM") +
        (maxFraction_ ? " with up to " + std::to_string(maxFraction_) + " decimals" : ""));
  } else if (k & (kShapeTsIso | kShapeTsDatetime | kShapeTsAny)) {
    const char* informat = (k & kShapeTsIso)        ? "ANYDTDTM."
                           : (k & kShapeTsDatetime) ? "DATETIME."
                                                    : "ANYDTDTM.";
    setType(c, kTypeTimestamp, kCTypeTimestamp, informat);
    c->charlength = maxFraction_;
    why.push_back(values + ((k & kShapeTsIso)        ? ", all ISO dates with a time of day"
                            : (k & kShapeTsDatetime) ? ", all ddMONyyyy:hh:mm:ss texts"
                                                     : ", all dates with a time of day"));
  } else if (k & (kShapeTsMF | kShapeTsDF)) {
    // The any-form reader takes slashed and dashed dates month first and
    // dotted ones day first; the other order has no reader.
    const bool readerMonthFirst = yearLastSeparator_ != '.';
    bool monthFirst = (k & kShapeTsMF) != 0;
    if ((k & kShapeTsMF) && (k & kShapeTsDF)) {
      monthFirst = readerMonthFirst;
      warn(
          std::string("no value shows whether the timestamps are day-first or month-first; took ") +
          (monthFirst ? "month-first" : "day-first"));
    }
    if (monthFirst == readerMonthFirst && !mixedSeparators_) {
      setType(c, kTypeTimestamp, kCTypeTimestamp, "ANYDTDTM.");
      c->charlength = maxFraction_;
      why.push_back(values + ", all " + (monthFirst ? "month" : "day") +
                    "-first dates with a time of day");
    } else {
      setType(c, kTypeVarchar, kCTypeChar);
      c->charlength = roomFor(maxChars_);
      why.push_back(values + ", dates with a time of day in an order no informat reads");
      warn(std::string(monthFirst ? "month" : "day") + "-first timestamps separated by '" +
           std::string(1, yearLastSeparator_) +
           "' have no informat that reads them; kept as VARCHAR");
    }
  } else if (minChars_ == maxChars_) {
    setType(c, kTypeChar, kCTypeChar);
    c->charlength = int64_t(maxChars_);
    why.push_back(values + ", all " + count(maxChars_, "character") + " long");
  } else {
    setType(c, kTypeVarchar, kCTypeChar);
    c->charlength = roomFor(maxChars_);
    why.push_back(values + ", the longest " + count(maxChars_, "character") + "; room for " +
                  std::to_string(c->charlength));
  }
  if (leadingZero_ && (c->type == kTypeVarchar || c->type == kTypeChar)) {
    why.push_back("numbers with a leading zero (such as postal codes) stay text");
  }
}

bool valueFits(const ColumnFinding& column, std::string_view value) {
  if (nullTextOf(value) >= 0) return true;
  const uint32_t shapes = classifyValue(value).shapes;
  switch (column.type) {
    case kTypeInt:
      return shapes & kShapeInt32;
    case kTypeBigint:
      return shapes & kShapeInt64;
    case kTypeDecimal:
      return shapes & (kShapeWideInt | kShapePlainNumber);
    case kTypeDouble:
      return shapes & kShapeDouble;
    case kTypeDate:
      return shapes & kShapeDates;
    case kTypeTime:
      return shapes & kShapeTimes;
    case kTypeTimestamp:
      return shapes & kShapeTimestamps;
    default:
      return true;
  }
}

}  // namespace kova::tool::infer
