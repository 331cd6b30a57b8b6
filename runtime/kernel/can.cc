// A can is a list of (kind, object) pairs and one releaser per kind.
#include "runtime/kernel/can.h"

#include <cstdio>
#include <new>
#include <string>
#include <vector>

#include "runtime/kernel/host.h"

namespace kova::runtime {
namespace {

constexpr uint32_t kKindCount = 2;

struct Entry {
  uint32_t kind;
  void* object;
};

struct Can {
  KovaCan base;  // first: KovaCan* and Can* are the same address
  Host* host;
  std::string name;
  // releasers[kind]: kCanReleaseSelf or a KovaReleaser; 0 when none is set.
  uintptr_t releasers[kKindCount] = {kCanReleaseSelf, 0};
  std::vector<Entry> entries;
};

Can* self(KovaCan* can) { return reinterpret_cast<Can*>(can); }

KovaStatus canAdd(KovaCan* can, uint32_t, uint32_t kind, void* object, uint64_t, uint64_t, uint64_t,
                  uint64_t) {
  if (!can || !object || kind >= kKindCount) return kStatusNotSupported;
  if (!self(can)->host->consumeAllocation()) return kStatusNoMemory;
  try {
    self(can)->entries.push_back({kind, object});
  } catch (const std::bad_alloc&) {
    return kStatusNoMemory;
  }
  return kStatusOk;
}

KovaStatus canSetReleaser(KovaCan* can, uint32_t kind, uintptr_t releaser) {
  if (!can || kind >= kKindCount || releaser == 0) return kStatusNotSupported;
  // Host objects only ever release themselves; format objects need a function.
  if (kind == kCanKindHost && releaser != kCanReleaseSelf) return kStatusNotSupported;
  if (kind == kCanKindFormat && releaser == kCanReleaseSelf) return kStatusNotSupported;
  self(can)->releasers[kind] = releaser;
  return kStatusOk;
}

void release(Can* can, const Entry& entry) {
  uintptr_t releaser = can->releasers[entry.kind];
  if (releaser == kCanReleaseSelf) {
    auto* ops = *static_cast<const KovaSelfReleasingOps* const*>(entry.object);
    ops->release(entry.object);
  } else if (releaser != 0) {
    reinterpret_cast<KovaReleaser>(releaser)(entry.object);
  } else {
    // Nothing can release it; say so rather than drop it silently.
    std::fprintf(stderr, "kova host: can \"%s\": no releaser for an object of kind %u\n",
                 can->name.c_str(), entry.kind);
  }
}

void destroyCan(KovaCan* can) {
  if (!can) return;
  Can* c = self(can);
  // A releaser may in principle add to the can; take entries from the back
  // until none are left.
  while (!c->entries.empty()) {
    Entry entry = c->entries.back();
    c->entries.pop_back();
    release(c, entry);
  }
  c->host->trackCans(-1);
  delete c;
}

const KovaCanOps kCanOps = {canAdd, canSetReleaser, destroyCan};

}  // namespace

KovaCan* newCan(Host& host, const char* name) {
  Can* can = new (std::nothrow) Can{};
  if (!can) return nullptr;
  can->base.ops = &kCanOps;
  can->host = &host;
  try {
    can->name = name ? name : "";
  } catch (const std::bad_alloc&) {
    delete can;
    return nullptr;
  }
  host.trackCans(1);
  return &can->base;
}

}  // namespace kova::runtime
