// Fuzz target for the delimited block parsers. The first five bytes of an
// input choose the table (field separator, text qualifier, columns, header
// lines, typed or row-image rows) and how the rest, the data, is cut into
// blocks. Checks, for every input:
// - ripping the data in random blocks (down to one byte) gives the same rows
//   and the same truncation count as ripping it as one block, and so does
//   ripping it with every row read by the record loop;
// - splitRecord on the data as one record does not fail;
// - nothing stays alive in the host once the ripper and table are destroyed.
#include <cstdint>
#include <string>

#include "fuzz/fuzz_support.h"
#include "src/ripper/column_settings.h"

namespace kova::fuzzing {
const char* const kTargetName = "delimited_ripper";
}  // namespace kova::fuzzing

namespace {

using kova::fuzzing::appendRows;
using kova::fuzzing::check;
using kova::fuzzing::module;

const uint8_t kSeparators[] = {',', '\t', '|', 0, '"', '\n', 'a', ';'};
const uint8_t kQualifiers[] = {'"', '"', '\'', 0, ',', '\r', 'a', '"'};
const uint32_t kTypes[] = {kTypeVarchar,   kTypeChar,     kTypeInt,     kTypeDouble,
                           kTypeTimestamp, kTypeSmallint, kTypeDecimal, kTypeBinary};

KovaObject* makeTable(const uint8_t* options) {
  const bool native = options[3] & 0x40;
  KovaObject* table =
      kova::fuzzing::newTable(native ? kRecfmNative : kRecfmDelimited, native ? kEncodingUtf8 : 0);
  table->fieldsep = kSeparators[options[0] & 7];
  table->textqual = kQualifiers[options[1] & 7];
  table->headerLines = (options[3] >> 1) & 3;
  const int columns = 1 + options[2] % 6;
  for (int i = 0; i < columns; ++i) {
    KovaColumn* column = kova::fuzzing::newColumn(table, kTypes[(options[2] >> 3 >> (i % 3)) & 7]);
    column->charlength = column->type == kTypeDecimal ? 12 : 6;
    column->bytelength = column->type == kTypeDecimal ? 2 : 6;
  }
  return table;
}

// Rips data in blocks whose sizes come from seed (0: one block); returns the
// rows and the truncation count, or "status" and the failing code. With
// generalOnly no row is read in one pass (plain_rows.h).
std::string rip(KovaObject* table, uint32_t flags, const uint8_t* data, size_t size, uint32_t seed,
                bool generalOnly = false) {
  KovaRipperOptions options{};
  options.flags = flags;
  KovaRipper* ripper = module().extension->createRipper(table, &options, nullptr);
  check(ripper != nullptr, "createRipper failed");
  check(ripper->ops.describe(ripper) != nullptr, "describe failed");
  std::string out;
  if (ripper->ops.bind(ripper) != kStatusOk) {
    ripper->ops.destroy(ripper);
    return "unbound";
  }
  kova::moduleSide(ripper)->generalRowsOnly = generalOnly;
  size_t offset = 0;
  bool ok = true;
  while (offset < size && ok) {
    size_t piece = size - offset;
    if (seed) {
      seed = seed * 1103515245u + 12345u;
      piece = std::min<size_t>(piece, 1 + (seed >> 16) % ((seed >> 8) % 3 == 0 ? 3 : 41));
    }
    uint8_t* rows = nullptr;
    int32_t count = 0;
    KovaStatus status = ripper->ops.ripBlock(ripper, data + offset, int64_t(piece), &rows, &count);
    if (status != kStatusOk) {
      out += "status " + std::to_string(status);
      ok = false;
      break;
    }
    appendRows(ripper, rows, count, &out);
    offset += piece;
  }
  if (ok) {
    uint8_t* rows = nullptr;
    int32_t count = 0;
    check(ripper->ops.flushPending(ripper, &rows, &count) == kStatusOk, "flushPending failed");
    appendRows(ripper, rows, count, &out);
    check(ripper->ops.flushPending(ripper, &rows, &count) == kStatusOk && count == 0,
          "a second flushPending delivered a row");
  }
  out += " truncations " + std::to_string(ripper->truncations);
  // One whole record through splitRecord.
  std::string row(ripper->rowLength, '\0');
  check(ripper->ops.convertRecord(ripper, data, int64_t(size),
                                  reinterpret_cast<uint8_t*>(row.data())) == kStatusOk,
        "splitRecord failed");
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
  // Row images exist for DELIMITED tables only.
  const uint32_t flags = (data[3] & 1) && table->recfm == kRecfmDelimited ? kRipperRowImage : 0;
  const uint32_t seed = uint32_t(data[4]) * 2654435761u + 1;
  const std::string whole = rip(table, flags, data + 5, size - 5, 0);
  for (uint32_t round = 0; round < 3; ++round) {
    const std::string pieces = rip(table, flags, data + 5, size - 5, seed + round * 7919u);
    check(pieces == whole, "rows differ when the data is cut into blocks");
  }
  check(rip(table, flags, data + 5, size - 5, seed, true) == whole,
        "rows differ when the record loop reads every row");
  table->destroy(table);
  kova::fuzzing::checkAccount(before);
  return 0;
}
