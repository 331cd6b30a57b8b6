// Shared set-up of the benchmark programs: the module, linked in statically,
// started on a reference host as a host kernel would start it.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include <unistd.h>

#include "kova/extension.h"
#include "kova/ripper.h"
#include "runtime/kernel/host.h"

extern "C" int32_t zrextver(KovaKernel* kernel, int64_t* major, int64_t* minor);
extern "C" KovaExtensionObject* zrekova(KovaKernel* kernel, KovaDiagnostics* diagnostics);

namespace kova::bench {

// zrextver, then zrekova on host's kernel; aborts when the extension cannot
// be built (a benchmark without it measures nothing).
inline KovaExtensionObject* startModule(runtime::Host& host) {
  zrextver(host.kernel(), nullptr, nullptr);
  KovaExtensionObject* extension = zrekova(host.kernel(), nullptr);
  if (!extension) {
    std::fprintf(stderr, "zrekova failed\n");
    std::abort();
  }
  return extension;
}

// The folder of the benchmark sources, bench/. The build may name this
// header relative to the build folder, two levels above the program.
inline std::string benchDir() {
  std::string file = __FILE__;
  std::string dir = file.substr(0, file.find_last_of('/'));
  if (!dir.empty() && dir[0] == '/') return dir;
  char exe[4096];
  const ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
  if (n <= 0) return dir;
  std::string build(exe, size_t(n));
  build = build.substr(0, build.find_last_of('/'));
  build = build.substr(0, build.find_last_of('/'));
  return build + "/" + dir;
}

// The whole file, or an empty text when it cannot be read.
inline std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

// A new instance filled from the metadata document bench/NAME; aborts when
// it cannot be read.
inline KovaObject* readTable(KovaExtensionObject* extension, const char* name) {
  KovaObject* object = extension->createInstance(extension, nullptr, nullptr, nullptr);
  std::string xml = slurp(benchDir() + "/" + name);
  if (!object || object->extension->readXml(object, xml.data(), int64_t(xml.size()), nullptr)) {
    std::fprintf(stderr, "cannot read %s\n", name);
    std::abort();
  }
  return object;
}

// Rips data through a bound ripper in blocks of block bytes, then ends the
// input with flushPending; rows receives the rows made. False when a block
// or the end of the input fails.
inline bool ripInBlocks(KovaRipper* ripper, const std::string& data, size_t block, uint64_t* rows) {
  const auto* bytes = reinterpret_cast<const uint8_t*>(data.data());
  *rows = 0;
  for (size_t at = 0; at < data.size(); at += block) {
    uint8_t* out = nullptr;
    int32_t count = 0;
    const size_t n = data.size() - at < block ? data.size() - at : block;
    if (ripper->ops.ripBlock(ripper, bytes + at, int64_t(n), &out, &count) != kStatusOk) {
      return false;
    }
    *rows += uint64_t(count);
  }
  uint8_t* out = nullptr;
  int32_t count = 0;
  if (ripper->ops.flushPending(ripper, &out, &count) != kStatusOk) return false;
  *rows += uint64_t(count);
  return true;
}

}  // namespace kova::bench
