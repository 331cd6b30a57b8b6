#include "src/host/pool.h"

#include "src/host/kernel.h"

namespace kova {

KovaPool* createPool(uint32_t kind, KovaDiagnostics* diagnostics, const char* name) {
  KovaKernel* k = kernel();
  if (!k) return nullptr;
  KovaPoolOptions options{};
  options.kind = kind;
  return k->ops->createPool(k, &options, diagnostics, name);
}

}  // namespace kova
