#include "src/metadata/format_spec.h"

#include "src/host/nls.h"

namespace kova {

int64_t parseFormatSpec(KovaLocale* locale, const char16_t* text, int64_t length, int32_t* width,
                        int32_t* decimals) {
  *width = 0;
  *decimals = 0;
  if (!text || length < 1) return -1;
  int64_t dot = 0;
  while (dot < length && text[dot] != u'.') ++dot;
  if (dot == length) return -1;
  int64_t nameEnd = dot;
  while (nameEnd > 0 && text[nameEnd - 1] >= u'0' && text[nameEnd - 1] <= u'9') --nameEnd;
  if (nameEnd < dot && parseInteger(locale, text + nameEnd, dot - nameEnd, width) != kStatusOk) {
    return -1;
  }
  if (dot == length - 1) return nameEnd;
  if (text[0] == u'$') return -1;
  if (parseInteger(locale, text + dot + 1, length - dot - 1, decimals) != kStatusOk) return -1;
  return nameEnd;
}

}  // namespace kova
