#include "src/ripper/char_boundary.h"

#include <bit>
#include <string_view>

namespace kova {
namespace {

// ASCII case-insensitive comparison of the NLS's 16-bit name with a literal.
bool sameName(const char16_t* name, int64_t length, std::string_view literal) {
  if (!name || length != int64_t(literal.size())) return false;
  for (size_t i = 0; i < literal.size(); ++i) {
    char16_t a = name[i];
    char16_t b = char16_t(static_cast<unsigned char>(literal[i]));
    if (a >= u'a' && a <= u'z') a = char16_t(a - 32);
    if (b >= u'a' && b <= u'z') b = char16_t(b - 32);
    if (a != b) return false;
  }
  return true;
}

bool inRange(uint8_t b, uint8_t low, uint8_t high) { return b >= low && b <= high; }

// The maximal well-formed prefix rule: a lead byte fixes the length and the
// range of the second byte; a byte out of range ends the piece before it.
size_t utf8Length(const uint8_t* p, size_t available) {
  const uint8_t b0 = p[0];
  size_t need;
  uint8_t low = 0x80, high = 0xBF;
  if (b0 < 0x80) return 1;
  if (b0 < 0xC2) return 1;
  if (b0 < 0xE0) {
    need = 2;
  } else if (b0 < 0xF0) {
    need = 3;
    if (b0 == 0xE0) low = 0xA0;
    if (b0 == 0xED) high = 0x9F;
  } else if (b0 < 0xF5) {
    need = 4;
    if (b0 == 0xF0) low = 0x90;
    if (b0 == 0xF4) high = 0x8F;
  } else {
    return 1;
  }
  for (size_t i = 1; i < need; ++i) {
    if (i >= available) return need;
    if (!inRange(p[i], low, high)) return i;
    low = 0x80, high = 0xBF;
  }
  return need;
}

uint16_t unit16(const uint8_t* p, bool little) {
  return little ? uint16_t(p[0] | (p[1] << 8)) : uint16_t((p[0] << 8) | p[1]);
}

size_t utf16Length(const uint8_t* p, size_t available, bool little) {
  if (available < 2) return 2;
  const uint16_t u = unit16(p, little);
  if (u < 0xD800 || u >= 0xDC00) return 2;
  if (available < 4) return 4;
  const uint16_t v = unit16(p + 2, little);
  return (v >= 0xDC00 && v <= 0xDFFF) ? 4 : 2;
}

// Lead bytes 0x81-0x9F and 0xE0-0xFC take a trail of 0x40-0x7E or 0x80-0xFC;
// 0xA1-0xDF are single-byte katakana.
size_t shiftJisLength(const uint8_t* p, size_t available) {
  const uint8_t b0 = p[0];
  if (!inRange(b0, 0x81, 0x9F) && !inRange(b0, 0xE0, 0xFC)) return 1;
  if (available < 2) return 2;
  const uint8_t b1 = p[1];
  return (inRange(b1, 0x40, 0x7E) || inRange(b1, 0x80, 0xFC)) ? 2 : 1;
}

// 0x8E and one byte (half-width katakana), 0x8F and two (JIS X 0212),
// 0xA1-0xFE and one; every byte after the first is 0xA1-0xFE.
size_t eucJpLength(const uint8_t* p, size_t available) {
  const uint8_t b0 = p[0];
  size_t need;
  if (b0 == 0x8E) {
    need = 2;
  } else if (b0 == 0x8F) {
    need = 3;
  } else if (inRange(b0, 0xA1, 0xFE)) {
    need = 2;
  } else {
    return 1;
  }
  for (size_t i = 1; i < need; ++i) {
    if (i >= available) return need;
    if (!inRange(p[i], 0xA1, 0xFE)) return i;
  }
  return need;
}

// Two bytes (lead 0x81-0xFE, trail 0x40-0x7E or 0x80-0xFE) or four (lead,
// digit, lead, digit).
size_t gb18030Length(const uint8_t* p, size_t available) {
  if (!inRange(p[0], 0x81, 0xFE)) return 1;
  if (available < 2) return 2;
  const uint8_t b1 = p[1];
  if (inRange(b1, 0x40, 0x7E) || inRange(b1, 0x80, 0xFE)) return 2;
  if (!inRange(b1, 0x30, 0x39)) return 1;
  if (available < 3) return 4;
  if (!inRange(p[2], 0x81, 0xFE)) return 1;
  if (available < 4) return 4;
  return inRange(p[3], 0x30, 0x39) ? 4 : 1;
}

// EUC-KR: a lead of 0xA1-0xFE and a trail of 0xA1-0xFE. The bytes 0x80-0xA0
// are characters of their own (C1 controls), also before a byte that could
// be a trail.
size_t eucKrLength(const uint8_t* p, size_t available) {
  if (!inRange(p[0], 0xA1, 0xFE)) return 1;
  if (available < 2) return 2;
  return inRange(p[1], 0xA1, 0xFE) ? 2 : 1;
}

size_t doubleByteLength(const uint8_t* p, size_t available) {
  if (!inRange(p[0], 0x81, 0xFE)) return 1;
  if (available < 2) return 2;
  const uint8_t b1 = p[1];
  return (inRange(b1, 0x40, 0x7E) || inRange(b1, 0x80, 0xFE)) ? 2 : 1;
}

// Families whose trail bytes may look like lead bytes: walk forward from the
// last byte that is certainly a character of its own. Bytes below 0x30 are
// never part of a longer character in any of them.
size_t unfinishedMultiByteTail(CharFamily family, const uint8_t* text, size_t length) {
  size_t start = length;
  while (start > 0 && text[start - 1] >= 0x30) --start;
  size_t at = start;
  while (at < length) {
    const size_t n = charLength(family, text + at, length - at);
    if (n > length - at) return length - at;
    at += n;
  }
  return 0;
}

}  // namespace

CharFamily charFamily(KovaNls* nls, int32_t encoding) {
  KovaEncodingInfo info{};
  if (!nls || nls->ops->encodingInfo(nls, encoding, &info) != kStatusOk ||
      info.maxBytesPerChar <= 1) {
    return CharFamily::kSingleByte;
  }
  auto is = [&info](std::string_view name) { return sameName(info.name, info.nameLength, name); };
  constexpr bool kLittle = std::endian::native == std::endian::little;
  if (is("UTF-8")) return CharFamily::kUtf8;
  if (is("UTF-16LE")) return CharFamily::kUtf16Le;
  if (is("UTF-16BE")) return CharFamily::kUtf16Be;
  if (is("UTF-16")) return kLittle ? CharFamily::kUtf16Le : CharFamily::kUtf16Be;
  if (is("UTF-32LE") || is("UTF-32BE") || is("UTF-32")) return CharFamily::kUtf32;
  if (is("Shift_JIS") || is("windows-31j")) return CharFamily::kShiftJis;
  if (is("EUC-JP")) return CharFamily::kEucJp;
  if (is("GB18030")) return CharFamily::kGb18030;
  if (is("EUC-KR")) return CharFamily::kEucKr;
  if (is("Big5") || is("GBK") || is("windows-949")) return CharFamily::kDoubleByte;
  return CharFamily::kSingleByte;
}

size_t charLength(CharFamily family, const uint8_t* text, size_t available) {
  if (available == 0) return 1;
  switch (family) {
    case CharFamily::kSingleByte:
      return 1;
    case CharFamily::kUtf8:
      return utf8Length(text, available);
    case CharFamily::kUtf16Le:
      return utf16Length(text, available, true);
    case CharFamily::kUtf16Be:
      return utf16Length(text, available, false);
    case CharFamily::kUtf32:
      return 4;
    case CharFamily::kShiftJis:
      return shiftJisLength(text, available);
    case CharFamily::kEucJp:
      return eucJpLength(text, available);
    case CharFamily::kGb18030:
      return gb18030Length(text, available);
    case CharFamily::kEucKr:
      return eucKrLength(text, available);
    case CharFamily::kDoubleByte:
      return doubleByteLength(text, available);
  }
  return 1;
}

size_t unfinishedTail(CharFamily family, const uint8_t* text, size_t length) {
  switch (family) {
    case CharFamily::kSingleByte:
      return 0;
    case CharFamily::kUtf8: {
      // The last byte that is not a continuation byte starts the last
      // character; a longer run of continuation bytes is ill-formed anyway.
      size_t start = length;
      while (start > 0 && length - start < 4) {
        --start;
        if ((text[start] & 0xC0) != 0x80) {
          size_t n = utf8Length(text + start, length - start);
          return n > length - start ? length - start : 0;
        }
      }
      return 0;
    }
    case CharFamily::kUtf16Le:
    case CharFamily::kUtf16Be: {
      const bool little = family == CharFamily::kUtf16Le;
      const size_t odd = length % 2;
      if (length - odd < 2) return odd;
      // A lead surrogate as the last whole unit waits for its partner.
      const uint16_t last = unit16(text + length - odd - 2, little);
      return (last >= 0xD800 && last < 0xDC00) ? odd + 2 : odd;
    }
    case CharFamily::kUtf32:
      return length % 4;
    case CharFamily::kShiftJis:
    case CharFamily::kEucJp:
    case CharFamily::kGb18030:
    case CharFamily::kEucKr:
    case CharFamily::kDoubleByte:
      return unfinishedMultiByteTail(family, text, length);
  }
  return 0;
}

}  // namespace kova
