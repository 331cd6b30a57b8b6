// The module's view of the host's NLS service: encodings, transcoders and the
// locale's integer readers. Every call tolerates a host without NLS.
#pragma once

#include <cstdint>

#include "kova/host.h"

namespace kova {

// Reads a 32-bit integer from 16-bit digits with the locale: lenient unless
// strict. 0 and *value, a status from the locale, or kStatusNoNls when the
// host has no NLS service or locale. *value is unchanged on failure.
KovaStatus parseInteger(KovaLocale* locale, const char16_t* digits, int64_t length, int32_t* value,
                        bool strict = false);

// True when the encoding ids are usable as identifiers (0 to 264).
inline bool validEncoding(int64_t encoding) { return encoding >= 0 && encoding < kEncodingLimit; }

inline void destroyTranscoder(KovaTranscoder* transcoder) {
  if (transcoder) transcoder->ops->destroyTranscoder(transcoder);
}

}  // namespace kova
