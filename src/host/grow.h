// Growth of the module's reusable byte buffers (fragment, record buffer,
// scratch, transcoding buffer, a writer's output): to the needed size rounded
// up to a multiple of 1024, logged when the pool refuses. Callers own the
// buffer and its capacity; the pool is the one the buffer came from.
#pragma once

#include <cstdint>
#include <string_view>

#include "kova/host.h"
#include "kova/status.h"

namespace kova {

// Buffers grow in steps of this many bytes.
inline constexpr uint64_t kGrowthStep = 1024;

// size rounded up to a multiple of kGrowthStep (REQUIRES: size below 2^63).
constexpr uint64_t roundUpToStep(uint64_t size) {
  return (size + kGrowthStep - 1) & ~(kGrowthStep - 1);
}

// Resizes block to needed bytes rounded up to kGrowthStep and returns it, or
// null after logging "[label] : Failed to allocate memory. Space requested=
// [size]" (size the rounded request; the largest 32-bit value when it is
// larger or when the request cannot be rounded). The old block stays valid on
// failure. keep: whether its contents must survive the resize. *size receives
// the grown capacity on success.
void* growToStep(KovaPool* pool, KovaDiagnostics* diagnostics, void* block, uint64_t needed,
                 bool keep, std::u16string_view label, uint64_t* size);

// Makes buffer (capacity bytes) hold at least needed bytes: nothing happens
// when it already does; otherwise as growToStep, updating buffer and capacity
// on success and leaving both as they were on failure (kStatusNoMemory).
template <typename T>
[[nodiscard]] KovaStatus growInSteps(KovaPool* pool, KovaDiagnostics* diagnostics, T*& buffer,
                                     uint64_t& capacity, uint64_t needed, bool keep,
                                     std::u16string_view label) {
  if (needed <= capacity) return kStatusOk;
  uint64_t size = 0;
  void* grown = growToStep(pool, diagnostics, buffer, needed, keep, label, &size);
  if (!grown) return kStatusNoMemory;
  buffer = static_cast<T*>(grown);
  capacity = size;
  return kStatusOk;
}

}  // namespace kova
