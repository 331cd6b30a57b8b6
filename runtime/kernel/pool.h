// Memory pools of the reference host: arenas that know every live block, so
// destroyPool frees them all and the Host's Account counts pools, blocks and
// bytes. Made only by the kernel's createPool; a pool must not outlive its Host.
#pragma once

#include "kova/host.h"

namespace kova::runtime {

class Host;

// A new empty pool named name (may be null), or null when memory is short.
// The caller has already counted the allocation event.
KovaPool* newPool(Host& host, const char* name);

}  // namespace kova::runtime
