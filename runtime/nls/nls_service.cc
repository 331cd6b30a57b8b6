// Placeholder until the NLS service lands: no encodings, no service.
#include "runtime/nls/nls_service.h"

namespace kova::runtime {

std::span<const EncodingEntry> encodingRegistry() { return {}; }
const EncodingEntry* findEncoding(int32_t) { return nullptr; }
std::unique_ptr<NlsService> createNlsService(Host&) { return nullptr; }

}  // namespace kova::runtime
