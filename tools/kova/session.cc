#include "tools/kova/session.h"

#include <cstdio>

namespace kova::tool {

Session::Session() {
  // The tool's session speaks UTF-8; two-digit years widen with the usual cutoff.
  host_.setOption(u"ZRNLS.KPA_SESSION_CEI", kEncodingUtf8);
  host_.setOption(u"ZR_NAME_YEARCUTOFF", 1926);
}

Session::~Session() {
  if (module_) module_->stop();
}

bool Session::open() {
  std::string error;
  module_ = runtime::Module::load(&error);
  if (!module_) {
    std::fprintf(stderr, "kova: cannot load the module: %s\n", error.c_str());
    return false;
  }
  if (!module_->start(host_, diagnostics_.get(), &major_, &minor_)) {
    std::fprintf(stderr, "kova: the module %s could not build its extension object\n",
                 module_->path().c_str());
    return false;
  }
  return true;
}

std::string statusText(KovaStatus status) {
  char code[16];
  std::snprintf(code, sizeof code, "0x%08x", status);
  const char* name = kovaStatusName(status);
  return name ? std::string(name) + " (" + code + ")" : std::string(code);
}

}  // namespace kova::tool
