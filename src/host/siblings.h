// The module's view of the sibling extensions: loading by name and the format
// engine's lookup, which goes through the table behind a "ZRFM" tag or
// through the engine itself.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string_view>

#include "kova/siblings.h"

namespace kova {

inline constexpr std::u16string_view kXmlSibling = u"zrexml";
inline constexpr std::u16string_view kJsonSibling = u"zrejson";
inline constexpr std::u16string_view kTreeSibling = u"zreavl";
inline constexpr std::u16string_view kFormatSibling = u"zrefmt";

// The named sibling's handle, or null (no kernel, or not loadable).
KovaExtensionHandle* loadSibling(std::u16string_view name, KovaDiagnostics* diagnostics);

inline void releaseSibling(KovaExtensionHandle* handle) {
  if (handle) handle->ops->releaseExtension(handle);
}

// Makes the format engine, loading zrefmt into *extension first when it is
// null. Null when either cannot be had; what was loaded stays in *extension.
KovaFormatEngine* createFormatEngine(KovaExtensionHandle** extension);

void destroyFormatEngine(KovaExtensionHandle* extension, KovaFormatEngine* engine);

// kind: kFormatLookupFormat or kFormatLookupInformat. Null for an unknown name.
KovaFormatObject* lookupFormat(KovaFormatEngine* engine, const char16_t* name, int64_t length,
                               KovaLocale* locale, int32_t kind);

// A format object's lengths are 32-bit. setFormatInput refuses (false,
// nothing set) an input longer than INT32_MAX characters or bytes, since a
// cut input would read as another value; setFormatOutput cuts a capacity
// above UINT32_MAX, which at most shortens the output, and clears
// outputLength so a failing run reports nothing.
inline int32_t formatWidthOf(uint64_t length) {
  return int32_t(std::min<uint64_t>(length, uint64_t(INT32_MAX)));
}

[[nodiscard]] inline bool setFormatInput(KovaFormatObject* object, const void* input,
                                         uint64_t length) {
  if (length > uint64_t(INT32_MAX)) return false;
  object->input = input;
  object->inputLength = int32_t(length);
  return true;
}

inline uint32_t formatCapacityOf(uint64_t capacity) {
  return uint32_t(std::min<uint64_t>(capacity, uint64_t(UINT32_MAX)));
}

inline void setFormatOutput(KovaFormatObject* object, void* output, uint64_t capacity) {
  object->output = output;
  object->outputCapacity = formatCapacityOf(capacity);
  object->outputLength = 0;
}

}  // namespace kova
