// The four exported entry points; everything else is reached through the
// extension object's operation table.
#include <cstring>

#include "kova/extension.h"
#include "src/extension/extension.h"
#include "src/extension/version.h"
#include "src/host/kernel.h"

#define KOVA_EXPORT extern "C" __attribute__((visibility("default")))

KOVA_EXPORT int32_t zrextent(KovaKernel* kernel) {
  kova::setKernel(kernel);
  return 0;
}

KOVA_EXPORT int32_t zrextver(KovaKernel* kernel, int64_t* major, int64_t* minor) {
  if (major) *major = kExtensionMajor;
  if (minor) *minor = kExtensionMinor;
  kova::setKernel(kernel);
  return 0;
}

KOVA_EXPORT KovaExtensionObject* zrekova(KovaKernel* kernel, KovaDiagnostics* diagnostics) {
  return kova::createExtension(kernel, diagnostics);
}

KOVA_EXPORT void zrvercn1(void* buffer) {
  if (buffer) std::memcpy(buffer, &kova::kVersionRecord, sizeof(kova::kVersionRecord));
}
