// The sibling extensions the reference host can load by name. loadExtension
// on the kernel handle dispatches here; each loader returns a handle of its
// own (see kova/siblings.h) or null when it cannot be made.
#pragma once

#include "kova/siblings.h"

namespace kova::runtime {

class Host;

KovaExtensionHandle* loadXmlExtension(Host& host, KovaDiagnostics* diagnostics);     // "zrexml"
KovaExtensionHandle* loadTreeExtension(Host& host, KovaDiagnostics* diagnostics);    // "zreavl"
KovaExtensionHandle* loadFormatExtension(Host& host, KovaDiagnostics* diagnostics);  // "zrefmt"
KovaExtensionHandle* loadJsonExtension(Host& host, KovaDiagnostics* diagnostics);    // "zrejson"

}  // namespace kova::runtime
