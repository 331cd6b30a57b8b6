// What every sibling shares: each creation fails cleanly when the host refuses
// it, and everything made is released through a resource can the way the
// module registers it.
#include <gtest/gtest.h>

#include "tests/siblings/sibling_test_util.h"
#include "tests/siblings/xml_test_util.h"
#include "tests/support/module_fixture.h"

namespace kova::runtime {
namespace {

using kova::testing::forEachAllocationFailure;

// Everything the three siblings make, in the order the module makes it;
// each step needs the one before. True when all of it was made.
bool makeEverything(Host& host) {
  KovaExtensionHandle* xml = loadSibling(host, u"zrexml");
  KovaExtensionHandle* tree = loadSibling(host, u"zreavl");
  KovaExtensionHandle* format = loadSibling(host, u"zrefmt");
  KovaXmlConfig escaperConfig{};
  escaperConfig.inputEncoding = kEncodingWide;
  void* escaper =
      xml ? xml->ops->createObject(xml, &escaperConfig, nullptr, kXmlEscaperName) : nullptr;
  XmlRecorder recorder;
  KovaXmlObject* parser = xml ? makeParser(xml, recorder) : nullptr;
  KovaTreeConfig treeConfig{{1, 16, 14, 1, 0, 0, 0, 0}};
  void* avl = tree ? tree->ops->createObject(tree, &treeConfig, nullptr, "tag avl") : nullptr;
  KovaFormatEngine* engine = format ? format->ops->createEngine(format) : nullptr;
  KovaFormatObject* informat =
      engine ? engine->ops->lookup(engine, u"ANYDTDTE", 8, nullptr, kFormatLookupInformat, 0)
             : nullptr;
  bool all = escaper && parser && avl && informat;

  if (informat) informat->release(informat);
  if (engine) format->ops->destroyEngine(engine);
  if (avl) static_cast<KovaTree*>(avl)->ops->destroyObject(static_cast<KovaTree*>(avl));
  if (parser) parser->ops->destroyObject(parser);
  if (escaper) {
    static_cast<KovaXmlObject*>(escaper)->ops->destroyObject(static_cast<KovaXmlObject*>(escaper));
  }
  for (KovaExtensionHandle* handle : {format, tree, xml}) {
    if (handle) handle->ops->releaseExtension(handle);
  }
  return all;
}

TEST(SiblingLifetime, EachRefusedAllocationGivesNullAndLeavesNothingAlive) {
  for (bool persistent : {false, true}) {
    Host host;
    int runs = forEachAllocationFailure(
        host,
        [&](int nth) {
          bool all = makeEverything(host);
          EXPECT_NE(all, host.failureFired()) << "failing event " << nth;
        },
        persistent);
    EXPECT_EQ(runs, 9);  // three handles, five objects, then a clean run
    EXPECT_TRUE(host.account().empty());
  }
}

void releaseFormatObject(void* object) {
  auto* format = static_cast<KovaFormatObject*>(object);
  if (format->release) format->release(format);
}

TEST(SiblingLifetime, ResourceCanReleasesHandlesAndObjectsThroughTheirFirstSlot) {
  Host host;
  KovaKernel* kernel = host.kernel();
  KovaCanOptions options{3, 0, 0, 2, {0, 0}};
  KovaCan* can = kernel->ops->createResourceCan(kernel, &options, nullptr, "riprcan");
  ASSERT_NE(can, nullptr);
  ASSERT_EQ(can->ops->canSetReleaser(can, kCanKindHost, kCanReleaseSelf), kStatusOk);
  ASSERT_EQ(can->ops->canSetReleaser(can, kCanKindFormat,
                                     reinterpret_cast<uintptr_t>(&releaseFormatObject)),
            kStatusOk);
  auto add = [&](uint32_t kind, void* object) {
    ASSERT_NE(object, nullptr);
    ASSERT_EQ(can->ops->canAdd(can, 0, kind, object, 0, 0, 0, 0), kStatusOk);
  };

  KovaExtensionHandle* xml = loadSibling(host, u"zrexml");
  KovaExtensionHandle* tree = loadSibling(host, u"zreavl");
  KovaExtensionHandle* format = loadSibling(host, u"zrefmt");
  add(kCanKindHost, xml);
  add(kCanKindHost, tree);
  XmlRecorder recorder;
  add(kCanKindHost, makeParser(xml, recorder));
  KovaTreeConfig treeConfig{{1, 16, 14, 1, 0, 0, 0, 0}};
  add(kCanKindHost, tree->ops->createObject(tree, &treeConfig, nullptr, "tag avl"));
  KovaFormatEngine* engine = format->ops->createEngine(format);
  ASSERT_NE(engine, nullptr);
  add(kCanKindFormat, engine->ops->lookup(engine, u"time", 4, nullptr, kFormatLookupFormat, 0));
  // The engine and its handle are released by their owner, before the can.
  format->ops->destroyEngine(engine);
  format->ops->releaseExtension(format);

  EXPECT_EQ(host.account().objects, 5u);
  can->ops->destroyCan(can);
  EXPECT_TRUE(host.account().empty());
}

}  // namespace
}  // namespace kova::runtime
