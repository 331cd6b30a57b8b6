// The extension object: built once by zrekova in a pool of its own, destroyed
// by its destroy operation. Instances, rippers and burners read its
// xmlExtension, locale, utf8Transcoder and prologue, so it outlives them.
#pragma once

#include "kova/extension.h"

namespace kova {

// Builds the extension object with the given kernel (not stored: only
// zrextent and zrextver store the kernel). Null on any failure; a status is
// reported to diagnostics only when the pool or the object cannot be made.
KovaExtensionObject* createExtension(KovaKernel* kernel, KovaDiagnostics* diagnostics);

// The document prologue, 121 bytes in the encoding of the module's literals.
extern const char kPrologue[];

}  // namespace kova
