// Rippers and burners are not available yet: creation answers null.
#include "src/ripper/create.h"

namespace kova {

KovaRipper* createRipper(KovaObject*, const KovaRipperOptions*, KovaDiagnostics*) {
  return nullptr;
}

}  // namespace kova
