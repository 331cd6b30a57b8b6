#include "runtime/xml/utf8_to_utf16.h"

#include <cstring>

namespace kova::runtime {
namespace {

constexpr char16_t kReplacement = 0xFFFD;

bool continuation(unsigned char b) { return (b & 0xC0) == 0x80; }

}  // namespace

size_t utf8ToUtf16(const char* in, size_t n, char16_t* out) {
  const auto* s = reinterpret_cast<const unsigned char*>(in);
  size_t i = 0;
  size_t w = 0;
  while (i < n) {
    // Runs of ASCII, eight bytes at a time.
    while (i + 8 <= n) {
      uint64_t word;
      std::memcpy(&word, s + i, 8);
      if (word & 0x8080808080808080ull) break;
      for (int k = 0; k < 8; ++k) out[w + k] = static_cast<char16_t>(s[i + k]);
      i += 8;
      w += 8;
    }
    if (i == n) break;
    unsigned char b = s[i];
    if (b < 0x80) {
      out[w++] = b;
      ++i;
      continue;
    }
    size_t extra;
    uint32_t cp;
    uint32_t least;
    if ((b & 0xE0) == 0xC0) {
      extra = 1, cp = b & 0x1F, least = 0x80;
    } else if ((b & 0xF0) == 0xE0) {
      extra = 2, cp = b & 0x0F, least = 0x800;
    } else if ((b & 0xF8) == 0xF0) {
      extra = 3, cp = b & 0x07, least = 0x10000;
    } else {
      out[w++] = kReplacement;
      ++i;
      continue;
    }
    size_t k = 1;
    while (k <= extra && i + k < n && continuation(s[i + k])) {
      cp = (cp << 6) | (s[i + k] & 0x3F);
      ++k;
    }
    if (k <= extra || cp < least || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
      out[w++] = kReplacement;
      i += k;
      continue;
    }
    i += k;
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out[w++] = static_cast<char16_t>(0xD800 + (cp >> 10));
      out[w++] = static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    } else {
      out[w++] = static_cast<char16_t>(cp);
    }
  }
  return w;
}

}  // namespace kova::runtime
