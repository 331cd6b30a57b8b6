// The document writer and reader are not available yet.
#include "src/metadata/document.h"

namespace kova {

KovaStatus writeXml(KovaObject*, const uint8_t** document, uint64_t* length) {
  if (document) *document = nullptr;
  if (length) *length = 0;
  return kStatusNotSupported;
}

KovaStatus readXml(KovaObject*, const void*, int64_t, KovaDiagnostics*) {
  return kStatusNotSupported;
}

KovaStatus readXmlChunk(KovaObject*, const void*, int64_t, int32_t, KovaDiagnostics*) {
  return kStatusNotSupported;
}

}  // namespace kova
