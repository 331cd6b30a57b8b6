// The module's view of the sibling extensions: loading by name and the format
// engine's lookup, which goes through the table behind a "ZRFM" tag or
// through the engine itself.
#pragma once

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

}  // namespace kova
