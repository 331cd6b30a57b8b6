// Placeholder until the sibling lands: the extension cannot be loaded.
#include "runtime/kernel/siblings.h"

namespace kova::runtime {

KovaExtensionHandle* loadFormatExtension(Host&, KovaDiagnostics*) { return nullptr; }

}  // namespace kova::runtime
