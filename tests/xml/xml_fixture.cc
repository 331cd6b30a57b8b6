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
  std::u16string wide = u"\uFEFF" + u16(text);
  std::string bytes;
  for (char16_t c : wide) {
    char high = char(c >> 8), low = char(c & 0xFF);
    bytes += bigEndian ? high : low;
    bytes += bigEndian ? low : high;
  }
  return bytes;
}

std::string latin1Document(std::string_view text) {
  std::string bytes;
  for (char16_t c : u16(text)) bytes += char(c);
  return bytes;
}

}  // namespace kova::testing
