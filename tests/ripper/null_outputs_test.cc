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

// A negative length, or no bytes for a positive one, is a caller's fault:
// refused before anything is parsed, with no row handed back, and the ripper
// goes on with the next block as if the refused one had never come.
TEST_F(NullOutputsTest, EveryRecordFormatRefusesABlockItCannotRead) {
  std::vector<Case> all = cases();
  all.push_back({"clf",
                 [&] {
                   KovaObject* t = newTable(kRecfmClf, kEncodingUtf8);
                   addColumn(t, u"host", kTypeVarchar, 10);
                   return t;
                 },
                 "",
                 "h1 - - [x] \"r\" 200 1\n",
                 {"\"h1\""}});
  for (const Case& c : all) {
    SCOPED_TRACE(c.name);
    KovaRipper* ripper = bound(c.table());
    ASSERT_NE(ripper, nullptr);
    uint8_t* rows = nullptr;
    int32_t count = 7;
    const auto* some = reinterpret_cast<const uint8_t*>("1\n");
    EXPECT_EQ(ripper->ops.ripBlock(ripper, some, -1, &rows, &count), kStatusNotSupported);
    EXPECT_EQ(count, 0);
    count = 7;
    EXPECT_EQ(ripper->ops.ripBlock(ripper, nullptr, 2, &rows, &count), kStatusNotSupported);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(ripper->ops.ripBlock(ripper, nullptr, -1, nullptr, nullptr), kStatusNotSupported);
    const std::string input = c.first + c.second;
    count = 0;
    ASSERT_EQ(ripper->ops.ripBlock(ripper, reinterpret_cast<const uint8_t*>(input.data()),
                                   int64_t(input.size()), &rows, &count),
              kStatusOk);
    std::vector<std::string> got = rowsOf(ripper, rows, count);
    ASSERT_GE(got.size(), c.rows.size());
    EXPECT_EQ(std::vector<std::string>(got.end() - ptrdiff_t(c.rows.size()), got.end()), c.rows);
  }
}

}  // namespace
}  // namespace kova::testing
