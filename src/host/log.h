// Logging to a diagnostics context (may be null: then nothing is logged).
// Formats are 16-bit printf-style texts in the host's printWide subset.
#pragma once

#include <cstdint>
#include <string_view>

#include "kova/host.h"

namespace kova {

void logLine(KovaDiagnostics* diagnostics, int32_t level, std::u16string_view format, ...);

void reportStatus(KovaDiagnostics* diagnostics, int32_t level, KovaStatus status);

// The level-4 line every failed buffer allocation logs:
// "[label] : Failed to allocate memory. Space requested=[size]".
void logAllocationFailure(KovaDiagnostics* diagnostics, std::u16string_view label, int64_t size);

}  // namespace kova
