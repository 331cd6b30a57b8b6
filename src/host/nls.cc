#include "src/host/nls.h"

namespace kova {

KovaStatus parseInteger(KovaLocale* locale, const char16_t* digits, int64_t length, int32_t* value,
                        bool strict) {
  if (!locale) return kStatusNoNls;
  uint64_t scratch = 0;
  return strict ? locale->ops->parseIntegerStrict(locale, digits, length, 0, value, &scratch)
                : locale->ops->parseInteger(locale, digits, length, 0, value, &scratch);
}

}  // namespace kova
