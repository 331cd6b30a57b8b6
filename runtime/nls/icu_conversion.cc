#include "runtime/nls/icu_conversion.h"

#include <algorithm>

#include <unicode/ucnv_cb.h>

namespace kova::runtime {
namespace {

// ICU refuses source spans above 0x3fffffff bytes and target spans above
// 0x7fffffff; longer texts go through in pieces.
constexpr uint64_t kMaxSpan = uint64_t(1) << 29;

void toUnicodeCallback(const void* context, UConverterToUnicodeArgs* args, const char* bytes,
                       int32_t length, UConverterCallbackReason reason, UErrorCode* error) {
  if (reason > UCNV_IRREGULAR) return;
  if (context) *static_cast<bool*>(const_cast<void*>(context)) = true;
  UCNV_TO_U_CALLBACK_SUBSTITUTE(nullptr, args, bytes, length, reason, error);
}

void fromUnicodeCallback(const void* context, UConverterFromUnicodeArgs* args, const UChar* units,
                         int32_t length, UChar32 codePoint, UConverterCallbackReason reason,
                         UErrorCode* error) {
  if (reason > UCNV_IRREGULAR) return;
  if (context) *static_cast<bool*>(const_cast<void*>(context)) = true;
  // ICU's own substituting callback silently drops default-ignorable
  // characters; here every character without a form is substituted.
  (void)units, (void)length, (void)codePoint;
  *error = U_ZERO_ERROR;
  ucnv_cbFromUWriteSub(args, 0, error);
}

}  // namespace

UConverter* openConverter(const char* name, bool* substituted) {
  UErrorCode error = U_ZERO_ERROR;
  UConverter* converter = ucnv_open(name, &error);
  if (U_FAILURE(error)) return nullptr;
  ucnv_setToUCallBack(converter, toUnicodeCallback, substituted, nullptr, nullptr, &error);
  ucnv_setFromUCallBack(converter, fromUnicodeCallback, substituted, nullptr, nullptr, &error);
  if (U_FAILURE(error)) {
    ucnv_close(converter);
    return nullptr;
  }
  return converter;
}

IcuResult convertIcu(UConverter* from, UConverter* to, UChar* pivot, const uint8_t* source,
                     uint64_t sourceBytes, uint8_t* target, uint64_t capacity) {
  if (sourceBytes == 0) return {kStatusOk, 0};
  ucnv_reset(from);
  ucnv_reset(to);
  char counting[4096];
  const bool count = target == nullptr;
  char* const targetStart = count ? counting : reinterpret_cast<char*>(target);
  const char* s = reinterpret_cast<const char*>(source);
  const char* const sEnd = s + sourceBytes;
  char* t = targetStart;
  uint64_t targetLeft = count ? sizeof counting : capacity;
  uint64_t total = 0;  // bytes written before t's current buffer (counting only)
  UChar* pivotSource = pivot;
  UChar* pivotTarget = pivot;
  bool first = true;
  while (true) {
    const char* sLimit = s + std::min<uint64_t>(uint64_t(sEnd - s), kMaxSpan);
    char* tBefore = t;
    char* tLimit = t + std::min<uint64_t>(targetLeft, kMaxSpan);
    bool last = sLimit == sEnd;
    UErrorCode error = U_ZERO_ERROR;
    ucnv_convertEx(to, from, &t, tLimit, &s, sLimit, pivot, &pivotSource, &pivotTarget,
                   pivot + kPivotUnits, first, last, &error);
    first = false;
    targetLeft -= uint64_t(t - tBefore);
    if (error == U_BUFFER_OVERFLOW_ERROR) {
      if (count) {
        total += uint64_t(t - counting);
        t = counting;
        targetLeft = sizeof counting;
      } else if (targetLeft == 0) {
        return {kStatusTargetTooSmall, 0};
      }
      continue;
    }
    if (U_FAILURE(error)) return {kStatusCorruptData, 0};
    if (last) break;
  }
  return {kStatusOk, count ? total + uint64_t(t - counting) : uint64_t(t - targetStart)};
}

}  // namespace kova::runtime
