// Thin wrappers over a host memory pool. Every byte the module uses comes
// from one of these; nothing is freed piecemeal except where a caller says so.
#pragma once

#include <cstdint>

#include "kova/host.h"

namespace kova {

// Zero-filled when zero is true. Null on failure.
inline void* poolAllocate(KovaPool* pool, uint64_t size, bool zero = false) {
  return pool->ops->allocate(pool, size, zero ? kPoolZeroFill : 0u);
}

// Keeps the old contents unless discard is set. Null on failure (the old
// block stays valid then).
inline void* poolResize(KovaPool* pool, void* block, uint64_t size, bool discard = false) {
  return pool->ops->resize(pool, block, size, discard ? kPoolDiscard : 0u);
}

inline void poolFree(KovaPool* pool, void* block) { pool->ops->free(pool, block); }

inline void destroyPool(KovaPool* pool) {
  if (pool) pool->ops->destroyPool(pool);
}

// A pool of the given kind (1 for instances, 0 otherwise) from the given
// kernel, or null (also when the kernel is null).
KovaPool* createPool(KovaKernel* kernel, uint32_t kind, KovaDiagnostics* diagnostics,
                     const char* name);

}  // namespace kova
