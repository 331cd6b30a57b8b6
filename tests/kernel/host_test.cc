// The kernel handle: options, extension loading, the way back to the Host.
#include <gtest/gtest.h>

#include <string>

#include "kova/siblings.h"
#include "runtime/kernel/host.h"

namespace kova::runtime {
namespace {

KovaStatus readOption(Host& host, std::u16string_view key, int64_t* value, int64_t* size,
                      int32_t type = kOptionTypeInteger) {
  return host.kernel()->ops->getOption(host.kernel(), key.data(), static_cast<int32_t>(key.size()),
                                       type, value, size);
}

TEST(HostTest, KernelLeadsBackToItsHost) {
  Host host;
  EXPECT_EQ(Host::fromKernel(host.kernel()), &host);
  KovaKernel stranger{};
  EXPECT_EQ(Host::fromKernel(&stranger), nullptr);
  EXPECT_EQ(Host::fromKernel(nullptr), nullptr);
}

TEST(HostTest, IntegerOptionsAreReadBackWithTheirSize) {
  Host host;
  host.setOption(u"ZR_NAME_YEARCUTOFF", 1940);
  int64_t value = 0;
  int64_t size = 8;
  ASSERT_EQ(readOption(host, u"ZR_NAME_YEARCUTOFF", &value, &size), kStatusOk);
  EXPECT_EQ(value, 1940);
  EXPECT_EQ(size, 8);

  host.setOption(u"ZR_NAME_YEARCUTOFF", -5);
  size = 16;
  ASSERT_EQ(readOption(host, u"ZR_NAME_YEARCUTOFF", &value, &size), kStatusOk);
  EXPECT_EQ(value, -5);
  EXPECT_EQ(size, 8);

  // The key is matched on its given length only.
  const char16_t* longer = u"ZR_NAME_YEARCUTOFF_AND_MORE";
  size = 8;
  EXPECT_EQ(
      host.kernel()->ops->getOption(host.kernel(), longer, 18, kOptionTypeInteger, &value, &size),
      kStatusOk);
}

TEST(HostTest, OptionLookupFailsWithoutTouchingTheValue) {
  Host host;
  host.setOption(u"ZRNLS.KPA_SESSION_CEI", 20);
  int64_t value = 99;
  int64_t size = 8;
  EXPECT_NE(readOption(host, u"ZRNLS.KPA_SESSION", &value, &size), kStatusOk);
  EXPECT_NE(readOption(host, u"ZRNLS.KPA_SESSION_CEI", &value, &size, 1), kStatusOk);
  size = 4;
  EXPECT_NE(readOption(host, u"ZRNLS.KPA_SESSION_CEI", &value, &size), kStatusOk);
  EXPECT_EQ(value, 99);
  host.unsetOption(u"ZRNLS.KPA_SESSION_CEI");
  size = 8;
  EXPECT_NE(readOption(host, u"ZRNLS.KPA_SESSION_CEI", &value, &size), kStatusOk);
  EXPECT_NE(readOption(host, u"ZRNLS.KPA_SESSION_CEI", &value, nullptr), kStatusOk);
}

TEST(HostTest, UnknownOrBlockedExtensionsDoNotLoad) {
  Host host;
  auto load = [&](std::u16string_view name) {
    return host.kernel()->ops->loadExtension(host.kernel(), name.data(),
                                             static_cast<int32_t>(name.size()), nullptr);
  };
  EXPECT_EQ(load(u"zrenothing"), nullptr);
  EXPECT_EQ(host.kernel()->ops->loadExtension(host.kernel(), nullptr, 6, nullptr), nullptr);

  uint64_t before = host.allocationEvents();
  host.setExtensionLoadable(u"zrexml", false);
  EXPECT_FALSE(host.extensionLoadable(u"zrexml"));
  EXPECT_EQ(load(u"zrexml"), nullptr);
  EXPECT_EQ(host.allocationEvents(), before) << "a blocked load allocates nothing";
  host.setExtensionLoadable(u"zrexml", true);
  EXPECT_TRUE(host.extensionLoadable(u"zrexml"));

  // A known sibling counts as an allocation event, and an injected failure stops it.
  host.failAllocation(1);
  EXPECT_EQ(load(u"zreavl"), nullptr);
  EXPECT_TRUE(host.failureFired());
  EXPECT_EQ(host.allocationEvents(), before + 1);
}

TEST(HostTest, LoadedSiblingsReleaseThroughTheirHandle) {
  Host host;
  for (std::u16string_view name : {u"zrexml", u"zreavl", u"zrefmt"}) {
    KovaExtensionHandle* handle = host.kernel()->ops->loadExtension(
        host.kernel(), name.data(), static_cast<int32_t>(name.size()), nullptr);
    if (!handle) continue;  // a sibling still being built may not load yet
    handle->ops->releaseExtension(handle);
  }
  EXPECT_TRUE(host.account().empty());
}

}  // namespace
}  // namespace kova::runtime
