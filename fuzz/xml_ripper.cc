// Fuzz target for the XML block parser. The first five bytes of an input
// choose the table (record tag, columns and their tags and types, typed or
// row-image rows) and how the rest, the document, is cut into blocks.
// Checks, for every input:
// - ripping the document in random blocks (down to one byte) gives the same
//   rows, truncation count and final status as ripping it as one block;
// - an indicator never claims more than its value's room;
// - nothing stays alive in the host once the ripper and table are destroyed.
#include <cstdint>
#include <string>

#include "fuzz/fuzz_support.h"

namespace kova::fuzzing {
const char* const kTargetName = "xml_ripper";
}  // namespace kova::fuzzing

namespace {

using kova::fuzzing::appendRows;
using kova::fuzzing::check;
using kova::fuzzing::module;

const char16_t* const kTags[] = {u"row", u"a", u"b", u"c", u"r", u"x", u"row", u"\u00E9"};
const uint32_t kTypes[] = {kTypeVarchar, kTypeChar,     kTypeInt,     kTypeDouble,
                           kTypeDate,    kTypeSmallint, kTypeDecimal, kTypeTimestamp};

void setTag(KovaObject* table, const char16_t** field, int64_t* length, const char16_t* tag) {
  const int64_t n = int64_t(std::char_traits<char16_t>::length(tag));
  *field = table->extension->copyString(table, tag, n);
  *length = n;
}

KovaObject* makeTable(const uint8_t* options) {
  KovaObject* table = kova::fuzzing::newTable(kRecfmXml, kEncodingUtf8);
  setTag(table, &table->recordTag, &table->recordTagLength, kTags[options[0] & 7]);
  const int columns = 1 + options[1] % 4;
  const int otherTags = (options[1] & 0x80) ? 4 : 0;
  for (int i = 0; i < columns; ++i) {
    KovaColumn* column = kova::fuzzing::newColumn(table, kTypes[((options[2] >> i) + i) & 7]);
    column->charlength = column->type == kTypeDecimal ? 12 : 6;
    column->bytelength = column->type == kTypeDecimal ? 2 : 6;
    setTag(table, &column->tag, &column->tagLength,
           kTags[((options[3] >> (2 * i)) & 3) + otherTags]);
  }
  return table;
}

// Rips the document in blocks whose sizes come from seed (0: one block);
// returns the rows, the truncation count and the last status.
std::string rip(KovaObject* table, uint32_t flags, const uint8_t* data, size_t size,
                uint32_t seed) {
  KovaRipper* ripper = kova::fuzzing::boundRipper(table, flags);
  std::string out;
  const KovaStatus status = kova::fuzzing::ripInPieces(
      ripper, data, size,
      [&seed](size_t left) {
        if (!seed) return left;
        seed = seed * 1103515245u + 12345u;
        return std::min<size_t>(left, 1 + (seed >> 16) % ((seed >> 8) % 3 == 0 ? 3 : 97));
      },
      &out);
  // Rows delivered before a failure depend on where the blocks were cut.
  if (status != kStatusOk) out = "status " + std::to_string(status);
  out += " truncations " + std::to_string(ripper->truncations);
  ripper->ops.destroy(ripper);
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 5) return 0;
  static const bool sessionEncoding = [] {
    module().host.setOption(u"ZRNLS.KPA_SESSION_CEI", kEncodingUtf8);  // row images are UTF-8
    return true;
  }();
  (void)sessionEncoding;
  const kova::runtime::Account before = module().host.account();
  KovaObject* table = makeTable(data);
  const uint32_t flags = (data[0] & 0x80) ? kRipperRowImage : 0;
  const uint32_t seed = uint32_t(data[4]) * 2654435761u + 1;
  const std::string whole = rip(table, flags, data + 5, size - 5, 0);
  for (uint32_t round = 0; round < 2; ++round) {
    const std::string pieces = rip(table, flags, data + 5, size - 5, seed + round * 7919u);
    check(pieces == whole, "rows differ when the document is cut into blocks");
  }
  table->destroy(table);
  kova::fuzzing::checkAccount(before);
  return 0;
}
