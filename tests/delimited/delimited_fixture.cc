#include "tests/delimited/delimited_fixture.h"

namespace kova::testing {

KovaObject* DelimitedTest::textTable(int columns, uint8_t separator, uint8_t qualifier,
                                     int64_t width, uint32_t recfm) {
  KovaObject* table = newTable(recfm, recfm == kRecfmDelimited ? 0 : 20);
  table->fieldsep = separator;
  table->textqual = qualifier;
  for (int i = 0; i < columns; ++i) {
    std::u16string name = u"c" + u16(std::to_string(i));
    addColumn(table, name, kTypeVarchar, width, width);
  }
  return table;
}

std::vector<std::string> DelimitedTest::rip(KovaObject* table,
                                            const std::vector<std::string_view>& blocks,
                                            uint32_t flags, int32_t headerLines) {
  KovaRipper* ripper = bound(table, flags);
  if (!ripper) return {"no ripper"};
  if (headerLines >= 0) ripper->headerLinesLeft = headerLines;
  std::vector<std::string> rows = ripBlocks(ripper, blocks);
  destroy(ripper);
  return rows;
}

std::vector<std::string> DelimitedTest::ripSplit(KovaObject* table, std::string_view input,
                                                 uint32_t flags, int32_t headerLines,
                                                 int randomPartitions) {
  return splitEverywhere(
      input,
      [&](const std::vector<std::string_view>& blocks) {
        return rip(table, blocks, flags, headerLines);
      },
      randomPartitions);
}

std::string shown(std::string_view text) { return quotedText(text); }

}  // namespace kova::testing
