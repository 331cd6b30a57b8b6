#include "runtime/loader/module.h"

#include <dlfcn.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>

namespace kova::runtime {
namespace {

// The folder of the running program, with a trailing slash.
std::string programFolder() {
  char buffer[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (n <= 0) return "";
  std::string path(buffer, size_t(n));
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? "" : path.substr(0, slash + 1);
}

template <typename T>
bool bind(void* library, const char* name, T* out, std::string* error) {
  *out = reinterpret_cast<T>(dlsym(library, name));
  if (!*out) *error = std::string("the module does not export ") + name;
  return *out != nullptr;
}

}  // namespace

std::unique_ptr<Module> Module::load(std::string* error, const char* path) {
  std::string chosen;
  if (path) {
    chosen = path;
  } else if (const char* env = std::getenv("KOVA_MODULE"); env && *env) {
    chosen = env;
  } else {
    chosen = programFolder() + "libzrekova.so";
  }
  void* library = dlopen(chosen.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!library) {
    const char* why = dlerror();
    *error = chosen + ": " + (why ? why : "cannot be loaded");
    return nullptr;
  }
  std::unique_ptr<Module> module(new Module());
  module->library_ = library;
  module->path_ = chosen;
  if (!bind(library, "zrextent", &module->zrextent, error) ||
      !bind(library, "zrextver", &module->zrextver, error) ||
      !bind(library, "zrekova", &module->zrekova, error) ||
      !bind(library, "zrvercn1", &module->zrvercn1, error)) {
    return nullptr;
  }
  return module;
}

Module::~Module() {
  stop();
  if (library_) dlclose(library_);
}

KovaExtensionObject* Module::start(Host& host, KovaDiagnostics* diagnostics, int64_t* major,
                                   int64_t* minor) {
  stop();
  int64_t ignoredMajor = 0, ignoredMinor = 0;
  zrextver(host.kernel(), major ? major : &ignoredMajor, minor ? minor : &ignoredMinor);
  extension_ = zrekova(host.kernel(), diagnostics);
  return extension_;
}

void Module::stop() {
  if (extension_) {
    extension_->destroy(extension_);
    extension_ = nullptr;
  }
}

}  // namespace kova::runtime
