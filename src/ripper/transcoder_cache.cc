#include "src/ripper/transcoder_cache.h"

#include "src/host/nls.h"

namespace kova {

bool needsTranscoding(const KovaRipper* ripper, uint32_t from, uint32_t to) {
  KovaNls* nls = ripper->nls;
  return nls->ops->needsTranscoding(nls, static_cast<int32_t>(from), static_cast<int32_t>(to),
                                    0) != 0;
}

KovaStatus registerHostObject(KovaRipper* ripper, void* object) {
  KovaCan* can = ripper->resourceCan;
  if (can->ops->canAdd(can, 0, kCanKindHost, object, 0, 0, 0, 0) == kStatusOk) return kStatusOk;
  auto* ops = *static_cast<const KovaSelfReleasingOps* const*>(object);
  ops->release(object);
  return kStatusNoMemory;
}

KovaStatus cachedTranscoder(KovaRipper* ripper, uint32_t from, uint32_t to,
                            KovaTranscoder** transcoder) {
  *transcoder = nullptr;
  if (!validEncoding(from) || !validEncoding(to)) return kStatusNotSupported;
  void*& slot = ripper->transcoders[from * kEncodingLimit + to];
  if (!slot) {
    KovaNls* nls = ripper->nls;
    KovaTranscoder* made =
        from == kEncodingWide
            ? nls->ops->createWideTranscoder(nls, static_cast<int32_t>(to), 0, ripper->diagnostics)
            : nls->ops->createTranscoder(nls, static_cast<int32_t>(from),
                                         static_cast<int32_t>(to), 0, ripper->diagnostics);
    if (!made || registerHostObject(ripper, made) != kStatusOk) return kStatusNoMemory;
    slot = made;
  }
  *transcoder = static_cast<KovaTranscoder*>(slot);
  return kStatusOk;
}

KovaStatus cachedHandle(KovaRipper* ripper, uint32_t encoding, KovaEncodingHandle** handle) {
  *handle = nullptr;
  if (!validEncoding(encoding)) return kStatusNotSupported;
  void*& slot = ripper->transcoders[kHandleCacheBase + encoding];
  if (!slot) {
    KovaNls* nls = ripper->nls;
    KovaEncodingHandle* made = nullptr;
    KovaStatus status =
        nls->ops->encodingHandle(nls, static_cast<int32_t>(encoding), 0, &made);
    if (status != kStatusOk) return status;
    if (!made) return kStatusNotSupported;
    if (registerHostObject(ripper, made) != kStatusOk) return kStatusNoMemory;
    slot = made;
  }
  *handle = static_cast<KovaEncodingHandle*>(slot);
  return kStatusOk;
}

}  // namespace kova
