#include "tools/kova/utf8_repair.h"

#include <cstring>

namespace kova::tool {
namespace {

constexpr const char kReplacement[] = "\xEF\xBF\xBD";

// The length of the valid sequence at text[i], or 0 when it is invalid;
// *span: bytes of the maximal invalid subpart there (at least 1).
size_t validSequence(const uint8_t* text, size_t size, size_t i, size_t* span) {
  const auto byte = [&](size_t at) { return text[at]; };
  const uint8_t lead = byte(i);
  *span = 1;
  if (lead < 0x80) return 1;
  size_t need = 0;
  uint8_t low = 0x80;
  uint8_t high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    need = 1;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    need = 2;
    if (lead == 0xE0) low = 0xA0;   // no overlong forms
    if (lead == 0xED) high = 0x9F;  // no surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    need = 3;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;  // nothing past U+10FFFF
  } else {
    return 0;
  }
  size_t at = i + 1;
  for (size_t k = 0; k < need; ++k, ++at) {
    if (at >= size || byte(at) < low || byte(at) > high) {
      *span = at - i;
      return 0;
    }
    low = 0x80;
    high = 0xBF;
  }
  return need + 1;
}

size_t validSequence(const std::string& text, size_t i, size_t* span) {
  return validSequence(reinterpret_cast<const uint8_t*>(text.data()), text.size(), i, span);
}

// The length of the valid prefix of text[0, size).
size_t validPrefix(const uint8_t* text, size_t size) {
  size_t i = 0;
  size_t span = 0;
  while (i < size) {
    // Eight ASCII bytes at a time.
    if (i + 8 <= size) {
      uint64_t word;
      std::memcpy(&word, text + i, 8);
      if ((word & 0x8080808080808080ull) == 0) {
        i += 8;
        continue;
      }
    }
    const size_t n = validSequence(text, size, i, &span);
    if (n == 0) break;
    i += n;
  }
  return i;
}

}  // namespace

uint64_t countInvalidUtf8(const uint8_t* text, size_t size) {
  if (isAscii(text, size)) return 0;
  uint64_t invalid = 0;
  for (size_t i = validPrefix(text, size); i < size;) {
    size_t span = 0;
    const size_t n = validSequence(text, size, i, &span);
    if (n == 0) ++invalid;
    i += n > 0 ? n : span;
  }
  return invalid;
}

uint64_t repairUtf8(std::string* text) {
  size_t span = 0;
  // Most values are valid: look before copying.
  size_t i = validPrefix(reinterpret_cast<const uint8_t*>(text->data()), text->size());
  if (i == text->size()) return 0;
  std::string repaired(*text, 0, i);
  uint64_t replaced = 0;
  while (i < text->size()) {
    const size_t n = validSequence(*text, i, &span);
    if (n > 0) {
      repaired.append(*text, i, n);
      i += n;
    } else {
      repaired += kReplacement;
      ++replaced;
      i += span;
    }
  }
  *text = std::move(repaired);
  return replaced;
}

}  // namespace kova::tool
