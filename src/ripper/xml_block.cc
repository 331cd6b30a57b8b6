// The block parser of XML tables and the callbacks its zrexml parser calls.
// Not written yet: each answers kStatusNotSupported.
#include "src/ripper/operations.h"

namespace kova {

KovaStatus xmlRipBlock(KovaRipper*, const uint8_t*, int64_t, uint8_t**, int32_t*) {
  return kStatusNotSupported;
}

KovaStatus xmlCharacters(KovaXmlCallbacks*, const char16_t*, int32_t) {
  return kStatusNotSupported;
}

KovaStatus xmlStartElement(KovaXmlCallbacks*, const char16_t*, int32_t, int32_t,
                           const KovaXmlAttribute*) {
  return kStatusNotSupported;
}

KovaStatus xmlEndElement(KovaXmlCallbacks*, const char16_t*, int32_t) {
  return kStatusNotSupported;
}

}  // namespace kova
