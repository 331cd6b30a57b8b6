// UTF-8 to 16-bit text for the XML parser's callbacks. Characters outside the
// Basic Multilingual Plane become surrogate pairs; malformed bytes (which
// expat never hands over) become U+FFFD. Pure; any thread may call it.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kova::runtime {

// The most 16-bit units that n bytes of UTF-8 can give.
inline constexpr size_t utf16Capacity(size_t utf8Bytes) { return utf8Bytes; }

// Converts n bytes at in into out (room for utf16Capacity(n) units); returns
// the units written.
size_t utf8ToUtf16(const char* in, size_t n, char16_t* out);

inline constexpr size_t kNotAscii = ~size_t{0};

// A NUL-terminated name of ASCII only, shorter than room, into out in one
// pass; returns its length, or kNotAscii (out then holds nothing useful) when
// the name has other bytes or does not fit: utf8ToUtf16 takes it then.
size_t asciiNameToUtf16(const char* name, char16_t* out, size_t room);

}  // namespace kova::runtime
