// zrejson: the JSON sibling's handle. createObject makes a streaming parser
// (json_parser.cc) from a KovaJsonConfig, whatever the object's name.
#include <new>

#include "runtime/json/json_parser.h"
#include "runtime/kernel/host.h"
#include "runtime/kernel/siblings.h"

namespace kova::runtime {
namespace {

struct JsonHandle {
  KovaExtensionHandle abi;
  Host* host;
};

void* createObject(KovaExtensionHandle* handle, const void* configuration,
                   KovaDiagnostics* diagnostics, const char*) {
  if (!handle || !configuration) return nullptr;
  Host& host = *reinterpret_cast<JsonHandle*>(handle)->host;
  if (!host.consumeAllocation()) return nullptr;
  return createJsonParser(host, *static_cast<const KovaJsonConfig*>(configuration), diagnostics);
}

void releaseExtension(KovaExtensionHandle* handle) {
  if (!handle) return;
  auto* self = reinterpret_cast<JsonHandle*>(handle);
  self->host->trackObject(-1);
  delete self;
}

constexpr KovaExtensionHandleOps kHandleOps = {releaseExtension, createObject, nullptr, nullptr};

}  // namespace

KovaExtensionHandle* loadJsonExtension(Host& host, KovaDiagnostics*) {
  auto* handle = new (std::nothrow) JsonHandle{{&kHandleOps}, &host};
  if (!handle) return nullptr;
  host.trackObject(+1);
  return &handle->abi;
}

}  // namespace kova::runtime
