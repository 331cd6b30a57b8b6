#include "runtime/nls/locale.h"

#include <bit>

#include "runtime/nls/number_text.h"

namespace kova::runtime {
namespace {

size_t textLength(const char16_t* text, int64_t length) {
  return text && length > 0 ? size_t(length) : 0;
}

KovaStatus parseIntegerStrict(KovaLocale*, const char16_t* digits, int64_t length, uint32_t,
                              int32_t* value, uint64_t* scratch) {
  if (scratch) *scratch = 0;
  return parseInt32(digits, textLength(digits, length), true, value);
}

KovaStatus parseIntegerLenient(KovaLocale*, const char16_t* digits, int64_t length, uint32_t,
                               int32_t* value, uint64_t* scratch) {
  if (scratch) *scratch = 0;
  return parseInt32(digits, textLength(digits, length), false, value);
}

KovaStatus readWideDouble(KovaLocale*, const char16_t* text, int64_t length, double* value,
                          uint64_t* scratch) {
  if (scratch) *scratch = 0;
  KovaStatus status = parseDouble(text, textLength(text, length), value);
  if (status != kStatusOk) *value = std::bit_cast<double>(kMissingValueBits);
  return status;
}

KovaStatus readWideInteger(KovaLocale*, const char16_t* text, int64_t length, uint32_t,
                           int64_t* value, uint64_t* scratch) {
  if (scratch) *scratch = 0;
  return parseInt64(text, textLength(text, length), value);
}

constexpr KovaLocaleOps kOps = {parseIntegerStrict, parseIntegerLenient, readWideDouble,
                                readWideInteger};
KovaLocale gLocale = {&kOps};

}  // namespace

KovaLocale* hostLocale() { return &gLocale; }

}  // namespace kova::runtime
