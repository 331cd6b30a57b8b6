#include "tests/xml/xml_fixture.h"

namespace kova::testing {

KovaObject* XmlRipTest::xmlTable(std::u16string_view recordTag) {
  KovaObject* table = newTable(kRecfmXml, kEncodingUtf8);
  setText(table, &table->recordTag, &table->recordTagLength, recordTag);
  setTag(table, addColumn(table, u"a", kTypeVarchar, 20, 20), u"a");
  setTag(table, addColumn(table, u"b", kTypeInt), u"b");
  setTag(table, addColumn(table, u"c", kTypeDouble), u"c");
  return table;
}

std::vector<std::string> XmlRipTest::rip(KovaObject* table,
                                         const std::vector<std::string_view>& blocks,
                                         uint32_t flags) {
  KovaRipper* ripper = bound(table, flags);
  if (!ripper) return {"no ripper"};
  std::vector<std::string> rows = ripBlocks(ripper, blocks);
  destroy(ripper);
  return rows;
}

std::vector<std::string> XmlRipTest::ripSplit(KovaObject* table, std::string_view document,
                                              int randomPartitions) {
  return splitEverywhere(
      document, [&](const std::vector<std::string_view>& blocks) { return rip(table, blocks); },
      randomPartitions);
}

KovaStatus XmlRipTest::ripOne(KovaRipper* ripper, std::string_view block, uint8_t** rows,
                              int32_t* count) {
  return ripper->ops.ripBlock(ripper, reinterpret_cast<const uint8_t*>(block.data()),
                              int64_t(block.size()), rows, count);
}

std::string utf16Document(std::string_view text, bool bigEndian) {
  return utf16Bytes("\xEF\xBB\xBF" + std::string(text), bigEndian);
}

std::string latin1Document(std::string_view text) { return latin1Bytes(text); }

}  // namespace kova::testing
