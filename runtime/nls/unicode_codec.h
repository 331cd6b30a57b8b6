// Conversions between the Unicode forms, Latin-1 and ASCII without ICU:
// the transcoders' fast paths and the validity checks of the encoding
// handles. Ill-formed input becomes U+FFFD, one per maximal ill-formed
// subsequence, exactly as the ICU converters of the same encodings do, so a
// fast path and ICU give the same bytes.
#pragma once

#include <cstddef>
#include <cstdint>

#include "kova/host.h"

namespace kova::runtime {

enum class Codec : uint8_t {
  kNone,
  kUtf8,
  kUtf16Le,
  kUtf16Be,
  kUtf32Le,
  kUtf32Be,
  kLatin1,
  kAscii
};

// The fast codec of an ICU converter name ("UTF-8", "ISO-8859-1", ...), or kNone.
Codec codecForConverter(const char* converterName);

struct CodecResult {
  KovaStatus status;  // 0, kStatusTargetTooSmall, or kStatusTranscodeWarning
  uint64_t length;    // bytes written (or counted); 0 unless status is 0 or a warning
};

// Converts source from one codec to another. With target null, only counts
// the bytes (capacity is ignored). Characters the target cannot hold become
// its substitution byte 0x1A (Latin-1, ASCII) or U+FFFD; any replacement
// makes the status kStatusTranscodeWarning.
CodecResult convertFast(Codec from, Codec to, const uint8_t* source, uint64_t sourceBytes,
                        uint8_t* target, uint64_t capacity);

// True when the bytes are well-formed text of the codec.
bool wellFormed(Codec codec, const uint8_t* bytes, uint64_t length);

}  // namespace kova::runtime
