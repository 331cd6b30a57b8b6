// Table-metadata instances: createInstance makes a KovaObject in a pool of
// its own; the instance's destroy releases what it holds and the pool.
// REQUIRES: the host has called zrextent or zrextver (the stored kernel).
#pragma once

#include "kova/extension.h"

namespace kova {

KovaObject* createInstance(KovaExtensionObject* extension, const uint32_t* flags,
                           KovaDiagnostics* diagnostics, const char* name);

int32_t destroyInstance(KovaObject* object);

}  // namespace kova
