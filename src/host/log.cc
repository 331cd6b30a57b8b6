#include "src/host/log.h"

#include <cstdarg>

namespace kova {

void logLine(KovaDiagnostics* diagnostics, int32_t level, std::u16string_view format, ...) {
  if (!diagnostics) return;
  va_list args;
  va_start(args, format);
  diagnostics->ops->log(diagnostics, level, format.data(), static_cast<int64_t>(format.size()),
                        args);
  va_end(args);
}

void reportStatus(KovaDiagnostics* diagnostics, int32_t level, KovaStatus status) {
  if (diagnostics) diagnostics->ops->reportStatus(diagnostics, level, status);
}

void logAllocationFailure(KovaDiagnostics* diagnostics, std::u16string_view label, int64_t size) {
  logLine(diagnostics, kLogError, u"[%.*s] : Failed to allocate memory. Space requested=[%d]",
          static_cast<int>(label.size()), label.data(), static_cast<int>(size));
}

}  // namespace kova
