// kova encodings: the reference host's encoding registry.
#include <cstdio>
#include <cstring>
#include <string>

#include "runtime/nls/nls_service.h"
#include "tools/kova/command.h"
#include "tools/kova/json.h"

namespace kova::tool {

int runEncodings(std::span<char*> args) {
  bool json = false;
  for (char* arg : args) {
    if (std::strcmp(arg, "--json") == 0) {
      json = true;
    } else {
      return usageError("encodings", std::string("unknown option ") + arg);
    }
  }
  auto registry = runtime::encodingRegistry();
  if (json) {
    std::string out = "[";
    for (size_t i = 0; i < registry.size(); ++i) {
      const auto& e = registry[i];
      out += i ? ",\n " : "\n ";
      out += "{\"id\": " + std::to_string(e.id) + ", \"name\": " + jsonString(e.name) +
             ", \"maxBytesPerChar\": " + std::to_string(e.maxBytesPerChar) +
             ", \"asciiCompatible\": " + (e.asciiCompatible ? "true" : "false") +
             ", \"description\": " + jsonString(e.description) + "}";
    }
    out += "\n]\n";
    std::fputs(out.c_str(), stdout);
    return kExitOk;
  }
  std::printf("%4s  %-14s %5s  %s\n", "id", "name", "bytes", "description");
  for (const auto& e : registry) {
    std::printf("%4d  %-14s %5d  %s\n", e.id, e.name, e.maxBytesPerChar, e.description);
  }
  return kExitOk;
}

}  // namespace kova::tool
