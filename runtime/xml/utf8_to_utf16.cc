#include "runtime/xml/utf8_to_utf16.h"

#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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
    // Runs of ASCII widened in bulk.
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    while (i + 16 <= n) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
      if (_mm_movemask_epi8(v) != 0) break;
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out + w), _mm_unpacklo_epi8(v, zero));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out + w + 8), _mm_unpackhi_epi8(v, zero));
      i += 16;
      w += 16;
    }
    if (i + 8 <= n) {
      const __m128i v = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(s + i));
      if ((_mm_movemask_epi8(v) & 0xFF) == 0) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + w), _mm_unpacklo_epi8(v, zero));
        i += 8;
        w += 8;
      }
    }
    // A short ASCII tail after ASCII: the last eight bytes widened again over
    // the units the bytes before the tail gave one for one.
    if (i < n && n - i < 8 && n >= 8 && i >= 8 - (n - i)) {
      const __m128i v = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(s + n - 8));
      if ((_mm_movemask_epi8(v) & 0xFF) == 0) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + w - (8 - (n - i))),
                         _mm_unpacklo_epi8(v, zero));
        w += n - i;
        break;
      }
    }
#else
    while (i + 8 <= n) {
      uint64_t word;
      std::memcpy(&word, s + i, 8);
      if (word & 0x8080808080808080ull) break;
      for (int k = 0; k < 8; ++k) out[w + k] = static_cast<char16_t>(s[i + k]);
      i += 8;
      w += 8;
    }
#endif
    // The ASCII bytes left before the next wide step or a longer sequence.
    const size_t stop = std::min(n, i + 16);
    while (i < stop && s[i] < 0x80) out[w++] = s[i++];
    if (i == n) break;
    const unsigned char b = s[i];
    if (b < 0x80) continue;
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

size_t asciiNameToUtf16(const char* name, char16_t* out, size_t room) {
  const auto* s = reinterpret_cast<const unsigned char*>(name);
  for (size_t i = 0; i < room; ++i) {
    const unsigned char c = s[i];
    // 1 to 0x7F in one comparison; the NUL ends the name.
    if (static_cast<unsigned char>(c - 1) >= 0x7F) return c == 0 ? i : kNotAscii;
    out[i] = c;
  }
  return kNotAscii;
}

}  // namespace kova::runtime
