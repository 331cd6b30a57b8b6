// The block parser of JSON tables and the callbacks its zrejson parser
// calls. Not written yet: each answers kStatusNotSupported.
#include "src/ripper/operations.h"

namespace kova {

KovaStatus jsonRipBlock(KovaRipper*, const uint8_t*, int64_t, uint8_t**, int32_t*) {
  return kStatusNotSupported;
}

KovaStatus jsonStartObject(KovaJsonCallbacks*) { return kStatusNotSupported; }
KovaStatus jsonEndObject(KovaJsonCallbacks*) { return kStatusNotSupported; }
KovaStatus jsonNullValue(KovaJsonCallbacks*) { return kStatusNotSupported; }
KovaStatus jsonBooleanValue(KovaJsonCallbacks*, uint8_t) { return kStatusNotSupported; }
KovaStatus jsonNumberValue(KovaJsonCallbacks*, const char16_t*, int32_t) {
  return kStatusNotSupported;
}
KovaStatus jsonStringValue(KovaJsonCallbacks*, const char16_t*, int32_t, uint32_t) {
  return kStatusNotSupported;
}

}  // namespace kova
