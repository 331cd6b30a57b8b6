// Small helpers over the 16-bit text pairs of the metadata object.
#pragma once

#include <cstdint>
#include <string_view>

namespace kova {

// A text pair counts as set when its pointer is not null and its length is
// above 0.
inline bool textSet(const char16_t* text, int64_t length) { return text && length > 0; }

inline std::u16string_view textView(const char16_t* text, int64_t length) {
  return textSet(text, length) ? std::u16string_view(text, static_cast<size_t>(length))
                               : std::u16string_view();
}

inline char16_t asciiUpper(char16_t c) { return (c >= u'a' && c <= u'z') ? c - 32 : c; }

// Equal without regard to letter case (ASCII letters).
bool equalsIgnoringCase(std::u16string_view a, std::u16string_view b);

// Length of a NUL-terminated 16-bit literal.
constexpr int64_t literalLength(const char16_t* text) {
  int64_t n = 0;
  while (text[n]) ++n;
  return n;
}

}  // namespace kova
