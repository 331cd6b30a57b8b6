// Character rules of the metadata document: which 16-bit texts XML 1.0 can
// carry at all, and which may be written as plain element content (every
// character printable, none white space) rather than in a CDATA section.
// Pure apart from the host's Unicode classification; any caller may use it.
#pragma once

#include <cstdint>
#include <string_view>

#include "kova/host.h"

namespace kova {

struct TextClass {
  bool carriable = true;  // XML 1.0 can carry every character (no C0 control but
                          // tab, line feed, carriage return; no U+FFFE, U+FFFF;
                          // no unpaired surrogate)
  bool plain = true;      // every character printable and none white space
};

// Unicode White_Space.
constexpr bool isWhiteSpace(uint32_t c) {
  return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0x85 || c == 0xA0 || c == 0x1680 ||
         (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F ||
         c == 0x3000;
}

// Classifies text; nls may be null (then characters above U+007F are judged
// without the host: controls, U+00AD, private use and noncharacters are not
// printable, everything else is).
TextClass classifyText(KovaNls* nls, std::u16string_view text);

}  // namespace kova
