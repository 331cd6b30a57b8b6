// Shared set-up of the benchmark programs: the module, linked in statically,
// started on a reference host as a host kernel would start it.
#pragma once

#include <cstdio>
#include <cstdlib>

#include "kova/extension.h"
#include "runtime/kernel/host.h"

extern "C" int32_t zrextver(KovaKernel* kernel, int64_t* major, int64_t* minor);
extern "C" KovaExtensionObject* zrekova(KovaKernel* kernel, KovaDiagnostics* diagnostics);

namespace kova::bench {

// zrextver, then zrekova on host's kernel; aborts when the extension cannot
// be built (a benchmark without it measures nothing).
inline KovaExtensionObject* startModule(runtime::Host& host) {
  zrextver(host.kernel(), nullptr, nullptr);
  KovaExtensionObject* extension = zrekova(host.kernel(), nullptr);
  if (!extension) {
    std::fprintf(stderr, "zrekova failed\n");
    std::abort();
  }
  return extension;
}

}  // namespace kova::bench
