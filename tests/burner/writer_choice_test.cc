// Which writer a burner gets, seen from what it writes: one row through every
// record format and mode, the slots a host must test for null, and the
// operations a burner does not have.
#include <gtest/gtest.h>

#include "tests/burner/burner_fixture.h"

namespace kova::testing {
namespace {

class WriterChoiceTest : public BurnerTest {
 protected:
  KovaRipper* writerOf(uint32_t recfm, uint32_t flags = 0) {
    KovaObject* table = newTable(recfm, kEncodingUtf8);
    table->reclen = 4;
    addColumn(table, u"a", kTypeInt, 0, 4);
    return burner(table, flags);
  }

  // One row holding 5 in column a, typed or as a row image.
  static std::vector<uint8_t> five(KovaRipper* b) {
    auto r = rows(b);
    if (b->rowImage) {
      const double v = 5;
      std::memcpy(r.data() + b->imageLayout[0].offset, &v, sizeof v);
    } else {
      setValue<int32_t>(b, r.data(), 0, 5);
    }
    return r;
  }
};

TEST_F(WriterChoiceTest, EachRecordFormatAndModeWritesItsOwnBytes) {
  const std::string record("\x05\x00\x00\x00", 4);
  struct Case {
    const char* name;
    uint32_t recfm;
    uint32_t flags;
    std::string bytes;
  };
  const Case cases[] = {
      {"delimited", kRecfmDelimited, 0, "5\n"},
      {"delimited row image", kRecfmDelimited, kRipperRowImage, "5\n"},
      {"fixed", kRecfmFixed, 0, record},
      {"native", kRecfmNative, 0, record},
      // The record (13 bytes in all): its length, then the value as VARBIN lays it out.
      {"varbin", kRecfmVarbin, 0, std::string("\x0d\0\0\0\x01\0\0\0\x04", 9) + record},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    KovaRipper* b = writerOf(c.recfm, c.flags);
    ASSERT_NE(b, nullptr);
    KovaStatus status = 0xDEAD;
    EXPECT_EQ(write(b, five(b), &status), c.bytes);
    EXPECT_EQ(status, kStatusOk);
    // A burner parses nothing.
    uint8_t* out = nullptr;
    int32_t count = -1;
    const uint8_t byte = '5';
    EXPECT_EQ(b->ops.ripBlock(b, &byte, 1, &out, &count), kStatusNotSupported);
  }
}

TEST_F(WriterChoiceTest, OnlyVarbinWritesIntoTheCallersBuffer) {
  KovaRipper* varbin = writerOf(kRecfmVarbin);
  KovaRipper* fixed = writerOf(kRecfmFixed);
  ASSERT_TRUE(varbin && fixed);
  // Hosts look for a null slot before calling it.
  EXPECT_EQ(fixed->ops.writeRowsInto, nullptr);
  ASSERT_NE(varbin->ops.writeRowsInto, nullptr);
  const auto r = five(varbin);
  uint8_t into[16] = {};
  uint64_t length = 0;
  ASSERT_EQ(varbin->ops.writeRowsInto(varbin, r.data(), 0, 1, into, sizeof into, &length),
            kStatusOk);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(into), length), write(varbin, r));
}

}  // namespace
}  // namespace kova::testing
