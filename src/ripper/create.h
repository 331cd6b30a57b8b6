// createRipper: a ripper (or, with the output option, a burner) for a table,
// and the operations every ripper has from creation on (destroy, the
// counters). The ripper lives in its own pool until its destroy.
// REQUIRES: the host has called zrextent or zrextver (the stored kernel).
#pragma once

#include "kova/extension.h"
#include "kova/ripper.h"

namespace kova {

// Null when any resource is missing, when the table's encoding is no
// encoding identifier, or when the record format is one the mode does not
// allow. May rewrite the table's recfm, fieldsep, bigendian and encoding,
// also when it then fails.
KovaRipper* createRipper(KovaObject* object, const KovaRipperOptions* options,
                         KovaDiagnostics* diagnostics);

// Releases the resource can (everything registered in it), the format engine
// and its extension, and the pool. Returns 0.
int32_t destroyRipper(KovaRipper* ripper);

}  // namespace kova
