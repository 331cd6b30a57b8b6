#include "runtime/nls/classify.h"

#include <unicode/uchar.h>

#include "kova/host.h"

namespace kova::runtime {

uint32_t classifyCodePoint(uint32_t codePoint) {
  if (codePoint > 0x10FFFF) return 0;
  UChar32 c = static_cast<UChar32>(codePoint);
  uint32_t bits = u_isUWhiteSpace(c) ? kCharWhiteSpace : 0;
  if (codePoint < 0x80) return bits | (codePoint >= 0x20 && codePoint <= 0x7E ? kCharPrintable : 0);
  uint32_t mask = U_GET_GC_MASK(c);
  constexpr uint32_t kPrintableMask =
      U_GC_L_MASK | U_GC_M_MASK | U_GC_N_MASK | U_GC_P_MASK | U_GC_S_MASK | U_GC_Z_MASK;
  if (mask & kPrintableMask) bits |= kCharPrintable;
  return bits;
}

}  // namespace kova::runtime
