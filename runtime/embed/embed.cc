// The C entry points of kova/embed.h over the reference host's Host, stderr
// diagnostics and module loader.
#include "kova/embed.h"

#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "runtime/kernel/diagnostics.h"
#include "runtime/kernel/host.h"
#include "runtime/loader/module.h"

struct KovaEmbed {
  kova::runtime::Host host;
  kova::runtime::StderrDiagnostics diagnostics;
  std::unique_ptr<kova::runtime::Module> module;
};

namespace {

void report(char* error, size_t errorSize, const std::string& message) {
  if (error && errorSize > 0) std::snprintf(error, errorSize, "%s", message.c_str());
}

// libzrekova.so beside the shared object (or program) holding this code.
std::string besideThisLibrary() {
  Dl_info info;
  if (dladdr(reinterpret_cast<void*>(&kovaEmbedOpen), &info) == 0 || !info.dli_fname) return "";
  std::string path = info.dli_fname;
  const size_t slash = path.rfind('/');
  return (slash == std::string::npos ? std::string() : path.substr(0, slash + 1)) + "libzrekova.so";
}

}  // namespace

extern "C" KovaEmbed* kovaEmbedOpen(const char* modulePath, char* error, size_t errorSize) {
  KovaEmbed* embed = new (std::nothrow) KovaEmbed();
  if (!embed) {
    report(error, errorSize, "no memory for the host");
    return nullptr;
  }
  embed->host.setOption(u"ZRNLS.KPA_SESSION_CEI", kEncodingUtf8);
  embed->host.setOption(u"ZR_NAME_YEARCUTOFF", 1926);
  // Module::load reads $KOVA_MODULE when given no path; its own fallback is
  // the program's folder, but an embedded module sits beside this library.
  std::string beside;
  const char* path = modulePath;
  if (!path && !(std::getenv("KOVA_MODULE") && *std::getenv("KOVA_MODULE"))) {
    beside = besideThisLibrary();
    path = beside.c_str();
  }
  std::string why;
  embed->module = kova::runtime::Module::load(&why, path);
  if (!embed->module) {
    report(error, errorSize, "cannot load the module: " + why);
    delete embed;
    return nullptr;
  }
  if (!embed->module->start(embed->host, embed->diagnostics.get())) {
    report(error, errorSize,
           "the module " + embed->module->path() + " could not build its extension object");
    delete embed;
    return nullptr;
  }
  return embed;
}

extern "C" KovaExtensionObject* kovaEmbedExtension(KovaEmbed* embed) {
  return embed->module->extension();
}

extern "C" KovaKernel* kovaEmbedKernel(KovaEmbed* embed) { return embed->host.kernel(); }

extern "C" KovaDiagnostics* kovaEmbedDiagnostics(KovaEmbed* embed) {
  return embed->diagnostics.get();
}

extern "C" void kovaEmbedSetOption(KovaEmbed* embed, const char* key, int64_t value) {
  std::u16string wide;
  for (const char* p = key; *p; ++p) wide += char16_t(static_cast<unsigned char>(*p));
  embed->host.setOption(wide, value);
}

extern "C" void kovaEmbedClose(KovaEmbed* embed) {
  if (!embed) return;
  // The extension goes before the host it was started on.
  embed->module.reset();
  delete embed;
}
