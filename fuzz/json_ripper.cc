// Fuzz target for the JSON block parser, its callbacks and the zrejson
// sibling. The first byte of an input picks the table's encoding and the
// row mode, the second its columns (their number and types; tags from a
// small set so that members match), the next two seed how the rest, the
// document, is cut into blocks. Checks, for every input:
// - ripping the document in blocks of 1 to 64 bytes gives the same rows,
//   value for value, and the same outcome (success, or a parse failure at
//   some block or at the end of the input) as ripping it as one block;
// - an indicator never claims more bytes than its value's room;
// - nothing stays alive in the host once the ripper and table are destroyed.
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz/fuzz_support.h"

namespace kova::fuzzing {
const char* const kTargetName = "json_ripper";
}  // namespace kova::fuzzing

namespace {

using kova::fuzzing::appendRows;
using kova::fuzzing::check;
using kova::fuzzing::module;

constexpr int32_t kEncodings[] = {20, 21, 1, 22};
constexpr uint32_t kTypes[] = {kTypeBigint,  kTypeVarchar, kTypeInt,  kTypeDouble,
                               kTypeDecimal, kTypeDate,    kTypeChar, kTypeTinyint};
constexpr std::u16string_view kTags[] = {u"a", u"b", u"id", u"x", u"name", u"n"};

KovaObject* randomTable(int32_t encoding, uint8_t shape) {
  KovaObject* table = kova::fuzzing::newTable(kRecfmJson, encoding);
  const int columns = 1 + shape % 4;
  for (int i = 0; i < columns; ++i) {
    KovaColumn* column = kova::fuzzing::newColumn(table, kTypes[(shape >> (i + 2)) % 8]);
    if (column->type == kTypeVarchar || column->type == kTypeChar) column->charlength = 6;
    if (column->type == kTypeDecimal) {
      column->charlength = 9;
      column->bytelength = 2;
    }
    const std::u16string_view tag = kTags[(shape + i) % 6];
    column->tag = table->extension->copyString(table, tag.data(), int64_t(tag.size()));
    column->tagLength = int64_t(tag.size());
  }
  return table;
}

// The rows of the rip and how it ended ("ok", or the failing status).
std::string rip(KovaObject* table, uint32_t flags, const uint8_t* data, size_t size,
                uint32_t seed) {
  KovaRipper* ripper = kova::fuzzing::boundRipper(table, flags);
  std::string out;
  const KovaStatus status = kova::fuzzing::ripInPieces(
      ripper, data, size,
      [&seed](size_t left) {
        if (!seed) return left;
        seed = seed * 1103515245u + 12345u;
        return std::min<size_t>(left, 1 + (seed >> 16) % 64);
      },
      &out);
  check(status == kStatusOk || status == kStatusJsonParse, "a rip failed with another status");
  ripper->ops.destroy(ripper);
  // Rows before a parse failure depend on where the blocks end.
  return status == kStatusOk ? out + "ok" : "failed";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 4) return 0;
  kova::runtime::Account before = module().host.account();
  const int32_t encoding = kEncodings[data[0] % 4];
  const uint32_t flags = (data[0] & 0x10) ? kRipperRowImage : 0;
  const uint8_t shape = data[1];
  const uint32_t seed = (uint32_t(data[2]) << 8 | data[3]) + 1;
  data += 4;
  size -= 4;

  KovaObject* table = randomTable(encoding, shape);
  const std::string whole = rip(table, flags, data, size, 0);
  const std::string pieces = rip(table, flags, data, size, seed);
  check(pieces == whole, "blocks and one block give different rows");
  table->destroy(table);
  kova::fuzzing::checkAccount(before);
  return 0;
}
