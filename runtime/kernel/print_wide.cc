// printWide: a small printf over 16-bit text. The formatter walks the format
// once, writes what fits into the target and counts every unit it would have
// written, so a caller whose buffer is too small learns the size it needs.
#include "runtime/kernel/print_wide.h"

#include <climits>
#include <cstring>

namespace kova::runtime {
namespace {

// Collects output: stores while there is room, counts always.
class Sink {
 public:
  Sink(char16_t* target, int64_t capacity) : target_(target), capacity_(target ? capacity : 0) {
    if (capacity_ < 0) capacity_ = 0;
  }
  void put(char16_t unit) {
    if (needed_ < capacity_) target_[needed_] = unit;
    ++needed_;
  }
  void repeat(char16_t unit, int64_t count) {
    for (int64_t i = 0; i < count; ++i) put(unit);
  }
  int64_t needed() const { return needed_; }
  bool fits() const { return needed_ <= capacity_; }

 private:
  char16_t* target_;
  int64_t capacity_;
  int64_t needed_ = 0;
};

struct Directive {
  bool leftAlign = false;
  bool zeroPad = false;
  int64_t width = 0;
  int64_t precision = -1;  // -1: none given
  int longs = 0;           // 0: int, 1: long, 2: long long
};

// Reads a decimal count; false when it does not fit an int (a malformed format).
bool readCount(const char16_t* format, int64_t end, int64_t* pos, int64_t* value) {
  int64_t result = 0;
  while (*pos < end && format[*pos] >= u'0' && format[*pos] <= u'9') {
    result = result * 10 + (format[*pos] - u'0');
    if (result > INT_MAX) return false;
    ++*pos;
  }
  *value = result;
  return true;
}

// Writes text padded to the directive's width.
void emitPadded(Sink& sink, const Directive& directive, const char16_t* text, int64_t length) {
  int64_t pad = directive.width > length ? directive.width - length : 0;
  if (!directive.leftAlign) sink.repeat(u' ', pad);
  for (int64_t i = 0; i < length; ++i) sink.put(text[i]);
  if (directive.leftAlign) sink.repeat(u' ', pad);
}

// Writes an integer: sign, precision zeros, digits, padded to width.
void emitInteger(Sink& sink, const Directive& directive, bool negative,
                 unsigned long long magnitude, unsigned base, bool upper) {
  const char* digitSet = upper ? "0123456789ABCDEF" : "0123456789abcdef";
  char16_t digits[64];
  int count = 0;
  // A precision of 0 prints no digits for the value 0.
  if (!(magnitude == 0 && directive.precision == 0)) {
    do {
      digits[count++] = static_cast<char16_t>(digitSet[magnitude % base]);
      magnitude /= base;
    } while (magnitude != 0);
  }
  int64_t zeros = directive.precision > count ? directive.precision - count : 0;
  int64_t body = (negative ? 1 : 0) + zeros + count;
  int64_t pad = directive.width > body ? directive.width - body : 0;
  bool padWithZeros = directive.zeroPad && !directive.leftAlign && directive.precision < 0;
  if (padWithZeros) {
    zeros += pad;
    pad = 0;
  }
  if (!directive.leftAlign) sink.repeat(u' ', pad);
  if (negative) sink.put(u'-');
  sink.repeat(u'0', zeros);
  while (count > 0) sink.put(digits[--count]);
  if (directive.leftAlign) sink.repeat(u' ', pad);
}

}  // namespace

KovaStatus vprintWide(const char16_t* format, int64_t formatLength, char16_t* target,
                      int64_t capacity, int64_t* length, va_list args) {
  if (length) *length = 0;
  if (!format && formatLength != 0) return kStatusNotSupported;
  if (formatLength < 0) {  // a NUL-terminated format
    formatLength = 0;
    while (format[formatLength] != 0) ++formatLength;
  }
  va_list ap;
  va_copy(ap, args);
  Sink sink(target, capacity);
  KovaStatus status = kStatusOk;
  int64_t pos = 0;
  while (pos < formatLength) {
    char16_t c = format[pos++];
    if (c != u'%') {
      sink.put(c);
      continue;
    }
    Directive directive;
    // Flags.
    for (; pos < formatLength; ++pos) {
      if (format[pos] == u'-') {
        directive.leftAlign = true;
      } else if (format[pos] == u'0') {
        directive.zeroPad = true;
      } else {
        break;
      }
    }
    // Width.
    if (pos < formatLength && format[pos] == u'*') {
      ++pos;
      int width = va_arg(ap, int);
      if (width < 0) {  // a negative width argument means left alignment
        directive.leftAlign = true;
        directive.width = -static_cast<int64_t>(width);
      } else {
        directive.width = width;
      }
    } else if (!readCount(format, formatLength, &pos, &directive.width)) {
      status = kStatusNotSupported;
      break;
    }
    // Precision.
    if (pos < formatLength && format[pos] == u'.') {
      ++pos;
      if (pos < formatLength && format[pos] == u'*') {
        ++pos;
        int precision = va_arg(ap, int);
        directive.precision = precision < 0 ? -1 : precision;
      } else if (!readCount(format, formatLength, &pos, &directive.precision)) {
        status = kStatusNotSupported;
        break;
      }
    }
    // Length modifiers.
    while (pos < formatLength && format[pos] == u'l' && directive.longs < 2) {
      ++directive.longs;
      ++pos;
    }
    if (pos >= formatLength) {
      status = kStatusNotSupported;
      break;
    }
    char16_t conversion = format[pos++];
    switch (conversion) {
      case u'd':
      case u'i': {
        long long value = directive.longs == 0   ? va_arg(ap, int)
                          : directive.longs == 1 ? va_arg(ap, long)
                                                 : va_arg(ap, long long);
        unsigned long long magnitude = value < 0 ? 0ull - static_cast<unsigned long long>(value)
                                                 : static_cast<unsigned long long>(value);
        emitInteger(sink, directive, value < 0, magnitude, 10, false);
        break;
      }
      case u'u':
      case u'x':
      case u'X': {
        unsigned long long value = directive.longs == 0   ? va_arg(ap, unsigned int)
                                   : directive.longs == 1 ? va_arg(ap, unsigned long)
                                                          : va_arg(ap, unsigned long long);
        emitInteger(sink, directive, false, value, conversion == u'u' ? 10 : 16,
                    conversion == u'X');
        break;
      }
      case u's': {
        if (directive.longs != 0) {
          status = kStatusNotSupported;
          break;
        }
        const char16_t* text = va_arg(ap, const char16_t*);
        static const char16_t kNull[] = u"(null)";
        if (!text) text = kNull;
        // With a precision the text need not be terminated: never read past it.
        int64_t textLength = 0;
        while ((directive.precision < 0 || textLength < directive.precision) &&
               text[textLength] != 0) {
          ++textLength;
        }
        emitPadded(sink, directive, text, textLength);
        break;
      }
      case u'c': {
        if (directive.longs != 0) {
          status = kStatusNotSupported;
          break;
        }
        unsigned int code = va_arg(ap, unsigned int);
        char16_t units[2];
        int64_t count = 1;
        if (code > 0x10FFFF) {
          units[0] = 0xFFFD;
        } else if (code > 0xFFFF) {
          code -= 0x10000;
          units[0] = static_cast<char16_t>(0xD800 + (code >> 10));
          units[1] = static_cast<char16_t>(0xDC00 + (code & 0x3FF));
          count = 2;
        } else {
          units[0] = static_cast<char16_t>(code);
        }
        Directive plain = directive;
        plain.precision = -1;
        emitPadded(sink, plain, units, count);
        break;
      }
      case u'%':
        if (directive.leftAlign || directive.zeroPad || directive.width != 0 ||
            directive.precision >= 0 || directive.longs != 0) {
          status = kStatusNotSupported;
          break;
        }
        sink.put(u'%');
        break;
      default:
        status = kStatusNotSupported;
        break;
    }
    if (status != kStatusOk) break;
  }
  va_end(ap);
  if (status != kStatusOk) return status;
  if (length) *length = sink.needed();
  return sink.fits() ? kStatusOk : kStatusBufferTooSmall;
}

std::u16string vformatWide(const char16_t* format, int64_t formatLength, va_list args) {
  va_list measure;
  va_copy(measure, args);
  int64_t needed = 0;
  KovaStatus status = vprintWide(format, formatLength, nullptr, 0, &needed, measure);
  va_end(measure);
  if (status != kStatusOk && status != kStatusBufferTooSmall) {
    if (!format) return std::u16string();
    if (formatLength < 0) return std::u16string(format);
    return std::u16string(format, static_cast<size_t>(formatLength));
  }
  std::u16string text(static_cast<size_t>(needed), u'\0');
  va_list print;
  va_copy(print, args);
  int64_t written = 0;
  vprintWide(format, formatLength, text.data(), needed, &written, print);
  va_end(print);
  return text;
}

}  // namespace kova::runtime
