#include "tools/kova/host_informats.h"

#include <cstring>
#include <string>

#include "kova/ripper.h"

namespace kova::tool {
namespace {

constexpr int32_t kLongestText = 64;

KovaFormatObject* lookup(KovaFormatEngine* engine, std::u16string_view name, KovaLocale* locale) {
  const KovaFormatEngineOps* ops = std::memcmp(engine->tag, u"ZRFM", sizeof engine->tag) == 0
                                       ? engine->ops
                                       : reinterpret_cast<const KovaFormatEngineOps*>(engine);
  return ops->lookup(engine, name.data(), int64_t(name.size()), locale, kFormatLookupInformat, 0);
}

void release(KovaFormatObject* object) {
  if (object && object->release) object->release(object);
}

}  // namespace

HostInformats::HostInformats(KovaKernel* kernel, KovaLocale* locale) : locale_(locale) {
  if (!kernel) return;
  extension_ = kernel->ops->loadExtension(kernel, u"zrefmt", 6, nullptr);
  if (extension_ && extension_->ops->createEngine) {
    engine_ = extension_->ops->createEngine(extension_);
  }
}

HostInformats::~HostInformats() {
  for (KovaFormatObject* object : {date_, time_, stamp_, number_}) release(object);
  if (engine_ && extension_->ops->destroyEngine) extension_->ops->destroyEngine(engine_);
  if (extension_) extension_->ops->releaseExtension(extension_);
}

KovaFormatObject* HostInformats::informat(int32_t sqlType) {
  if (!engine_) return nullptr;
  KovaFormatObject** slot = sqlType == kSqlDate        ? &date_
                            : sqlType == kSqlTime      ? &time_
                            : sqlType == kSqlTimestamp ? &stamp_
                                                       : &number_;
  if (!*slot) {
    std::u16string_view name = sqlType == kSqlDate        ? u"ANYDTDTE"
                               : sqlType == kSqlTime      ? u"ANYDTTME"
                               : sqlType == kSqlTimestamp ? u"ANYDTDTM"
                                                          : u"BEST";
    *slot = lookup(engine_, name, locale_);
  }
  return *slot;
}

bool HostInformats::read(int32_t sqlType, std::string_view text, double* value) {
  KovaFormatObject* object = informat(sqlType);
  if (!object || text.empty() || text.size() > size_t(kLongestText)) return false;
  char16_t wide[kLongestText];
  for (size_t i = 0; i < text.size(); ++i) {
    if (static_cast<unsigned char>(text[i]) >= 0x80) return false;  // dates and numbers are ASCII
    wide[i] = char16_t(text[i]);
  }
  object->width = static_cast<decltype(object->width)>(text.size());
  object->decimals = 0;
  object->input = wide;
  object->inputLength = static_cast<decltype(object->inputLength)>(text.size());
  object->output = value;
  object->outputCapacity = static_cast<decltype(object->outputCapacity)>(8);
  object->outputLength = 0;
  if (object->run(object, 0) != kStatusOk || object->outputLength != 8) return false;
  uint64_t bits;
  std::memcpy(&bits, value, 8);
  return (bits >> 48) != 0xFFFF;
}

}  // namespace kova::tool
