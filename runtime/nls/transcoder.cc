#include "runtime/nls/transcoder.h"

#include <new>

#include "runtime/kernel/host.h"
#include "runtime/nls/icu_conversion.h"
#include "runtime/nls/nls_service.h"
#include "runtime/nls/unicode_codec.h"

namespace kova::runtime {
namespace {

struct Transcoder {
  KovaTranscoder abi;  // first: the module sees only this
  Host* host;
  Codec fastFrom = Codec::kNone;
  Codec fastTo = Codec::kNone;
  UConverter* from = nullptr;  // null on the fast path
  UConverter* to = nullptr;
  bool substituted = false;  // set by the ICU callbacks during a conversion
  UChar pivot[kPivotUnits];

  ~Transcoder() {
    if (from) ucnv_close(from);
    if (to) ucnv_close(to);
  }
};

Transcoder* self(KovaTranscoder* transcoder) { return reinterpret_cast<Transcoder*>(transcoder); }

void destroy(KovaTranscoder* transcoder) {
  if (!transcoder) return;
  Transcoder* t = self(transcoder);
  Host* host = t->host;
  delete t;
  host->trackObject(-1);
}

KovaStatus transcode(KovaTranscoder* transcoder, const void* source, uint64_t sourceBytes,
                     void* target, uint64_t capacity, uint64_t* written, uint32_t) {
  Transcoder* t = self(transcoder);
  *written = 0;
  if (sourceBytes > 0 && !source) return kStatusNotSupported;
  auto* s = static_cast<const uint8_t*>(source);
  auto* out = static_cast<uint8_t*>(target);
  if (!out) {
    // Nothing fits into no target, except nothing.
    if (sourceBytes == 0) return kStatusOk;
    return kStatusTargetTooSmall;
  }
  if (!t->from) {
    CodecResult r = convertFast(t->fastFrom, t->fastTo, s, sourceBytes, out, capacity);
    if (r.status == kStatusOk || r.status == kStatusTranscodeWarning) *written = r.length;
    return r.status;
  }
  t->substituted = false;
  IcuResult r = convertIcu(t->from, t->to, t->pivot, s, sourceBytes, out, capacity);
  if (r.status != kStatusOk) return r.status;
  *written = r.length;
  return t->substituted ? kStatusTranscodeWarning : kStatusOk;
}

constexpr KovaTranscoderOps kOps = {destroy, transcode};
static_assert(offsetof(Transcoder, abi) == 0);

}  // namespace

KovaTranscoder* createTranscoder(Host& host, const EncodingEntry& from, const EncodingEntry& to,
                                 bool forceIcu) {
  if (!host.consumeAllocation()) return nullptr;
  auto* t = new (std::nothrow) Transcoder;
  if (!t) return nullptr;
  t->abi.ops = &kOps;
  t->host = &host;
  Codec fastFrom = codecForConverter(from.converter);
  Codec fastTo = codecForConverter(to.converter);
  if (!forceIcu && fastFrom != Codec::kNone && fastTo != Codec::kNone) {
    t->fastFrom = fastFrom;
    t->fastTo = fastTo;
  } else {
    t->from = openConverter(from.converter, &t->substituted);
    t->to = openConverter(to.converter, &t->substituted);
    if (!t->from || !t->to) {
      delete t;
      return nullptr;
    }
  }
  host.trackObject(+1);
  return &t->abi;
}

}  // namespace kova::runtime
