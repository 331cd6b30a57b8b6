// Unicode classification for the NLS service's classify: kCharPrintable for
// assigned characters of the general categories L, M, N, P, S and Z (below
// U+0080 exactly U+0020 to U+007E), kCharWhiteSpace for the White_Space
// property. Any thread.
#pragma once

#include <cstdint>

namespace kova::runtime {

uint32_t classifyCodePoint(uint32_t codePoint);

}  // namespace kova::runtime
