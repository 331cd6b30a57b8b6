// kova check-format NAME [--informat]: asks the format engine through the
// module's checkFormat whether a format or informat exists.
#include <cstdio>
#include <cstring>
#include <string>

#include "tools/kova/command.h"
#include "tools/kova/session.h"

namespace kova::tool {

int runCheckFormat(std::span<char*> args) {
  const char* name = nullptr;
  bool informat = false;
  for (char* arg : args) {
    if (std::strcmp(arg, "--informat") == 0) {
      informat = true;
    } else if (arg[0] == '-' && arg[1] != '\0') {
      return usageError("check-format", std::string("unknown option ") + arg);
    } else if (name) {
      return usageError("check-format", "takes one NAME");
    } else {
      name = arg;
    }
  }
  if (!name) return usageError("check-format", "missing NAME");
  Session session;
  if (!session.open()) return kExitFailed;
  KovaExtensionObject* extension = session.extension();
  KovaObject* object =
      extension->createInstance(extension, nullptr, session.diagnostics(), "kova check-format");
  if (!object) {
    std::fprintf(stderr, "kova check-format: cannot create a table instance\n");
    return kExitFailed;
  }
  std::u16string wide;
  for (const char* p = name; *p; ++p) wide += static_cast<unsigned char>(*p);
  KovaStatus status = extension->checkFormat(object, wide.data(), int64_t(wide.size()), informat);
  object->destroy(object);
  const char* kind = informat ? "informat" : "format";
  if (status == kStatusOk) {
    std::printf("%s: known %s\n", name, kind);
    return kExitOk;
  }
  std::printf("%s: unknown %s\n", name, kind);
  return kExitFailed;
}

}  // namespace kova::tool
