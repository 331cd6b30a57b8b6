#include "runtime/nls/number_text.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

namespace kova::runtime {
namespace {

template <class Unit>
void trimBlanks(const Unit*& text, size_t& length) {
  while (length > 0 && text[0] == Unit(' ')) ++text, --length;
  while (length > 0 && text[length - 1] == Unit(' ')) --length;
}

template <class Unit>
bool isDigit(Unit u) {
  return u >= Unit('0') && u <= Unit('9');
}

char lower(char c) { return c >= 'A' && c <= 'Z' ? char(c + 32) : c; }

bool equalsFolded(const char* text, size_t length, const char* word) {
  size_t n = std::strlen(word);
  if (length != n) return false;
  for (size_t i = 0; i < n; ++i) {
    if (lower(text[i]) != word[i]) return false;
  }
  return true;
}

// For a decimal text that from_chars found out of range: true when its
// magnitude is below 1 (an underflow to zero), false when it is too large.
bool isUnderflow(const char* p, const char* end) {
  int64_t magnitude = 0;  // decimal exponent of the first significant digit
  bool seenSignificant = false, inFraction = false;
  int64_t zerosAfterPoint = 0, integerDigits = 0;
  for (; p < end && (isDigit(*p) || *p == '.'); ++p) {
    if (*p == '.') {
      inFraction = true;
    } else if (!seenSignificant) {
      if (*p != '0') {
        seenSignificant = true;
        if (!inFraction) integerDigits = 1;
      } else if (inFraction) {
        ++zerosAfterPoint;
      }
    } else if (!inFraction) {
      ++integerDigits;
    }
  }
  magnitude = integerDigits > 0 ? integerDigits - 1 : -(zerosAfterPoint + 1);
  int64_t exponent = 0;
  if (p < end && (*p == 'e' || *p == 'E')) {
    ++p;
    bool negative = p < end && *p == '-';
    if (p < end && (*p == '-' || *p == '+')) ++p;
    for (; p < end && isDigit(*p); ++p) {
      if (exponent < 1'000'000'000) exponent = exponent * 10 + (*p - '0');
    }
    if (negative) exponent = -exponent;
  }
  return magnitude + exponent < 0;
}

template <class Unit, class Int>
KovaStatus parseInteger(const Unit* text, size_t length, bool allowBlanks, Int* value) {
  if (allowBlanks) trimBlanks(text, length);
  size_t i = 0;
  bool negative = false;
  if (i < length && (text[i] == Unit('-') || text[i] == Unit('+'))) {
    negative = text[i] == Unit('-');
    ++i;
  }
  if (i == length) return kStatusNotANumber;
  // Accumulate negatively: the negative range is one larger.
  constexpr Int kMin = std::numeric_limits<Int>::min();
  Int result = 0;
  bool overflow = false;
  for (; i < length; ++i) {
    if (!isDigit(text[i])) return kStatusNotANumber;
    Int digit = static_cast<Int>(text[i] - Unit('0'));
    if (result < (kMin + digit) / 10) {
      overflow = true;  // keep scanning: garbage later still means "not a number"
    } else {
      result = result * 10 - digit;
    }
  }
  if (overflow) return kStatusDecimalOverflow;
  if (!negative) {
    if (result == kMin) return kStatusDecimalOverflow;
    result = -result;
  }
  *value = result;
  return kStatusOk;
}

}  // namespace

KovaStatus parseDouble(const char* text, size_t length, double* value) {
  trimBlanks(text, length);
  if (length == 0 || length > kMaxNumberText) return kStatusNotANumber;
  bool negative = false;
  const char* p = text;
  const char* end = text + length;
  if (*p == '-' || *p == '+') {
    negative = *p == '-';
    ++p;
  }
  if (p == end) return kStatusNotANumber;
  if (!isDigit(*p) && *p != '.') {
    if (equalsFolded(p, size_t(end - p), "inf") || equalsFolded(p, size_t(end - p), "infinity")) {
      *value = negative ? -std::numeric_limits<double>::infinity()
                        : std::numeric_limits<double>::infinity();
      return kStatusOk;
    }
    return kStatusNotANumber;
  }
  double result = 0;
  auto [ptr, ec] = std::from_chars(p, end, result, std::chars_format::general);
  if (ptr != end) return kStatusNotANumber;
  if (ec == std::errc::result_out_of_range) {
    if (!isUnderflow(p, end)) return kStatusDecimalOverflow;
    result = 0;
  } else if (ec != std::errc()) {
    return kStatusNotANumber;
  }
  *value = negative ? -result : result;
  return kStatusOk;
}

KovaStatus parseDouble(const char16_t* text, size_t length, double* value) {
  trimBlanks(text, length);
  if (length > kMaxNumberText) return kStatusNotANumber;
  char narrow[kMaxNumberText];
  for (size_t i = 0; i < length; ++i) {
    // Anything outside ASCII cannot be part of a number.
    if (text[i] >= 0x80) return kStatusNotANumber;
    narrow[i] = static_cast<char>(text[i]);
  }
  return parseDouble(narrow, length, value);
}

KovaStatus parseInt64(const char* text, size_t length, int64_t* value) {
  return parseInteger(text, length, true, value);
}

KovaStatus parseInt64(const char16_t* text, size_t length, int64_t* value) {
  return parseInteger(text, length, true, value);
}

KovaStatus parseInt32(const char16_t* text, size_t length, bool strict, int32_t* value) {
  return parseInteger(text, length, !strict, value);
}

size_t formatInt64(int64_t value, int32_t width, char* out, KovaStatus* status) {
  auto result = std::to_chars(out, out + 20, value);
  size_t length = size_t(result.ptr - out);
  if (width > 0 && length > size_t(width)) {
    *status = kStatusDecimalNoRoom;
    return 0;
  }
  *status = kStatusOk;
  return length;
}

size_t formatDouble(double value, int32_t width, int32_t decimals, char* out, KovaStatus* status) {
  *status = kStatusOk;
  if (std::isnan(value)) return 0;
  size_t limit = width > 0 ? size_t(width) : kNumberBufferSize;
  char* end = out + kNumberBufferSize;
  auto fits = [&](std::to_chars_result r) {
    return r.ec == std::errc() && size_t(r.ptr - out) <= limit;
  };
  if (std::isinf(value)) {
    const char* text = value < 0 ? "-inf" : "inf";
    size_t length = std::strlen(text);
    if (length > limit) {
      *status = kStatusDecimalNoRoom;
      return 0;
    }
    std::memcpy(out, text, length);
    return length;
  }
  if (decimals > 0) {
    // Fixed notation of the largest doubles with 100 decimals still fits.
    auto r =
        std::to_chars(out, end, value, std::chars_format::fixed, decimals > 100 ? 100 : decimals);
    if (fits(r)) return size_t(r.ptr - out);
  }
  auto r = std::to_chars(out, end, value);
  if (fits(r)) return size_t(r.ptr - out);
  for (int precision = 16; precision >= 1; --precision) {
    r = std::to_chars(out, end, value, std::chars_format::general, precision);
    if (fits(r)) return size_t(r.ptr - out);
  }
  *status = kStatusDecimalNoRoom;
  return 0;
}

}  // namespace kova::runtime
