// The module's version record, copied whole by zrvercn1.
#pragma once

#include "kova/extension.h"

namespace kova {

extern const KovaVersionRecord kVersionRecord;

}  // namespace kova
