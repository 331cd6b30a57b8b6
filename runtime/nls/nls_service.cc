// The NLS service object behind kernel->nls: routes the ABI operations to the
// registry, transcoders, encoding handles, the locale and classification.
#include "runtime/nls/nls_service.h"

#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "runtime/kernel/host.h"
#include "runtime/nls/classify.h"
#include "runtime/nls/encoding_handle.h"
#include "runtime/nls/icu_conversion.h"
#include "runtime/nls/locale.h"
#include "runtime/nls/transcoder.h"
#include "runtime/nls/unicode_codec.h"

namespace kova::runtime {
namespace {

class Service;

// The ABI object handed out; the service is found through it.
struct NlsAbi {
  KovaNls nls;
  Service* service;
};

std::u16string widen(const char* text) { return std::u16string(text, text + std::strlen(text)); }

class Service final : public NlsService {
 public:
  explicit Service(Host& host) : host_(host) {
    abi_.nls.ops = &kOps;
    abi_.service = this;
    for (const EncodingEntry& e : encodingRegistry()) {
      names_.push_back(widen(e.name));
      descriptions_.push_back(widen(e.description));
    }
  }

  ~Service() override {
    for (UConverter* c : sources_) {
      if (c) ucnv_close(c);
    }
    for (UConverter* c : targets_) {
      if (c) ucnv_close(c);
    }
  }

  KovaNls* abi() override { return &abi_.nls; }

 private:
  static Service& of(KovaNls* nls) { return *reinterpret_cast<NlsAbi*>(nls)->service; }

  static int32_t needsTranscoding(KovaNls* nls, int32_t from, int32_t to, uint32_t) {
    if (from == to) return 0;
    if (of(nls).host_.forceTranscoding()) return 1;
    const EncodingEntry* f = findEncoding(from);
    const EncodingEntry* t = findEncoding(to);
    if (!f || !t) return 1;
    if (from == kEncodingLiteral && t->asciiCompatible) return 0;
    // Two ids for the same bytes (the wide text and UTF-16 of this machine).
    return std::strcmp(f->converter, t->converter) == 0 ? 0 : 1;
  }

  static KovaStatus transcodedLength(KovaNls* nls, int32_t from, const void* source,
                                     uint64_t sourceBytes, int32_t to, uint64_t* length) {
    *length = 0;
    const EncodingEntry* f = findEncoding(from);
    const EncodingEntry* t = findEncoding(to);
    if (!f || !t) return kStatusNotSupported;
    if (sourceBytes > 0 && !source) return kStatusNotSupported;
    auto* s = static_cast<const uint8_t*>(source);
    // The same choice of path as the transcoders make, so the count is exact.
    Codec fastFrom = codecForConverter(f->converter);
    Codec fastTo = codecForConverter(t->converter);
    if (fastFrom != Codec::kNone && fastTo != Codec::kNone) {
      *length = convertFast(fastFrom, fastTo, s, sourceBytes, nullptr, 0).length;
      return kStatusOk;
    }
    Service& service = of(nls);
    // The cached converters are shared by every caller of this Host.
    std::lock_guard<std::mutex> lock(service.mutex_);
    UConverter* fc = service.converter(service.sources_, *f);
    UConverter* tc = service.converter(service.targets_, *t);
    if (!fc || !tc) return kStatusNoMemory;
    IcuResult r = convertIcu(fc, tc, service.pivot_, s, sourceBytes, nullptr, 0);
    if (r.status != kStatusOk) return r.status;
    *length = r.length;
    return kStatusOk;
  }

  static KovaTranscoder* createTranscoder(KovaNls* nls, int32_t from, int32_t to, uint32_t,
                                          KovaDiagnostics*) {
    const EncodingEntry* f = findEncoding(from);
    const EncodingEntry* t = findEncoding(to);
    if (!f || !t) return nullptr;
    return runtime::createTranscoder(of(nls).host_, *f, *t);
  }

  static KovaTranscoder* createWideTranscoder(KovaNls* nls, int32_t to, uint32_t,
                                              KovaDiagnostics* diagnostics) {
    return createTranscoder(nls, kEncodingWide, to, 0, diagnostics);
  }

  static KovaStatus encodingInfo(KovaNls* nls, int32_t encoding, KovaEncodingInfo* info) {
    const EncodingEntry* e = findEncoding(encoding);
    if (!e || !info) return kStatusNotSupported;
    Service& service = of(nls);
    size_t index = size_t(e - encodingRegistry().data());
    *info = KovaEncodingInfo{};
    info->name = service.names_[index].data();
    info->nameLength = int64_t(service.names_[index].size());
    info->description = service.descriptions_[index].data();
    info->descriptionLength = int64_t(service.descriptions_[index].size());
    info->maxBytesPerChar = e->maxBytesPerChar;
    return kStatusOk;
  }

  static KovaStatus encodingHandle(KovaNls* nls, int32_t encoding, uint32_t,
                                   KovaEncodingHandle** handle) {
    *handle = nullptr;
    const EncodingEntry* e = findEncoding(encoding);
    if (!e) return kStatusNotSupported;
    return createEncodingHandle(of(nls).host_, *e, handle);
  }

  static KovaLocale* currentLocale(KovaNls*) { return hostLocale(); }

  static uint32_t classify(KovaNls*, uint32_t codePoint) { return classifyCodePoint(codePoint); }

  // The cached converter of an encoding for one role, opened on first use.
  UConverter* converter(UConverter** cache, const EncodingEntry& e) {
    if (!cache[e.id]) cache[e.id] = openConverter(e.converter, nullptr);
    return cache[e.id];
  }

  static constexpr KovaNlsOps kOps = {needsTranscoding,     transcodedLength, createTranscoder,
                                      createWideTranscoder, encodingInfo,     encodingHandle,
                                      currentLocale,        classify};

  NlsAbi abi_;
  Host& host_;
  std::vector<std::u16string> names_;
  std::vector<std::u16string> descriptions_;
  std::mutex mutex_;  // guards sources_, targets_ and pivot_
  UConverter* sources_[kEncodingLimit] = {};
  UConverter* targets_[kEncodingLimit] = {};
  UChar pivot_[kPivotUnits];
};

}  // namespace

std::unique_ptr<NlsService> createNlsService(Host& host) { return std::make_unique<Service>(host); }

}  // namespace kova::runtime
