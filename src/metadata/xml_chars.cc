#include "src/metadata/xml_chars.h"

namespace kova {
namespace {

bool printableWithoutHost(uint32_t c) {
  if (c <= 0x9F || c == 0xAD) return false;                        // controls, soft hyphen
  if ((c >= 0xE000 && c <= 0xF8FF) || c >= 0xF0000) return false;  // private use
  if ((c >= 0xFDD0 && c <= 0xFDEF) || (c & 0xFFFE) == 0xFFFE) return false;  // noncharacters
  return true;
}

}  // namespace

TextClass classifyText(KovaNls* nls, std::u16string_view text) {
  TextClass result;
  const bool hostClassifies = nls && nls->ops->classify;
  for (size_t i = 0; i < text.size(); ++i) {
    uint32_t c = text[i];
    if (c >= 0x20 && c < 0x7F) {
      if (c == 0x20) result.plain = false;
      continue;
    }
    if (c >= 0xD800 && c <= 0xDFFF) {
      if (c > 0xDBFF || i + 1 >= text.size() || text[i + 1] < 0xDC00 || text[i + 1] > 0xDFFF) {
        result.carriable = false;
        return result;
      }
      c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
    }
    if ((c < 0x20 && c != 0x09 && c != 0x0A && c != 0x0D) || c == 0xFFFE || c == 0xFFFF) {
      result.carriable = false;
      return result;
    }
    if (!result.plain) continue;
    if (c < 0x20 || isWhiteSpace(c)) {
      result.plain = false;
    } else if (hostClassifies) {
      result.plain = (nls->ops->classify(nls, c) & kCharPrintable) != 0;
    } else {
      result.plain = printableWithoutHost(c);
    }
  }
  return result;
}

}  // namespace kova
