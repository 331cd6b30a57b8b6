// printWide: the host's printf subset over 16-bit text. Conversions
// %d %i %u %ld %lld %lu %llu %x %X %s %.*s %c %%, flags '-' and '0', a width
// (digits or '*') and a precision (digits or '*'). %s and %.*s take 16-bit
// text: %s NUL-terminated, %.*s an int length then the pointer (a precision
// with %s caps the length). No terminator is written to the target.
#pragma once

#include <cstdarg>
#include <cstdint>
#include <string>

#include "kova/status.h"

namespace kova::runtime {

// Formats into target; a negative formatLength means the format is
// NUL-terminated. On success: 0 and *length = code units written.
// When capacity is too small: kStatusBufferTooSmall and *length = the units
// needed (target holds a partial result). kStatusNotSupported for a format
// the subset does not know.
KovaStatus vprintWide(const char16_t* format, int64_t formatLength, char16_t* target,
                      int64_t capacity, int64_t* length, va_list args);

// Convenience for host code: the formatted text, or the format itself when it
// is malformed.
std::u16string vformatWide(const char16_t* format, int64_t formatLength, va_list args);

}  // namespace kova::runtime
