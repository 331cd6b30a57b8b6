#include "src/host/siblings.h"

#include <cstring>

#include "src/host/kernel.h"

namespace kova {
namespace {

constexpr char16_t kEngineTag[4] = {u'Z', u'R', u'F', u'M'};

const KovaFormatEngineOps* engineOps(KovaFormatEngine* engine) {
  if (std::memcmp(engine->tag, kEngineTag, sizeof(kEngineTag)) == 0) return engine->ops;
  return reinterpret_cast<const KovaFormatEngineOps*>(engine);
}

}  // namespace

KovaExtensionHandle* loadSibling(std::u16string_view name, KovaDiagnostics* diagnostics) {
  KovaKernel* k = kernel();
  if (!k) return nullptr;
  return k->ops->loadExtension(k, name.data(), static_cast<int32_t>(name.size()), diagnostics);
}

KovaFormatEngine* createFormatEngine(KovaExtensionHandle** extension) {
  if (!*extension) *extension = loadSibling(kFormatSibling, nullptr);
  if (!*extension || !(*extension)->ops->createEngine) return nullptr;
  return (*extension)->ops->createEngine(*extension);
}

void destroyFormatEngine(KovaExtensionHandle* extension, KovaFormatEngine* engine) {
  if (engine && extension && extension->ops->destroyEngine) extension->ops->destroyEngine(engine);
}

KovaFormatObject* lookupFormat(KovaFormatEngine* engine, const char16_t* name, int64_t length,
                               KovaLocale* locale, int32_t kind) {
  const KovaFormatEngineOps* ops = engineOps(engine);
  return ops->lookup(engine, name, length, locale, kind, 0);
}

}  // namespace kova
