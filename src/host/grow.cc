#include "src/host/grow.h"

#include <limits>

#include "src/host/log.h"
#include "src/host/pool.h"

namespace kova {
namespace {

// No buffer grows beyond this; a larger request fails like a refused one.
constexpr uint64_t kLargestBuffer = uint64_t(1) << 62;
constexpr int64_t kLargestLogged = std::numeric_limits<int32_t>::max();

}  // namespace

void* growToStep(KovaPool* pool, KovaDiagnostics* diagnostics, void* block, uint64_t needed,
                 bool keep, std::u16string_view label, uint64_t* size) {
  if (needed > kLargestBuffer) {
    logAllocationFailure(diagnostics, label, kLargestLogged);
    return nullptr;
  }
  const uint64_t rounded = roundUpToStep(needed);
  void* grown = poolResize(pool, block, rounded, !keep);
  if (!grown) {
    logAllocationFailure(diagnostics, label,
                         rounded > uint64_t(kLargestLogged) ? kLargestLogged : int64_t(rounded));
    return nullptr;
  }
  *size = rounded;
  return grown;
}

}  // namespace kova
