#include "src/host/pool.h"

namespace kova {

KovaPool* createPool(KovaKernel* k, uint32_t kind, KovaDiagnostics* diagnostics, const char* name) {
  if (!k) return nullptr;
  KovaPoolOptions options{};
  options.kind = kind;
  return k->ops->createPool(k, &options, diagnostics, name);
}

}  // namespace kova
