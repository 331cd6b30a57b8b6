#include "tests/json/json_fixture.h"

#include <gtest/gtest.h>

#include "tests/support/module_fixture.h"

namespace kova::testing {

KovaObject* JsonTest::eventsTable(int32_t encoding) {
  host().setOption(u"ZRNLS.KPA_SESSION_CEI", kEncodingUtf8);
  KovaObject* table = newTable(kRecfmJson, encoding);
  struct Spec {
    const char16_t* name;
    uint32_t type;
    int64_t charlength;
    int64_t bytelength;
  };
  static constexpr Spec kColumns[] = {
      {u"id", kTypeBigint, 0, 0},     {u"name", kTypeVarchar, 16, 0},
      {u"n", kTypeInt, 0, 0},         {u"small", kTypeSmallint, 0, 0},
      {u"tiny", kTypeTinyint, 0, 0},  {u"x", kTypeDouble, 0, 0},
      {u"price", kTypeDecimal, 8, 2}, {u"day", kTypeDate, 0, 0},
      {u"at", kTypeTime, 0, 0},       {u"seen", kTypeTimestamp, 0, 0},
      {u"code", kTypeChar, 2, 0},     {u"flag", kTypeVarchar, 1, 0},
  };
  for (const Spec& spec : kColumns) {
    KovaColumn* column = addColumn(table, spec.name, spec.type, spec.charlength, spec.bytelength);
    setTag(table, column, spec.name);
    // Text in UTF-8 rows whatever the file's encoding.
    if (spec.type == kTypeVarchar || spec.type == kTypeChar) column->cei = kEncodingUtf8;
  }
  return table;
}

KovaObject* JsonTest::smallTable() {
  host().setOption(u"ZRNLS.KPA_SESSION_CEI", kEncodingUtf8);
  KovaObject* table = newTable(kRecfmJson, kEncodingUtf8);
  setTag(table, addColumn(table, u"id", kTypeBigint), u"id");
  setTag(table, addColumn(table, u"name", kTypeVarchar, 16, 0), u"name");
  setTag(table, addColumn(table, u"n", kTypeInt), u"n");
  return table;
}

KovaRipper* JsonTest::jsonRipper(KovaObject* table, uint32_t flags) { return bound(table, flags); }

std::vector<std::string> JsonTest::rip(KovaObject* table,
                                       const std::vector<std::string_view>& blocks,
                                       uint32_t flags) {
  KovaRipper* ripper = bound(table, flags);
  if (!ripper) return {"no ripper"};
  std::vector<std::string> rows = ripBlocks(ripper, blocks);
  destroy(ripper);
  return rows;
}

KovaStatus JsonTest::ripOne(KovaRipper* ripper, std::string_view block, int32_t* count,
                            uint8_t** rows) {
  uint8_t* out = nullptr;
  *count = -1;
  KovaStatus status = ripper->ops.ripBlock(ripper, reinterpret_cast<const uint8_t*>(block.data()),
                                           int64_t(block.size()), &out, count);
  if (rows) *rows = out;
  return status;
}

}  // namespace kova::testing
