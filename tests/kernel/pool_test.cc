// Pools: zero fill, resize semantics, the account, failure injection.
#include <gtest/gtest.h>

#include <cstring>

#include "runtime/kernel/host.h"

namespace kova::runtime {
namespace {

class PoolTest : public ::testing::Test {
 protected:
  KovaPool* makePool() {
    KovaPoolOptions options{};
    return host_.kernel()->ops->createPool(host_.kernel(), &options, nullptr, "test pool");
  }
  Host host_;
};

bool allBytes(const void* block, size_t size, unsigned char value) {
  const auto* bytes = static_cast<const unsigned char*>(block);
  for (size_t i = 0; i < size; ++i) {
    if (bytes[i] != value) return false;
  }
  return true;
}

TEST_F(PoolTest, ZeroFillFlagClearsNewBlocksAndGrowth) {
  KovaPool* pool = makePool();
  ASSERT_NE(pool, nullptr);
  // Dirty some memory and give it back, so a recycled block would show.
  void* dirty = pool->ops->allocate(pool, 256, 0);
  std::memset(dirty, 0xAB, 256);
  pool->ops->free(pool, dirty);

  void* block = pool->ops->allocate(pool, 256, kPoolZeroFill);
  ASSERT_NE(block, nullptr);
  EXPECT_TRUE(allBytes(block, 256, 0));

  std::memset(block, 0x5A, 256);
  void* grown = pool->ops->resize(pool, block, 4096, kPoolZeroFill);
  ASSERT_NE(grown, nullptr);
  EXPECT_TRUE(allBytes(grown, 256, 0x5A)) << "old contents kept";
  EXPECT_TRUE(allBytes(static_cast<char*>(grown) + 256, 4096 - 256, 0)) << "growth cleared";
  pool->ops->destroyPool(pool);
}

TEST_F(PoolTest, ResizeKeepsContentsUnlessDiscardIsAsked) {
  KovaPool* pool = makePool();
  char* block = static_cast<char*>(pool->ops->allocate(pool, 16, 0));
  std::memcpy(block, "0123456789abcdef", 16);
  block = static_cast<char*>(pool->ops->resize(pool, block, 1 << 20, 0));
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(std::memcmp(block, "0123456789abcdef", 16), 0);
  block = static_cast<char*>(pool->ops->resize(pool, block, 8, 0));
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(std::memcmp(block, "01234567", 8), 0);

  // Discarding with zero fill gives an entirely clear block.
  std::memset(block, 0x77, 8);
  block = static_cast<char*>(pool->ops->resize(pool, block, 64, kPoolDiscard | kPoolZeroFill));
  ASSERT_NE(block, nullptr);
  EXPECT_TRUE(allBytes(block, 64, 0));
  EXPECT_EQ(host_.account().blocks, 1u);
  EXPECT_EQ(host_.account().bytes, 64u);
  pool->ops->destroyPool(pool);
}

TEST_F(PoolTest, ResizeOfNullAllocatesAndZeroSizesGiveDistinctBlocks) {
  KovaPool* pool = makePool();
  void* fresh = pool->ops->resize(pool, nullptr, 32, kPoolZeroFill);
  ASSERT_NE(fresh, nullptr);
  EXPECT_TRUE(allBytes(fresh, 32, 0));
  void* a = pool->ops->allocate(pool, 0, 0);
  void* b = pool->ops->allocate(pool, 0, 0);
  ASSERT_NE(a, nullptr);
  ASSERT_NE(b, nullptr);
  EXPECT_NE(a, b);
  // Shrinking to nothing keeps a valid block that can be freed.
  void* shrunk = pool->ops->resize(pool, fresh, 0, 0);
  ASSERT_NE(shrunk, nullptr);
  pool->ops->free(pool, shrunk);
  pool->ops->free(pool, nullptr);
  EXPECT_EQ(host_.account().blocks, 2u);
  pool->ops->destroyPool(pool);
}

TEST_F(PoolTest, AccountCountsLiveBlocksAndReturnsToZeroAfterDestroy) {
  KovaPool* first = makePool();
  KovaPool* second = makePool();
  EXPECT_EQ(host_.account().pools, 2u);
  void* kept = first->ops->allocate(first, 100, 0);
  void* freed = first->ops->allocate(first, 50, 0);
  second->ops->allocate(second, 7, 0);
  first->ops->free(first, freed);
  kept = first->ops->resize(first, kept, 300, 0);
  ASSERT_NE(kept, nullptr);
  Account account = host_.account();
  EXPECT_EQ(account.blocks, 2u);
  EXPECT_EQ(account.bytes, 307u);

  first->ops->destroyPool(first);
  EXPECT_EQ(host_.account().bytes, 7u);
  second->ops->destroyPool(second);
  EXPECT_TRUE(host_.account().empty());
}

TEST_F(PoolTest, HugeRequestsFailCleanly) {
  KovaPool* pool = makePool();
  EXPECT_EQ(pool->ops->allocate(pool, ~uint64_t{0}, 0), nullptr);
  void* block = pool->ops->allocate(pool, 8, 0);
  EXPECT_EQ(pool->ops->resize(pool, block, ~uint64_t{0} / 2, 0), nullptr);
  EXPECT_EQ(host_.account().bytes, 8u);
  pool->ops->destroyPool(pool);
}

TEST_F(PoolTest, InjectedFailureFiresOnceAtTheNthEvent) {
  KovaPool* pool = makePool();
  host_.failAllocation(3);
  EXPECT_NE(pool->ops->allocate(pool, 8, 0), nullptr);
  EXPECT_NE(pool->ops->allocate(pool, 8, 0), nullptr);
  EXPECT_FALSE(host_.failureFired());
  EXPECT_EQ(pool->ops->allocate(pool, 8, 0), nullptr);
  EXPECT_TRUE(host_.failureFired());
  EXPECT_NE(pool->ops->allocate(pool, 8, 0), nullptr);
  EXPECT_EQ(host_.account().blocks, 3u);
  pool->ops->destroyPool(pool);
  EXPECT_TRUE(host_.account().empty());
}

TEST_F(PoolTest, PersistentFailureKeepsFailingUntilCleared) {
  KovaPool* pool = makePool();
  host_.failAllocation(2, true);
  EXPECT_NE(pool->ops->allocate(pool, 8, 0), nullptr);
  EXPECT_EQ(pool->ops->allocate(pool, 8, 0), nullptr);
  EXPECT_EQ(pool->ops->resize(pool, nullptr, 8, 0), nullptr);
  KovaPoolOptions options{};
  EXPECT_EQ(host_.kernel()->ops->createPool(host_.kernel(), &options, nullptr, "x"), nullptr);
  host_.clearFailure();
  EXPECT_TRUE(host_.failureFired());
  EXPECT_NE(pool->ops->allocate(pool, 8, 0), nullptr);
  pool->ops->destroyPool(pool);
  EXPECT_TRUE(host_.account().empty());
}

TEST_F(PoolTest, FailedResizeLeavesTheOldBlockIntact) {
  KovaPool* pool = makePool();
  char* block = static_cast<char*>(pool->ops->allocate(pool, 4, 0));
  std::memcpy(block, "kova", 4);
  host_.failAllocation(1);
  EXPECT_EQ(pool->ops->resize(pool, block, 1 << 16, kPoolZeroFill), nullptr);
  EXPECT_EQ(std::memcmp(block, "kova", 4), 0);
  EXPECT_EQ(host_.account().bytes, 4u);
  pool->ops->free(pool, block);
  pool->ops->destroyPool(pool);
  EXPECT_TRUE(host_.account().empty());
}

TEST_F(PoolTest, EveryAllocationEventIsCounted) {
  uint64_t before = host_.allocationEvents();
  KovaPool* pool = makePool();
  void* block = pool->ops->allocate(pool, 8, 0);
  block = pool->ops->resize(pool, block, 16, 0);
  pool->ops->free(pool, block);
  KovaCanOptions canOptions{};
  KovaCan* can = host_.kernel()->ops->createResourceCan(host_.kernel(), &canOptions, nullptr, "c");
  EXPECT_EQ(host_.allocationEvents() - before, 4u);  // free is not an event
  can->ops->destroyCan(can);
  pool->ops->destroyPool(pool);
}

using PoolDeathTest = PoolTest;

TEST_F(PoolDeathTest, FreeingAForeignBlockStopsTheProgram) {
  KovaPool* mine = makePool();
  KovaPool* other = makePool();
  void* block = other->ops->allocate(other, 8, 0);
  EXPECT_DEATH(mine->ops->free(mine, block), "does not own it");
  EXPECT_DEATH(mine->ops->resize(mine, block, 16, 0), "does not own it");
  other->ops->free(other, block);
  EXPECT_DEATH(other->ops->free(other, block), "freed twice");
  mine->ops->destroyPool(mine);
  other->ops->destroyPool(other);
}

}  // namespace
}  // namespace kova::runtime
