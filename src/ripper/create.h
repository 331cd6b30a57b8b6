// createRipper: a ripper (or, with the output option, a burner) for a table.
#pragma once

#include "kova/extension.h"

namespace kova {

struct KovaRipper* createRipper(KovaObject* object, const struct KovaRipperOptions* options,
                                KovaDiagnostics* diagnostics);

}  // namespace kova
