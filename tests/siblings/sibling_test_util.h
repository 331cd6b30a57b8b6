// Helpers shared by the sibling extension tests: loading a sibling the way the
// module does, through the kernel handle of a Host.
#pragma once

#include <string_view>

#include "kova/siblings.h"
#include "runtime/kernel/host.h"

namespace kova::runtime {

inline KovaExtensionHandle* loadSibling(Host& host, std::u16string_view name,
                                        KovaDiagnostics* diagnostics = nullptr) {
  KovaKernel* kernel = host.kernel();
  return kernel->ops->loadExtension(kernel, name.data(), static_cast<int32_t>(name.size()),
                                    diagnostics);
}

}  // namespace kova::runtime
