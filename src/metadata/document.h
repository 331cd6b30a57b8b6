// The metadata document: writeXml renders a KovaObject as its UTF-8 XML
// document in the instance's outBuffer; readXml and readXmlChunk fill an
// object from such a document through the zrexml parser.
#pragma once

#include <cstdint>

#include "kova/extension.h"

namespace kova {

KovaStatus writeXml(KovaObject* object, const uint8_t** document, uint64_t* length);

KovaStatus readXml(KovaObject* object, const void* bytes, int64_t length,
                   KovaDiagnostics* diagnostics);

KovaStatus readXmlChunk(KovaObject* object, const void* bytes, int64_t length,
                        int32_t moreToCome, KovaDiagnostics* diagnostics);

}  // namespace kova
