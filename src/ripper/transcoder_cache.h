// The ripper's transcoder cache: one transcoder per pair of encodings and one
// encoding handle per encoding, made on first need, registered in the
// resource can and shared by every column that needs it. An identifier
// outside 0 to 264 never indexes the cache.
#pragma once

#include <cstdint>

#include "kova/ripper.h"

namespace kova {

// True when text in from must be converted to be text in to (both set).
bool needsTranscoding(const KovaRipper* ripper, uint32_t from, uint32_t to);

// The transcoder from -> to. kStatusNotSupported for an identifier outside
// the cache, kStatusNoMemory when it cannot be made or registered.
KovaStatus cachedTranscoder(KovaRipper* ripper, uint32_t from, uint32_t to,
                            KovaTranscoder** transcoder);

// The encoding handle of encoding. kStatusNotSupported for an identifier
// outside the cache; the host's status when it refuses; kStatusNoMemory when
// the handle cannot be registered.
KovaStatus cachedHandle(KovaRipper* ripper, uint32_t encoding, KovaEncodingHandle** handle);

// Registers a host object (transcoder, handle, parser, tree, extension
// handle) in the resource can; on failure the object is released at once
// and kStatusNoMemory returned.
KovaStatus registerHostObject(KovaRipper* ripper, void* object);

}  // namespace kova
