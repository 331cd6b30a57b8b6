// The names the format engine knows, what each converts as a format and as an
// informat, and the conversion behind each. The table is static and
// read-only; any thread may call these functions at any time.
//
// A conversion is the `run` slot of a KovaFormatObject: it reads the object's
// input and writes its output (see kova/siblings.h and format_conversions.h).
// A side with a null `run` makes objects that answer kStatusNotSupported.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "kova/siblings.h"

namespace kova::runtime {

enum class FormatCategory : uint8_t { kNumber, kCharacter, kDate, kTime, kDatetime, kBinary };

// One direction of a name: as a format (value -> text) or as an informat
// (text -> value). `present` is false when the name has no such side.
struct FormatSide {
  bool present = false;
  int32_t inputKind = 0;     // kFormatKind*
  int32_t outputKind = 0;    // kFormatKind*
  int32_t defaultWidth = 0;  // used when the caller leaves width at 0; 0: no width
  KovaStatus (*run)(KovaFormatObject* object, int32_t zero) = nullptr;
};

struct FormatEntry {
  std::u16string_view name;  // upper case, as written before the width
  FormatCategory category;
  const char* summary;  // one line for people (the tool, the docs)
  FormatSide format;    // lookup kind kFormatLookupFormat
  FormatSide informat;  // lookup kind kFormatLookupInformat

  // The side asked for by a lookup kind (1 or 2); null for any other kind or
  // when the name has no such side.
  const FormatSide* side(int32_t kind) const;
};

// Every known name, in alphabetical order.
std::span<const FormatEntry> formatEntries();

// The entry of name (ASCII letters compared without case; no width or point),
// or null.
const FormatEntry* findFormatEntry(std::u16string_view name);

// True when name is known as a format (kind 1) or an informat (kind 2).
bool formatKnown(std::u16string_view name, int32_t kind);

}  // namespace kova::runtime
