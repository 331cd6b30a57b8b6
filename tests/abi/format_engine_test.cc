// The module driven through the plain-C format engine of format_engine.c,
// whose format objects follow the documented shape and not kova/siblings.h:
// informats of every input and output kind while ripping, formats of both
// output kinds as a burner binds them and its value formatting runs them,
// format checks, and the release of every object. Each case runs with an
// engine tagged "ZRFM" and with one that is its own operation table.
#include <cstring>
#include <string>
#include <vector>

#include "src/host/siblings.h"
#include "tests/abi/format_engine.h"
#include "tests/support/ripper_fixture.h"
#include "tests/support/rows.h"

namespace kova::testing {
namespace {

using Rows = std::vector<std::string>;

class FormatEngineTest : public RipperTest, public ::testing::WithParamInterface<int32_t> {
 protected:
  // The sibling outlives the fixture's rippers and instances, which release
  // their engines and handles at tear-down.
  void SetUp() override {
    RipperTest::SetUp();
    testFormatSiblingInit(&sibling_, GetParam());
  }

  void name(KovaObject* table, KovaColumn* column, bool informat, std::u16string_view text) {
    if (informat) {
      setText(table, &column->informat, &column->informatLength, text);
    } else {
      setText(table, &column->format, &column->formatLength, text);
    }
  }

  // create, describe, hand the module this engine's handle, bind.
  KovaRipper* boundThroughEngine(KovaObject* table, uint32_t flags = 0) {
    KovaRipper* ripper = create(table, flags);
    EXPECT_NE(ripper, nullptr);
    if (!ripper || !describe(ripper)) return nullptr;
    ripper->formatExtension = &sibling_.handle;
    EXPECT_EQ(ripper->ops.bind(ripper), kStatusOk);
    return ripper;
  }

  static TestFormat* engineView(KovaRipper* ripper, int32_t column) {
    return reinterpret_cast<TestFormat*>(state(ripper, column).formatObject);
  }

  TestFormatSibling sibling_;
};

TEST_P(FormatEngineTest, InformatsOfEveryKindConvertFieldsWhileRipping) {
  KovaObject* table = newTable(kRecfmDelimited);
  name(table, addColumn(table, u"up", kTypeVarchar, 0, 16), true, u"UPCASE16.");
  name(table, addColumn(table, u"half", kTypeDouble), true, u"HALF8.2");
  name(table, addColumn(table, u"sum", kTypeDouble), true, u"BYTESUM4.");
  name(table, addColumn(table, u"low", kTypeVarchar, 0, 3), true, u"LOWBYTES.");
  KovaRipper* ripper = boundThroughEngine(table);
  ASSERT_NE(ripper, nullptr);
  EXPECT_EQ(sibling_.lastLookupKind, kFormatLookupInformat);
  ASSERT_EQ(sibling_.objectsLive, 4);
  // bind writes width and decimals into the first two fields.
  EXPECT_EQ(engineView(ripper, 1)->width, 8);
  EXPECT_EQ(engineView(ripper, 1)->decimals, 2);

  EXPECT_EQ(
      ripBlocks(ripper, {"abc,21,AB,XyZ\n", "d\xC3\xA9,-7,\xFF,QRST\n", ",x,,\n"}),
      (Rows{R"("ABC"|10.5|131|"xyz")", "\"D\xC3\xA9\"|-3.5|255|\"qrs\"", "NULL|NULL|NULL|NULL"}));
  // What the informats saw of their last fields, in characters or bytes.
  EXPECT_EQ(engineView(ripper, 0)->seenInputLength, 2);  // d, é
  EXPECT_EQ(engineView(ripper, 0)->seenCapacity, 16u);
  EXPECT_EQ(engineView(ripper, 1)->seenInputLength, 1);  // x: refused, the missing value
  EXPECT_EQ(engineView(ripper, 1)->seenDecimals, 2);
  EXPECT_EQ(engineView(ripper, 1)->seenCapacity, 8u);
  EXPECT_EQ(engineView(ripper, 2)->seenInputLength, 1);
  EXPECT_EQ(engineView(ripper, 3)->seenInputLength, 4);
  EXPECT_EQ(engineView(ripper, 3)->seenCapacity, 3u);  // QRST: three bytes fit

  destroy(ripper);
  EXPECT_EQ(sibling_.objectsLive, 0);
  EXPECT_EQ(sibling_.releases, 4);
  EXPECT_EQ(sibling_.enginesLive, 0);
  EXPECT_EQ(sibling_.handleReleases, 1);
}

TEST_P(FormatEngineTest, FormatsOfEveryKindAreBoundAndRunAsABurnerRunsThem) {
  KovaObject* table = newTable(kRecfmDelimited);
  name(table, addColumn(table, u"stars", kTypeDouble), false, u"STARS6.1");
  name(table, addColumn(table, u"raw", kTypeDouble), false, u"RAW4.");
  KovaRipper* burner = boundThroughEngine(table, kRipperOutput | kRipperRowImage);
  ASSERT_NE(burner, nullptr);
  EXPECT_EQ(sibling_.lastLookupKind, kFormatLookupFormat);
  ASSERT_EQ(sibling_.objectsLive, 2);
  EXPECT_EQ(engineView(burner, 0)->width, 6);
  EXPECT_EQ(engineView(burner, 0)->decimals, 1);
  EXPECT_EQ(engineView(burner, 1)->width, 4);

  // The value goes in by address, the text or bytes come back in the
  // caller's buffer, as the module's setters and the header's view put them.
  const double value = 1234.5;
  KovaFormatObject* stars = state(burner, 0).formatObject;
  ASSERT_EQ(stars->outputKind, kFormatKindWide);
  char16_t text[8] = {};
  ASSERT_TRUE(setFormatInput(stars, &value, sizeof value));
  setFormatOutput(stars, text, uint64_t(stars->width));
  ASSERT_EQ(stars->run(stars, 0), kStatusOk);
  EXPECT_EQ(std::u16string(text, stars->outputLength), u"**1234");
  EXPECT_EQ(engineView(burner, 0)->seenCapacity, 6u);

  KovaFormatObject* raw = state(burner, 1).formatObject;
  ASSERT_EQ(raw->outputKind, kFormatKindBytes);
  uint8_t bytes[8] = {};
  ASSERT_TRUE(setFormatInput(raw, &value, sizeof value));
  setFormatOutput(raw, bytes, sizeof bytes);
  ASSERT_EQ(raw->run(raw, 0), kStatusOk);
  ASSERT_EQ(raw->outputLength, 4u);
  EXPECT_EQ(std::memcmp(bytes, &value, 4), 0);

  destroy(burner);
  EXPECT_EQ(sibling_.objectsLive, 0);
  EXPECT_EQ(sibling_.releases, 2);
  EXPECT_EQ(sibling_.enginesLive, 0);
}

TEST_P(FormatEngineTest, FormatCheckReleasesEachObjectRightAway) {
  KovaObject* table = newTable(kRecfmDelimited);
  table->formatExtension = &sibling_.handle;
  auto check = [&](std::u16string_view name, int32_t informat) {
    return extension()->checkFormat(table, name.data(), int64_t(name.size()), informat);
  };
  EXPECT_EQ(check(u"STARS6.1", 0), kStatusOk);
  EXPECT_EQ(sibling_.lastLookupKind, kFormatLookupFormat);
  EXPECT_EQ(check(u"upcase.", 1), kStatusOk);
  EXPECT_EQ(sibling_.lastLookupKind, kFormatLookupInformat);
  EXPECT_EQ(check(u"STARS6.", 1), kStatusNotSupported);
  EXPECT_EQ(sibling_.objectsMade, 2);
  EXPECT_EQ(sibling_.objectsLive, 0);
  EXPECT_EQ(sibling_.releases, 2);
  EXPECT_EQ(sibling_.enginesLive, 1);  // the instance keeps its engine
}

INSTANTIATE_TEST_SUITE_P(TaggedAndPlainEngines, FormatEngineTest, ::testing::Values(1, 0));

// Lengths that do not fit the object's 32-bit fields are refused or cut
// where they are set, never wrapped.
TEST(FormatObjectLengths, TooLongInputsAreRefusedAndLargeCapacitiesCut) {
  KovaFormatObject object{};
  const char16_t text[] = u"12";
  ASSERT_TRUE(setFormatInput(&object, text, 2));
  EXPECT_FALSE(setFormatInput(&object, text + 1, uint64_t(INT32_MAX) + 1));
  EXPECT_EQ(object.input, text);
  EXPECT_EQ(object.inputLength, 2);
  EXPECT_TRUE(setFormatInput(&object, text, uint64_t(INT32_MAX)));
  EXPECT_EQ(object.inputLength, INT32_MAX);

  object.outputLength = 9;
  setFormatOutput(&object, nullptr, uint64_t(UINT32_MAX) + 5);
  EXPECT_EQ(object.outputCapacity, UINT32_MAX);
  EXPECT_EQ(object.outputLength, 0u);
  EXPECT_EQ(formatWidthOf(uint64_t(1) << 40), INT32_MAX);
  EXPECT_EQ(formatWidthOf(17), 17);
}

}  // namespace
}  // namespace kova::testing
