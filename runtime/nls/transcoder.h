// Transcoders: host objects that convert text between two registered
// encodings. Made by the NLS service, released through their first slot
// (destroyTranscoder), so a resource can may release them. Each keeps what a
// conversion needs (ICU converters and a pivot buffer, or a fast path), so
// transcode allocates nothing. One thread at a time per transcoder.
//
// transcode is all or nothing: 0 with the whole text written; the
// replacement status kStatusTranscodeWarning with the whole text written
// when some input bytes were ill-formed or some character has no form in the
// target (they became U+FFFD, or the target's substitution character); or
// kStatusTargetTooSmall with *written 0 when the result does not fit.
#pragma once

#include <cstdint>

#include "kova/host.h"

namespace kova::runtime {

class Host;
struct EncodingEntry;

// Null when an id is not registered, the Host refuses the allocation, or ICU
// cannot open a converter. With forceIcu set the fast paths are not used
// (tests compare the two).
KovaTranscoder* createTranscoder(Host& host, const EncodingEntry& from, const EncodingEntry& to,
                                 bool forceIcu = false);

}  // namespace kova::runtime
