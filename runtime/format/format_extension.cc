// zrefmt: the format engine sibling. The handle makes engines (createObject
// answers null); an engine is tagged "ZRFM" with its operation table behind
// the tag; its lookup makes one format object per call.
#include <new>
#include <string_view>

#include "runtime/format/format_names.h"
#include "runtime/format/format_object.h"
#include "runtime/kernel/host.h"
#include "runtime/kernel/siblings.h"

namespace kova::runtime {
namespace {

struct FormatHandle {
  KovaExtensionHandle abi;
  Host* host;
};

struct FormatEngine {
  KovaFormatEngine abi;  // tag "ZRFM", then the operation table
  Host* host;
};

// The run of a side whose conversion is not written yet. Callers that read
// the produced length without looking at the status get an empty result.
KovaStatus notWrittenYet(KovaFormatObject* object, int32_t) {
  object->outputLength = 0;
  return kStatusNotSupported;
}

void releaseFormatObject(KovaFormatObject* object) {
  if (!object) return;
  FormatObject* self = formatObjectOf(object);
  self->host->trackObject(-1);
  delete self;
}

KovaFormatObject* lookup(KovaFormatEngine* engine, const char16_t* name, int64_t length,
                         KovaLocale* locale, int32_t kind, uint32_t) {
  if (!engine || !name || length <= 0) return nullptr;
  const FormatEntry* entry =
      findFormatEntry(std::u16string_view(name, static_cast<size_t>(length)));
  const FormatSide* side = entry ? entry->side(kind) : nullptr;
  if (!side) return nullptr;
  Host* host = reinterpret_cast<FormatEngine*>(engine)->host;
  if (!host->consumeAllocation()) return nullptr;
  auto* object = new (std::nothrow) FormatObject{};
  if (!object) return nullptr;
  object->host = host;
  object->entry = entry;
  object->side = side;
  object->locale = locale;
  object->kind = kind;
  object->abi.inputKind = side->inputKind;
  object->abi.outputKind = side->outputKind;
  object->abi.run = side->run ? side->run : notWrittenYet;
  object->abi.release = releaseFormatObject;
  object->abi.engineData = object;
  host->trackObject(+1);
  return &object->abi;
}

constexpr KovaFormatEngineOps kEngineOps = {lookup};

KovaFormatEngine* createEngine(KovaExtensionHandle* handle) {
  if (!handle) return nullptr;
  Host* host = reinterpret_cast<FormatHandle*>(handle)->host;
  if (!host->consumeAllocation()) return nullptr;
  auto* engine = new (std::nothrow) FormatEngine{};
  if (!engine) return nullptr;
  engine->abi.tag[0] = u'Z';
  engine->abi.tag[1] = u'R';
  engine->abi.tag[2] = u'F';
  engine->abi.tag[3] = u'M';
  engine->abi.ops = &kEngineOps;
  engine->host = host;
  host->trackObject(+1);
  return &engine->abi;
}

void destroyEngine(KovaFormatEngine* engine) {
  if (!engine) return;
  auto* self = reinterpret_cast<FormatEngine*>(engine);
  self->host->trackObject(-1);
  delete self;
}

void* createObject(KovaExtensionHandle*, const void*, KovaDiagnostics*, const char*) {
  return nullptr;
}

void releaseExtension(KovaExtensionHandle* handle) {
  if (!handle) return;
  auto* self = reinterpret_cast<FormatHandle*>(handle);
  self->host->trackObject(-1);
  delete self;
}

constexpr KovaExtensionHandleOps kHandleOps = {releaseExtension, createObject, createEngine,
                                               destroyEngine};

}  // namespace

// The kernel has already counted the allocation event of the handle.
KovaExtensionHandle* loadFormatExtension(Host& host, KovaDiagnostics*) {
  auto* handle = new (std::nothrow) FormatHandle{{&kHandleOps}, &host};
  if (!handle) return nullptr;
  host.trackObject(+1);
  return &handle->abi;
}

}  // namespace kova::runtime
