// Resource cans of the reference host: a can holds objects by kind and, when
// destroyed, releases them newest first with the releaser set for their kind.
// Made only by the kernel's createResourceCan; must not outlive its Host.
#pragma once

#include "kova/host.h"

namespace kova::runtime {

class Host;

// A new empty can, or null when memory is short. The caller has already
// counted the allocation event. Kind 0 releases through the object's own
// table until a releaser is set.
KovaCan* newCan(Host& host, const char* name);

}  // namespace kova::runtime
