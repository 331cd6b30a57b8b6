// Pool blocks come from malloc; each pool keeps a map from block to size so it
// can free everything at once, keep the Host's account and refuse blocks that
// are not its own.
#include "runtime/kernel/pool.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <unordered_map>

#include "runtime/kernel/host.h"

namespace kova::runtime {
namespace {

// Sizes above this are refused outright rather than handed to malloc, so the
// account's byte count cannot overflow.
constexpr uint64_t kLargestBlock = uint64_t{1} << 48;

struct Pool {
  KovaPool base;  // first: KovaPool* and Pool* are the same address
  Host* host;
  std::string name;
  std::unordered_map<void*, uint64_t> blocks;
};

Pool* self(KovaPool* pool) { return reinterpret_cast<Pool*>(pool); }

[[noreturn]] void foreignBlock(Pool* pool, const char* operation, void* block) {
  std::fprintf(stderr,
               "kova host: fatal: %s of block %p in pool \"%s\", which does not own it "
               "(freed twice, or from another pool)\n",
               operation, block, pool->name.c_str());
  std::abort();
}

// malloc never gives the same address to two live blocks, even for size 0
// when asked for at least one byte.
void* rawAllocate(uint64_t size) { return std::malloc(size == 0 ? 1 : static_cast<size_t>(size)); }

void* poolAllocate(KovaPool* pool, uint64_t size, uint32_t flags) {
  Pool* p = self(pool);
  if (!p->host->consumeAllocation() || size > kLargestBlock) return nullptr;
  void* block = rawAllocate(size);
  if (!block) return nullptr;
  try {
    p->blocks.emplace(block, size);
  } catch (const std::bad_alloc&) {
    std::free(block);
    return nullptr;
  }
  if (flags & kPoolZeroFill) std::memset(block, 0, static_cast<size_t>(size));
  p->host->trackBlocks(1, static_cast<int64_t>(size));
  return block;
}

void* poolResize(KovaPool* pool, void* block, uint64_t size, uint32_t flags) {
  Pool* p = self(pool);
  if (!block) return poolAllocate(pool, size, flags);
  auto it = p->blocks.find(block);
  if (it == p->blocks.end()) foreignBlock(p, "resize", block);
  if (!p->host->consumeAllocation() || size > kLargestBlock) return nullptr;
  uint64_t oldSize = it->second;
  void* moved;
  if (flags & kPoolDiscard) {
    // The old contents are not wanted: a fresh block, then let the old one go.
    moved = rawAllocate(size);
    if (!moved) return nullptr;
    if (flags & kPoolZeroFill) std::memset(moved, 0, static_cast<size_t>(size));
    std::free(block);
  } else {
    moved = std::realloc(block, size == 0 ? 1 : static_cast<size_t>(size));
    if (!moved) return nullptr;  // realloc leaves the old block untouched
    if ((flags & kPoolZeroFill) && size > oldSize) {
      std::memset(static_cast<char*>(moved) + oldSize, 0, static_cast<size_t>(size - oldSize));
    }
  }
  if (moved == block) {
    it->second = size;
  } else {
    p->blocks.erase(it);
    // The erase just released a node, so this insertion rarely needs fresh
    // memory; if it does fail, stop rather than lose track of a live block.
    try {
      p->blocks.emplace(moved, size);
    } catch (const std::bad_alloc&) {
      std::fprintf(stderr, "kova host: fatal: out of memory tracking a pool block\n");
      std::abort();
    }
  }
  p->host->trackBlocks(0, static_cast<int64_t>(size) - static_cast<int64_t>(oldSize));
  return moved;
}

void poolFree(KovaPool* pool, void* block) {
  if (!block) return;
  Pool* p = self(pool);
  auto it = p->blocks.find(block);
  if (it == p->blocks.end()) foreignBlock(p, "free", block);
  p->host->trackBlocks(-1, -static_cast<int64_t>(it->second));
  p->blocks.erase(it);
  std::free(block);
}

void poolDestroy(KovaPool* pool) {
  if (!pool) return;
  Pool* p = self(pool);
  int64_t bytes = 0;
  for (auto& [block, size] : p->blocks) {
    bytes += static_cast<int64_t>(size);
    std::free(block);
  }
  p->host->trackBlocks(-static_cast<int64_t>(p->blocks.size()), -bytes);
  p->host->trackPools(-1);
  delete p;
}

const KovaPoolOps kPoolOps = {poolAllocate, poolResize, poolFree, poolDestroy};

}  // namespace

KovaPool* newPool(Host& host, const char* name) {
  Pool* pool = new (std::nothrow) Pool{{&kPoolOps}, &host, {}, {}};
  if (!pool) return nullptr;
  try {
    pool->name = name ? name : "";
  } catch (const std::bad_alloc&) {
    delete pool;
    return nullptr;
  }
  host.trackPools(1);
  return &pool->base;
}

}  // namespace kova::runtime
