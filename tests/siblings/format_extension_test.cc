// The format engine sibling: handle, engine, lookups by name and kind, and the
// lifetime of what it makes.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "runtime/format/format_names.h"
#include "runtime/kernel/host.h"
#include "tests/siblings/sibling_test_util.h"

namespace kova::runtime {
namespace {

class FormatEngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    handle_ = loadSibling(host_, u"zrefmt");
    ASSERT_NE(handle_, nullptr);
    engine_ = handle_->ops->createEngine(handle_);
    ASSERT_NE(engine_, nullptr);
  }
  void TearDown() override {
    if (engine_) handle_->ops->destroyEngine(engine_);
    if (handle_) handle_->ops->releaseExtension(handle_);
    EXPECT_TRUE(host_.account().empty());
  }

  // Goes through the table behind the tag, as the module does.
  KovaFormatObject* lookup(std::u16string_view name, int32_t kind) {
    return engine_->ops->lookup(engine_, name.data(), static_cast<int64_t>(name.size()), nullptr,
                                kind, 0);
  }
  bool found(std::u16string_view name, int32_t kind) {
    KovaFormatObject* object = lookup(name, kind);
    if (!object) return false;
    object->release(object);
    return true;
  }

  Host host_;
  KovaExtensionHandle* handle_ = nullptr;
  KovaFormatEngine* engine_ = nullptr;
};

TEST_F(FormatEngineTest, EngineIsTaggedAndHandleMakesNoPlainObjects) {
  EXPECT_EQ(std::memcmp(engine_->tag, u"ZRFM", 8), 0);
  EXPECT_NE(engine_->ops, nullptr);
  KovaXmlConfig config{};
  EXPECT_EQ(handle_->ops->createObject(handle_, &config, nullptr, "anything"), nullptr);
  EXPECT_EQ(host_.account().objects, 2u);  // the handle and the engine
}

TEST_F(FormatEngineTest, EveryListedNameIsFoundOnExactlyItsSides) {
  ASSERT_EQ(formatEntries().size(), 17u);
  for (const FormatEntry& entry : formatEntries()) {
    SCOPED_TRACE(std::string(entry.name.begin(), entry.name.end()));
    EXPECT_EQ(found(entry.name, kFormatLookupFormat), entry.format.present);
    EXPECT_EQ(found(entry.name, kFormatLookupInformat), entry.informat.present);
    EXPECT_TRUE(entry.format.present || entry.informat.present);
  }
}

TEST_F(FormatEngineTest, NamesAreFoundWithoutRegardToCase) {
  EXPECT_TRUE(found(u"yymmdd", kFormatLookupFormat));
  EXPECT_TRUE(found(u"YyMmDd", kFormatLookupInformat));
  EXPECT_TRUE(found(u"$char", kFormatLookupInformat));
  EXPECT_TRUE(found(u"anydtdtm", kFormatLookupInformat));
  EXPECT_TRUE(found(u"ieeer", kFormatLookupInformat));
  EXPECT_TRUE(formatKnown(u"best", kFormatLookupFormat));
}

TEST_F(FormatEngineTest, SidesFollowWhatTheNameConverts) {
  // Reading-only names have no format side.
  EXPECT_FALSE(found(u"ANYDTDTE", kFormatLookupFormat));
  EXPECT_FALSE(found(u"ANYDTTME", kFormatLookupFormat));
  EXPECT_FALSE(found(u"ANYDTDTM", kFormatLookupFormat));
  // The names binding picks by default exist on the side it asks for.
  EXPECT_TRUE(found(u"ANYDTDTE", kFormatLookupInformat));
  EXPECT_TRUE(found(u"YYMMDD", kFormatLookupFormat));
  EXPECT_TRUE(found(u"TIME", kFormatLookupFormat));
  EXPECT_TRUE(found(u"IEEE", kFormatLookupInformat));
  EXPECT_TRUE(found(u"F", kFormatLookupFormat));
  EXPECT_TRUE(found(u"$", kFormatLookupInformat));
}

TEST_F(FormatEngineTest, UnknownNamesKindsAndMalformedRequestsFindNothing) {
  for (std::u16string_view name : {u"", u"FF", u"DATE9.", u"DATE9", u"$CHAR20.", u" F", u"F ",
                                   u"Ｆ", u"YYMMDDX", u"BESTBESTBESTBESTBEST", u"ANYDTDT"}) {
    EXPECT_FALSE(found(name, kFormatLookupFormat));
    EXPECT_FALSE(found(name, kFormatLookupInformat));
  }
  EXPECT_FALSE(found(u"F", 0));
  EXPECT_FALSE(found(u"F", 3));
  EXPECT_FALSE(found(u"F", -1));
  EXPECT_EQ(engine_->ops->lookup(engine_, nullptr, 1, nullptr, kFormatLookupFormat, 0), nullptr);
  EXPECT_EQ(engine_->ops->lookup(engine_, u"F", -1, nullptr, kFormatLookupFormat, 0), nullptr);
  // The length counts: only the first character is looked at here.
  EXPECT_TRUE(found(std::u16string_view(u"FX", 1), kFormatLookupFormat));
  EXPECT_EQ(host_.account().objects, 2u);
}

TEST_F(FormatEngineTest, ObjectsCarryTheKindsOfTheirSideAndEveryOneConverts) {
  KovaFormatObject* informat = lookup(u"DATE", kFormatLookupInformat);
  ASSERT_NE(informat, nullptr);
  EXPECT_EQ(informat->inputKind, kFormatKindWide);
  EXPECT_EQ(informat->outputKind, kFormatKindDouble);
  EXPECT_EQ(informat->width, 0);
  EXPECT_EQ(informat->decimals, 0);
  ASSERT_NE(informat->run, nullptr);
  // Nowhere to put the value: refused, and nothing produced.
  informat->outputLength = 77;
  EXPECT_EQ(informat->run(informat, 0), kStatusNotSupported);
  EXPECT_EQ(informat->outputLength, 0);
  for (const FormatEntry& entry : formatEntries()) {
    EXPECT_TRUE(!entry.format.present || entry.format.run);
    EXPECT_TRUE(!entry.informat.present || entry.informat.run);
  }

  KovaFormatObject* format = lookup(u"IEEE", kFormatLookupFormat);
  ASSERT_NE(format, nullptr);
  EXPECT_EQ(format->inputKind, kFormatKindDouble);
  EXPECT_EQ(format->outputKind, kFormatKindBytes);

  KovaFormatObject* text = lookup(u"$CHAR", kFormatLookupInformat);
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(text->inputKind, kFormatKindWide);
  EXPECT_EQ(text->outputKind, kFormatKindWide);

  EXPECT_EQ(host_.account().objects, 5u);
  for (KovaFormatObject* object : {informat, format, text}) object->release(object);
  EXPECT_EQ(host_.account().objects, 2u);
}

TEST_F(FormatEngineTest, FormatObjectsOutliveTheirEngine) {
  KovaFormatObject* object = lookup(u"COMMA", kFormatLookupFormat);
  ASSERT_NE(object, nullptr);
  handle_->ops->destroyEngine(engine_);
  engine_ = nullptr;
  handle_->ops->releaseExtension(handle_);
  handle_ = nullptr;
  object->width = 12;
  object->decimals = 2;
  const double value = 1234.5;
  char16_t field[12];
  object->input = &value;
  object->output = field;
  object->outputCapacity = 12;
  EXPECT_EQ(object->run(object, 0), kStatusOk);
  EXPECT_EQ(std::u16string_view(field, static_cast<size_t>(object->outputLength)), u"    1,234.50");
  object->release(object);
}

}  // namespace
}  // namespace kova::runtime
