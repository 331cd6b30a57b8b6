#include "src/extension/instance.h"

#include <cstring>

#include "kova/siblings.h"
#include "src/host/kernel.h"
#include "src/host/pool.h"
#include "src/host/siblings.h"

namespace kova {

KovaObject* createInstance(KovaExtensionObject* extension, const uint32_t* flags,
                           KovaDiagnostics* diagnostics, const char* name) {
  KovaPool* pool = createPool(kernel(), 1, diagnostics, name ? name : "zrekova instance");
  if (!pool) return nullptr;
  auto* object = static_cast<KovaObject*>(poolAllocate(pool, sizeof(KovaObject), true));
  char* nameCopy = nullptr;
  if (object && name) {
    size_t length = std::strlen(name) + 1;
    nameCopy = static_cast<char*>(poolAllocate(pool, length));
    if (nameCopy) std::memcpy(nameCopy, name, length);
  }
  if (!object || (name && !nameCopy)) {
    destroyPool(pool);
    return nullptr;
  }
  std::memcpy(object->eyecatcher, "nevo", 4);
  object->instanceName = nameCopy;
  object->destroy = destroyInstance;
  object->extension = extension;
  object->extension2 = extension;
  object->recordTerminator = 10;
  if (flags) object->flags = *flags;
  object->pool = pool;
  return object;
}

int32_t destroyInstance(KovaObject* object) {
  if (!object) return 0;
  if (object->xmlObject) {
    auto* xml = static_cast<KovaXmlObject*>(object->xmlObject);
    xml->ops->destroyObject(xml);
    object->xmlObject = nullptr;
  }
  destroyFormatEngine(object->formatExtension, object->formatEngine);
  releaseSibling(object->formatExtension);
  destroyPool(object->pool);
  return 0;
}

}  // namespace kova
