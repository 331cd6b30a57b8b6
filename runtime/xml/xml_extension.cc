// zrexml: the XML sibling's handle and its escaper. createObject with the name
// "xml for escaping" makes an escaper; any other name makes a parser
// (xml_parser.cc).
#include <cstring>
#include <new>
#include <string>
#include <type_traits>

#include "runtime/kernel/host.h"
#include "runtime/kernel/siblings.h"
#include "runtime/xml/xml_escaper.h"
#include "runtime/xml/xml_objects.h"

namespace kova::runtime {
namespace {

struct XmlHandle {
  KovaExtensionHandle abi;
  Host* host;
};

// The escaper owns its output; the caller's pool is not used.
struct XmlEscaper {
  KovaXmlObject abi;
  Host* host;
  std::u16string out;  // valid until the next escape
};

void destroyEscaper(KovaXmlObject* object) {
  if (!object) return;
  auto* self = reinterpret_cast<XmlEscaper*>(object);
  self->host->trackObject(-1);
  delete self;
}

KovaStatus escape(KovaXmlObject* object, int32_t mode, const char16_t* text, int64_t lengthBytes,
                  const char16_t** out, int64_t* outBytes) {
  if (!out || !outBytes) return kStatusNotSupported;
  *out = nullptr;
  *outBytes = 0;
  if (!object || lengthBytes < 0 || lengthBytes % 2 != 0 || (lengthBytes > 0 && !text)) {
    return kStatusNotSupported;
  }
  auto* self = reinterpret_cast<XmlEscaper*>(object);
  self->out.clear();
  KovaStatus status;
  try {
    status = escapeXmlText(std::u16string_view(text, size_t(lengthBytes / 2)), mode, self->out);
  } catch (const std::bad_alloc&) {
    status = kStatusNoMemory;
  }
  if (status != kStatusOk) return status;
  *out = self->out.data();
  *outBytes = int64_t(self->out.size()) * 2;
  return kStatusOk;
}

KovaStatus parseNothing(KovaXmlObject*, const void*, int64_t, int32_t) {
  return kStatusNotSupported;
}

constexpr KovaXmlObjectOps kEscaperOps = {destroyEscaper, escape, parseNothing};

void* createObject(KovaExtensionHandle* handle, const void* configuration,
                   KovaDiagnostics* diagnostics, const char* objectName) {
  if (!handle) return nullptr;
  Host& host = *reinterpret_cast<XmlHandle*>(handle)->host;
  const auto* config = static_cast<const KovaXmlConfig*>(configuration);
  bool escaper = objectName && std::strcmp(objectName, kXmlEscaperName) == 0;
  if (!escaper && !config) return nullptr;
  if (!host.consumeAllocation()) return nullptr;
  return escaper ? static_cast<void*>(createXmlEscaper(host, config))
                 : static_cast<void*>(createXmlParser(host, *config, diagnostics));
}

void releaseExtension(KovaExtensionHandle* handle) {
  if (!handle) return;
  auto* self = reinterpret_cast<XmlHandle*>(handle);
  self->host->trackObject(-1);
  delete self;
}

constexpr KovaExtensionHandleOps kHandleOps = {releaseExtension, createObject, nullptr, nullptr};

}  // namespace

KovaXmlObject* createXmlEscaper(Host& host, const KovaXmlConfig* config) {
  if (config && config->inputEncoding != 0 && config->inputEncoding != kEncodingWide) {
    return nullptr;
  }
  auto* escaper = new (std::nothrow) XmlEscaper{{&kEscaperOps}, &host, {}};
  if (!escaper) return nullptr;
  host.trackObject(+1);
  return &escaper->abi;
}

// The kernel has already counted the allocation event of the handle.
KovaExtensionHandle* loadXmlExtension(Host& host, KovaDiagnostics*) {
  auto* handle = new (std::nothrow) XmlHandle{{&kHandleOps}, &host};
  if (!handle) return nullptr;
  host.trackObject(+1);
  return &handle->abi;
}

}  // namespace kova::runtime
