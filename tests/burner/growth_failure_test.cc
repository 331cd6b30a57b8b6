// Each kind of field growing the output past what the first reservation of a
// call left: when that growth is refused the call ends with kStatusNoMemory,
// null outputs and the "resultMakeRoom" line, and the burner writes the same
// bytes once the memory is there again.
#include <gtest/gtest.h>

#include <functional>

#include "tests/burner/burner_fixture.h"

namespace kova::testing {
namespace {

class GrowthFailureTest : public BurnerTest {};

TEST_F(GrowthFailureTest, EveryKindOfFieldThatCannotGrowEndsTheCall) {
  struct Case {
    const char* name;
    uint32_t recfm;
    uint32_t flags;
    int rowCount;  // enough that the first reservation runs out
    std::function<void(KovaObject*)> columns;
    std::function<void(KovaRipper*, uint8_t*)> values;
  };
  const std::string longText(3000, 'x');
  const std::string endText(200, ';');
  const Case cases[] = {
      {"binary", kRecfmDelimited, 0, 1,
       [&](KovaObject* t) { addColumn(t, u"b", kTypeBinary, 0, 3000); },
       [&](KovaRipper* b, uint8_t* r) { setBytes(b, r, 0, longText); }},
      {"binary as Base64", kRecfmDelimited, kRipperBinaryAsBase64, 1,
       [&](KovaObject* t) { addColumn(t, u"b", kTypeBinary, 0, 3000); },
       [&](KovaRipper* b, uint8_t* r) { setBytes(b, r, 0, longText); }},
      {"decimal", kRecfmDelimited, 0, 300,
       [&](KovaObject* t) { addColumn(t, u"d", kTypeDecimal, 38, 2); },
       [&](KovaRipper* b, uint8_t* r) { setDecimal(b, r, 0, "-12345678901234.25", 38, 2); }},
      {"integer", kRecfmDelimited, 0, 300, [&](KovaObject* t) { addColumn(t, u"i", kTypeBigint); },
       [&](KovaRipper* b, uint8_t* r) { setValue<int64_t>(b, r, 0, -1234567890123); }},
      {"integer with a format", kRecfmDelimited, 0, 300,
       [&](KovaObject* t) {
         KovaColumn* c = addColumn(t, u"i", kTypeBigint);
         setText(t, &c->format, &c->formatLength, u"COMMA32.");
       },
       [&](KovaRipper* b, uint8_t* r) { setValue<int64_t>(b, r, 0, 1234567890123); }},
      {"record end", kRecfmDelimited, 0, 300,
       [&](KovaObject* t) {
         addColumn(t, u"i", kTypeInt);
         t->recordEndText = reinterpret_cast<const uint8_t*>(endText.data());
         t->recordEndTextLength = endText.size();
       },
       [&](KovaRipper* b, uint8_t* r) { setValue<int32_t>(b, r, 0, 7); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    KovaObject* table = newTable(c.recfm, kEncodingUtf8);
    c.columns(table);
    KovaRipper* b = burner(table, c.flags);
    ASSERT_NE(b, nullptr);
    auto r = rows(b, size_t(c.rowCount));
    for (int i = 0; i < c.rowCount; ++i) c.values(b, r.data() + uint64_t(i) * b->rowLength);
    // The bytes of a burner that never had to grow before.
    KovaRipper* reference = burner(table, c.flags);
    ASSERT_NE(reference, nullptr);
    const std::string expected = write(reference, r);
    ASSERT_FALSE(expected.empty());
    int refused = 0;
    for (uint64_t nth = 1; nth <= 8; ++nth) {
      diagnostics().clear();
      host().failAllocation(nth);
      KovaStatus status = 0xDEAD;
      const std::string out = write(b, r, &status);
      const bool fired = host().failureFired();
      host().clearFailure();
      if (!fired) {
        EXPECT_EQ(status, kStatusOk);
        EXPECT_EQ(out, expected);
        continue;
      }
      ++refused;
      EXPECT_EQ(status, kStatusNoMemory) << nth;
      EXPECT_TRUE(diagnostics().contains("[resultMakeRoom] : Failed to allocate memory", 4));
      // Nothing half-written is handed out later: the next call is whole.
      EXPECT_EQ(write(b, r), expected);
      destroy(b);
      b = burner(table, c.flags);
      ASSERT_NE(b, nullptr);
    }
    // The first reservation, then the field's own growth.
    EXPECT_GE(refused, 2);
  }
}

}  // namespace
}  // namespace kova::testing
