#include "src/extension/version.h"

namespace kova {

// Build time stamp of this release line (2026-12-01 00:00:00 UTC), fixed so
// that builds are reproducible.
constexpr uintptr_t kBuildTimestamp = 1796083200u;

const KovaVersionRecord kVersionRecord = {
    "7.1.1",          // product version
    "main",           // build branch
    "2026-12-01",     // build date
    "00:00:00",       // build time
    "zrekova",        // component
    "kova",           // component label
    "libzrekova.so",  // module
    "Hadoop table access extension",
    kBuildTimestamp,
    {},
};

}  // namespace kova
