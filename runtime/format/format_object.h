// The format engine's objects: the engine tagged "ZRFM" and the format objects
// its lookup makes. A format object belongs to whoever looked it up and is
// freed by its release hook; it does not refer to the engine, so it may
// outlive it. Conversions (the `run` slot) reach these records from the ABI
// pointer they are given.
#pragma once

#include "kova/siblings.h"
#include "runtime/format/format_names.h"

namespace kova::runtime {

class Host;

struct FormatObject {
  KovaFormatObject abi;  // first: the caller holds &abi
  Host* host;
  const FormatEntry* entry;
  const FormatSide* side;
  KovaLocale* locale;  // the locale given to the lookup (may be null)
  int32_t kind;        // kFormatLookupFormat or kFormatLookupInformat
};

inline FormatObject* formatObjectOf(KovaFormatObject* object) {
  return reinterpret_cast<FormatObject*>(object);
}

inline const FormatObject* formatObjectOf(const KovaFormatObject* object) {
  return reinterpret_cast<const FormatObject*>(object);
}

// The width a conversion works with: the caller's, or the side's default when
// the caller left it at 0.
inline int32_t effectiveWidth(const FormatObject& object) {
  return object.abi.width > 0 ? object.abi.width : object.side->defaultWidth;
}

}  // namespace kova::runtime
