// A tool session: the reference host, a stderr diagnostics context, and the
// module loaded and started. Everything is released in the right order by
// the destructor (extension before host).
#pragma once

#include <memory>
#include <string>

#include "runtime/kernel/diagnostics.h"
#include "runtime/kernel/host.h"
#include "runtime/loader/module.h"

namespace kova::tool {

class Session {
 public:
  Session();
  ~Session();
  // Loads and starts the module; false and a message on stderr on failure.
  bool open();
  runtime::Host& host() { return host_; }
  KovaDiagnostics* diagnostics() { return diagnostics_.get(); }
  // Messages about the metadata document being read name path.
  void nameDocument(const std::string& path) {
    diagnostics_.renameDocument("hadoop_metadata.xml", path == "-" ? "stdin" : path);
  }
  runtime::Module& module() { return *module_; }
  KovaExtensionObject* extension() { return module_ ? module_->extension() : nullptr; }
  int64_t major() const { return major_; }
  int64_t minor() const { return minor_; }

 private:
  runtime::Host host_;
  runtime::StderrDiagnostics diagnostics_;
  std::unique_ptr<runtime::Module> module_;
  int64_t major_ = 0;
  int64_t minor_ = 0;
};

// "kStatusNoMemory (0x803fc002)" for a known code, else the hex code.
std::string statusText(KovaStatus status);

}  // namespace kova::tool
