// The record the XML parser hands back to the metadata reader's callbacks,
// and the handle a chunked read keeps in the object's xmlObject between
// pieces. One per read, in the instance pool; freed when the read ends.
#pragma once

#include <cstdint>

#include "kova/extension.h"

namespace kova {

// Character data held in the context itself; longer text moves to a pool
// block that grows in steps of 1024 code units.
inline constexpr uint32_t kInlineTextUnits = 4096;

struct ReaderContext {
  // Fixed fields first: the callback table the parser passes to every
  // callback, then the reader's own state.
  KovaXmlCallbacks callbacks;
  KovaDiagnostics* diagnostics;  // the caller's, for the piece being read
  KovaObject* object;
  uint32_t textLength;  // code units of character data collected
  uint32_t textCapacity;
  char16_t* text;      // inlineText, or a pool block once the text outgrew it
  KovaColumn* column;  // the column the latest "column" element added, or null
  // What xmlObject points at while the read runs: a zrexml object whose
  // parse and destroyObject forward to the parser (and free this context).
  KovaXmlObject handle;
  KovaXmlObject* parser;
  KovaXmlConfig record;
  char16_t inlineText[kInlineTextUnits];
};

}  // namespace kova
