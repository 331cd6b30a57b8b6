// Finds and loads libzrekova.so with dlopen, as a host kernel would, and
// starts it: zrextver stores the kernel handle, zrekova builds the extension.
// A Module owns the extension it started and the library handle; destroy it
// after every instance and ripper made through the extension.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "kova/extension.h"
#include "runtime/kernel/host.h"

namespace kova::runtime {

class Module {
 public:
  // Loads the module from path, or from $KOVA_MODULE, or from
  // libzrekova.so next to the running program. Null and *error on failure.
  static std::unique_ptr<Module> load(std::string* error, const char* path = nullptr);
  ~Module();

  KovaZrextent zrextent = nullptr;
  KovaZrextver zrextver = nullptr;
  KovaZrekova zrekova = nullptr;
  KovaZrvercn1 zrvercn1 = nullptr;
  const std::string& path() const { return path_; }

  // zrextver(kernel) then zrekova(kernel, diagnostics). The extension is kept
  // and destroyed with the Module (or by stop()). Null when zrekova fails.
  KovaExtensionObject* start(Host& host, KovaDiagnostics* diagnostics, int64_t* major = nullptr,
                             int64_t* minor = nullptr);
  KovaExtensionObject* extension() const { return extension_; }
  // Destroys the extension now (if started).
  void stop();

 private:
  Module() = default;
  void* library_ = nullptr;
  std::string path_;
  KovaExtensionObject* extension_ = nullptr;
};

}  // namespace kova::runtime
