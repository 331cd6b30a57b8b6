#include "tests/clf/clf_test_util.h"

#include <unicode/ucnv.h>

namespace kova::testing {

KovaObject* ClfTest::logTable(int32_t encoding, uint32_t recfm) {
  KovaObject* table = newTable(recfm, encoding);
  for (std::u16string_view name : {u"host", u"ident", u"user", u"time", u"request"}) {
    addColumn(table, name, kTypeVarchar, 200)->cei = kEncodingUtf8;
  }
  addColumn(table, u"status", kTypeInt);
  addColumn(table, u"size", kTypeInt);
  return table;
}

std::vector<std::string> ClfTest::rip(KovaObject* table,
                                      const std::vector<std::string_view>& blocks) {
  KovaRipper* ripper = bound(table);
  if (!ripper) return {"no ripper"};
  std::vector<std::string> rows = ripBlocks(ripper, blocks);
  destroy(ripper);
  return rows;
}

std::string encodeAs(std::string_view utf8, const char* encoding) {
  UErrorCode error = U_ZERO_ERROR;
  std::string out(utf8.size() * 4 + 16, '\0');
  int32_t n = ucnv_convert(encoding, "UTF-8", out.data(), int32_t(out.size()), utf8.data(),
                           int32_t(utf8.size()), &error);
  EXPECT_TRUE(U_SUCCESS(error)) << encoding << ": " << u_errorName(error);
  out.resize(U_SUCCESS(error) ? size_t(n) : 0);
  return out;
}

}  // namespace kova::testing
