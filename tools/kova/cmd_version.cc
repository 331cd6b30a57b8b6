// kova version: the module's versions as the host sees them.
#include <cstdio>

#include "tools/kova/command.h"
#include "tools/kova/session.h"

namespace kova::tool {

int runVersion(std::span<char*> args) {
  if (!args.empty()) return usageError("version", "takes no arguments");
  Session session;
  if (!session.open()) return kExitFailed;
  KovaExtensionObject* extension = session.extension();
  int64_t a = 0, b = 0, c = 0, d = 0, e = 0, f = 0;
  extension->getVersion(extension, &a, &b, &c);
  extension->getSecondVersion(extension, &d, &e, &f);
  KovaVersionRecord record{};
  session.module().zrvercn1(&record);
  std::printf("module          %s\n", session.module().path().c_str());
  std::printf("interface       %lld.%lld\n", (long long)session.major(),
              (long long)session.minor());
  std::printf("version         %lld.%lld.%lld\n", (long long)a, (long long)b, (long long)c);
  std::printf("second version  %lld.%lld.%lld\n", (long long)d, (long long)e, (long long)f);
  std::printf("product         %s (%s), built %s %s on %s\n", record.productVersion,
              record.componentName, record.buildDate, record.buildTime, record.buildBranch);
  std::printf("build stamp     %llu\n", (unsigned long long)record.buildTimestamp);
  std::printf("host            kova reference host (ICU, expat)\n");
  return kExitOk;
}

}  // namespace kova::tool
