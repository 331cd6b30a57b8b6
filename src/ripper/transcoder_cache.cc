#include "src/ripper/transcoder_cache.h"

#include "src/host/nls.h"
#include "src/host/pool.h"
#include "src/ripper/column_settings.h"

namespace kova {
namespace {

static_assert(kHandleCacheBase == kEncodingLimit * kEncodingLimit &&
                  kTranscoderCacheEntries == (kEncodingLimit + 1) * kEncodingLimit,
              "the cache's entries fill whole rows of kEncodingLimit");

// The cache entry numbered entry; null when its row cannot be allocated.
void** cacheSlot(KovaRipper* ripper, uint32_t entry) {
  void**& row = moduleSide(ripper)->transcoderRows[entry / kEncodingLimit];
  if (!row) {
    row = static_cast<void**>(poolAllocate(ripper->pool, sizeof(void*) * kEncodingLimit, true));
    if (!row) return nullptr;
  }
  return &row[entry % kEncodingLimit];
}

}  // namespace

bool needsTranscoding(const KovaRipper* ripper, uint32_t from, uint32_t to) {
  KovaNls* nls = ripper->nls;
  return nls->ops->needsTranscoding(nls, static_cast<int32_t>(from), static_cast<int32_t>(to), 0) !=
         0;
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
  void** entry = cacheSlot(ripper, from * kEncodingLimit + to);
  if (!entry) return kStatusNoMemory;
  void*& slot = *entry;
  if (!slot) {
    KovaNls* nls = ripper->nls;
    KovaTranscoder* made =
        from == kEncodingWide
            ? nls->ops->createWideTranscoder(nls, static_cast<int32_t>(to), 0, ripper->diagnostics)
            : nls->ops->createTranscoder(nls, static_cast<int32_t>(from), static_cast<int32_t>(to),
                                         0, ripper->diagnostics);
    if (!made || registerHostObject(ripper, made) != kStatusOk) return kStatusNoMemory;
    slot = made;
  }
  *transcoder = static_cast<KovaTranscoder*>(slot);
  return kStatusOk;
}

KovaStatus cachedHandle(KovaRipper* ripper, uint32_t encoding, KovaEncodingHandle** handle) {
  *handle = nullptr;
  if (!validEncoding(encoding)) return kStatusNotSupported;
  void** entry = cacheSlot(ripper, kHandleCacheBase + encoding);
  if (!entry) return kStatusNoMemory;
  void*& slot = *entry;
  if (!slot) {
    KovaNls* nls = ripper->nls;
    KovaEncodingHandle* made = nullptr;
    KovaStatus status = nls->ops->encodingHandle(nls, static_cast<int32_t>(encoding), 0, &made);
    if (status != kStatusOk) return status;
    if (!made) return kStatusNotSupported;
    if (registerHostObject(ripper, made) != kStatusOk) return kStatusNoMemory;
    slot = made;
  }
  *handle = static_cast<KovaEncodingHandle*>(slot);
  return kStatusOk;
}

}  // namespace kova
