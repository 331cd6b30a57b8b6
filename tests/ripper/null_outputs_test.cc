// A host that does not want a block's rows may pass null for both outputs of
// ripBlock and flushPending: the block is parsed all the same (a record it
// leaves open is completed by the next block), nothing is written through
// the null pointers, and the next call hands out only its own rows.
#include <gtest/gtest.h>

#include <functional>

#include "tests/support/ripper_fixture.h"
#include "tests/support/rows.h"

namespace kova::testing {
namespace {

struct Case;

class NullOutputsTest : public RipperTest {
 protected:
  std::vector<Case> cases();
};

std::vector<std::string> rowsOf(KovaRipper* ripper, uint8_t* rows, int32_t count) {
  std::vector<std::string> out;
  for (int32_t i = 0; i < count; ++i)
    out.push_back(renderRow(ripper, rows + i * ripper->rowLength));
  return out;
}

struct Case {
  const char* name;
  std::function<KovaObject*()> table;
  std::string first, second;      // first is ripped without outputs
  std::vector<std::string> rows;  // of the second block
};

std::vector<Case> NullOutputsTest::cases() {
  const std::string varbinSeven("\x0d\0\0\0\x01\0\0\0\x04\x07\0\0\0", 13);
  const std::string varbinEight("\x0d\0\0\0\x01\0\0\0\x04\x08\0\0\0", 13);
  return {
      {"delimited",
       [&] {
         KovaObject* t = newTable(kRecfmDelimited, kEncodingUtf8);
         addColumn(t, u"a", kTypeInt);
         return t;
       },
       "1\n2\n3",
       "4\n5\n",
       {"34", "5"}},
      {"qualified",
       [&] {
         KovaObject* t = newTable(kRecfmDelimited, kEncodingUtf8);
         t->textqual = '"';
         addColumn(t, u"a", kTypeVarchar, 10);
         return t;
       },
       "\"x\"\n\"y",
       "z\"\n",
       {"\"yz\""}},
      {"transcoded",
       [&] {
         KovaObject* t = newTable(kRecfmDelimited, 1);
         addColumn(t, u"a", kTypeVarchar, 10);
         return t;
       },
       "a\xe9\nb",
       "\xe9\n",
       {"\"b\xe9\""}},  // rows keep the table's encoding
      {"fixed",
       [&] {
         KovaObject* t = newTable(kRecfmFixed, kEncodingUtf8);
         t->reclen = 4;
         addColumn(t, u"a", kTypeInt, 0, 4);
         return t;
       },
       std::string("\x01\0\0\0\x02\0", 6),
       std::string("\0\0", 2),
       {"2"}},
      {"varbin",
       [&] {
         KovaObject* t = newTable(kRecfmVarbin, kEncodingUtf8);
         addColumn(t, u"a", kTypeInt, 0, 4);
         return t;
       },
       varbinSeven,
       varbinEight,
       {"8"}},
  };
}

TEST_F(NullOutputsTest, EveryRecordFormatParsesABlockWithoutOutputs) {
  for (const Case& c : cases()) {
    SCOPED_TRACE(c.name);
    KovaRipper* ripper = bound(c.table());
    ASSERT_NE(ripper, nullptr);
    EXPECT_EQ(ripper->ops.ripBlock(ripper, reinterpret_cast<const uint8_t*>(c.first.data()),
                                   int64_t(c.first.size()), nullptr, nullptr),
              kStatusOk);
    uint8_t* rows = nullptr;
    int32_t count = 0;  // no estimate
    ASSERT_EQ(ripper->ops.ripBlock(ripper, reinterpret_cast<const uint8_t*>(c.second.data()),
                                   int64_t(c.second.size()), &rows, &count),
              kStatusOk);
    EXPECT_EQ(rowsOf(ripper, rows, count), c.rows);
    EXPECT_EQ(ripper->ops.flushPending(ripper, nullptr, nullptr), kStatusOk);
  }
}

}  // namespace
}  // namespace kova::testing
