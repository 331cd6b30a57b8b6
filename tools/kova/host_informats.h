// The host's informats for `kova convert`: text read as a date, time,
// datetime or number through the reference host's format engine (zrefmt),
// the way a ripper reads such a field. One reader per run.
#pragma once

#include <cstdint>
#include <string_view>

#include "kova/host.h"
#include "kova/siblings.h"

namespace kova::tool {

class HostInformats {
 public:
  HostInformats(KovaKernel* kernel, KovaLocale* locale);
  ~HostInformats();
  HostInformats(const HostInformats&) = delete;
  HostInformats& operator=(const HostInformats&) = delete;

  // The value of UTF-8 text read by the informat for an SQL type (date,
  // time, timestamp; anything else reads a number). False when the text is
  // refused or the engine is not available.
  bool read(int32_t sqlType, std::string_view text, double* value);

 private:
  KovaFormatObject* informat(int32_t sqlType);

  KovaExtensionHandle* extension_ = nullptr;
  KovaFormatEngine* engine_ = nullptr;
  KovaLocale* locale_;
  KovaFormatObject* date_ = nullptr;
  KovaFormatObject* time_ = nullptr;
  KovaFormatObject* stamp_ = nullptr;
  KovaFormatObject* number_ = nullptr;
};

}  // namespace kova::tool
