// Resource cans: release order, both kinds of releaser, the account.
#include <gtest/gtest.h>

#include <vector>

#include "runtime/kernel/host.h"

namespace kova::runtime {
namespace {

std::vector<int>* gReleased = nullptr;

// A host object that releases itself through the first slot of its table.
struct SelfReleasing {
  const KovaSelfReleasingOps* ops;
  int id;
};
void releaseSelf(void* object) { gReleased->push_back(static_cast<SelfReleasing*>(object)->id); }
const KovaSelfReleasingOps kSelfOps = {releaseSelf};

struct FormatThing {
  int id;
};
void releaseFormat(void* object) { gReleased->push_back(-static_cast<FormatThing*>(object)->id); }

class CanTest : public ::testing::Test {
 protected:
  void SetUp() override { gReleased = &released_; }
  void TearDown() override { gReleased = nullptr; }
  KovaCan* makeCan() {
    KovaCanOptions options{};
    options.kind = 3;
    options.mode = 2;
    return host_.kernel()->ops->createResourceCan(host_.kernel(), &options, nullptr, "riprcan");
  }
  Host host_;
  std::vector<int> released_;
};

TEST_F(CanTest, DestroyReleasesEveryObjectNewestFirstByKind) {
  KovaCan* can = makeCan();
  ASSERT_NE(can, nullptr);
  EXPECT_EQ(host_.account().cans, 1u);
  ASSERT_EQ(can->ops->canSetReleaser(can, kCanKindHost, kCanReleaseSelf), kStatusOk);
  ASSERT_EQ(
      can->ops->canSetReleaser(can, kCanKindFormat, reinterpret_cast<uintptr_t>(&releaseFormat)),
      kStatusOk);
  SelfReleasing a{&kSelfOps, 1}, b{&kSelfOps, 2};
  FormatThing f{3}, g{4};
  EXPECT_EQ(can->ops->canAdd(can, 0, kCanKindHost, &a, 0, 0, 0, 0), kStatusOk);
  EXPECT_EQ(can->ops->canAdd(can, 0, kCanKindFormat, &f, 0, 0, 0, 0), kStatusOk);
  EXPECT_EQ(can->ops->canAdd(can, 0, kCanKindHost, &b, 0, 0, 0, 0), kStatusOk);
  EXPECT_EQ(can->ops->canAdd(can, 0, kCanKindFormat, &g, 0, 0, 0, 0), kStatusOk);
  EXPECT_TRUE(released_.empty());
  can->ops->destroyCan(can);
  EXPECT_EQ(released_, (std::vector<int>{-4, 2, -3, 1}));
  EXPECT_TRUE(host_.account().empty());
}

TEST_F(CanTest, HostObjectsReleaseThemselvesWithoutAnExplicitReleaser) {
  KovaCan* can = makeCan();
  SelfReleasing a{&kSelfOps, 7};
  ASSERT_EQ(can->ops->canAdd(can, 0, kCanKindHost, &a, 0, 0, 0, 0), kStatusOk);
  can->ops->destroyCan(can);
  EXPECT_EQ(released_, std::vector<int>{7});
}

TEST_F(CanTest, RefusesBadRegistrations) {
  KovaCan* can = makeCan();
  FormatThing f{1};
  EXPECT_NE(can->ops->canAdd(can, 0, 2, &f, 0, 0, 0, 0), kStatusOk);
  EXPECT_NE(can->ops->canAdd(can, 0, kCanKindFormat, nullptr, 0, 0, 0, 0), kStatusOk);
  EXPECT_NE(
      can->ops->canSetReleaser(can, kCanKindHost, reinterpret_cast<uintptr_t>(&releaseFormat)),
      kStatusOk);
  EXPECT_NE(can->ops->canSetReleaser(can, kCanKindFormat, kCanReleaseSelf), kStatusOk);
  EXPECT_NE(can->ops->canSetReleaser(can, kCanKindFormat, 0), kStatusOk);
  EXPECT_NE(can->ops->canSetReleaser(can, 5, kCanReleaseSelf), kStatusOk);
  can->ops->destroyCan(can);
  EXPECT_TRUE(released_.empty());
}

TEST_F(CanTest, CreationIsAnAllocationEventThatCanFail) {
  host_.failAllocation(1);
  EXPECT_EQ(makeCan(), nullptr);
  EXPECT_TRUE(host_.failureFired());
  EXPECT_TRUE(host_.account().empty());
  KovaCan* can = makeCan();
  ASSERT_NE(can, nullptr);
  can->ops->destroyCan(can);
}

TEST_F(CanTest, AddingAnObjectIsAnAllocationEventThatCanFail) {
  KovaCan* can = makeCan();
  ASSERT_NE(can, nullptr);
  ASSERT_EQ(
      can->ops->canSetReleaser(can, kCanKindFormat, reinterpret_cast<uintptr_t>(&releaseFormat)),
      kStatusOk);
  FormatThing refused{1};
  FormatThing kept{2};
  host_.failAllocation(1);
  EXPECT_EQ(can->ops->canAdd(can, 0, kCanKindFormat, &refused, 0, 0, 0, 0), kStatusNoMemory);
  EXPECT_TRUE(host_.failureFired());
  EXPECT_EQ(can->ops->canAdd(can, 0, kCanKindFormat, &kept, 0, 0, 0, 0), kStatusOk);
  can->ops->destroyCan(can);
  // The refused object was never the can's to release.
  EXPECT_EQ(released_, std::vector<int>{-2});
}

}  // namespace
}  // namespace kova::runtime
