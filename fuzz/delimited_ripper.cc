// Fuzz target for the delimited block parsers. The first five bytes of an
// input choose the table (field separator, text qualifier, columns, header
// lines, typed or row-image rows) and how the rest, the data, is cut into
// blocks. Checks, for every input:
// - ripping the data in random blocks (down to one byte) gives the same rows
//   and the same truncation count as ripping it as one block;
// - splitRecord on the data as one record does not fail;
// - nothing stays alive in the host once the ripper and table are destroyed.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "kova/extension.h"
#include "kova/metadata.h"
#include "kova/ripper.h"
#include "runtime/kernel/host.h"

extern "C" int32_t zrextver(KovaKernel* kernel, int64_t* major, int64_t* minor);
extern "C" KovaExtensionObject* zrekova(KovaKernel* kernel, KovaDiagnostics* diagnostics);

namespace {

struct Module {
  kova::runtime::Host host;
  KovaExtensionObject* extension = nullptr;
  Module() {
    host.setOption(u"ZRNLS.KPA_SESSION_CEI", kEncodingUtf8);
    zrextver(host.kernel(), nullptr, nullptr);
    extension = zrekova(host.kernel(), nullptr);
    if (!extension) {
      std::fprintf(stderr, "zrekova failed\n");
      std::abort();
    }
  }
};

Module& module() {
  static Module* m = new Module;
  return *m;
}

void check(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "delimited_ripper: %s\n", what);
    std::abort();
  }
}

const uint8_t kSeparators[] = {',', '\t', '|', 0, '"', '\n', 'a', ';'};
const uint8_t kQualifiers[] = {'"', '"', '\'', 0, ',', '\r', 'a', '"'};
const uint32_t kTypes[] = {kTypeVarchar, kTypeChar, kTypeInt, kTypeDouble,
                           kTypeVarchar, kTypeSmallint, kTypeDecimal, kTypeBinary};

KovaObject* makeTable(const uint8_t* options) {
  KovaExtensionObject* e = module().extension;
  KovaObject* table = e->createInstance(e, nullptr, nullptr, nullptr);
  check(table != nullptr, "createInstance failed");
  table->recfm = (options[3] & 0x40) ? kRecfmNative : kRecfmDelimited;
  table->encoding = table->recfm == kRecfmNative ? kEncodingUtf8 : 0;
  table->fieldsep = kSeparators[options[0] & 7];
  table->textqual = kQualifiers[options[1] & 7];
  table->headerLines = (options[3] >> 1) & 3;
  const int columns = 1 + options[2] % 6;
  for (int i = 0; i < columns; ++i) {
    KovaColumn* column = e->addColumn(table);
    check(column != nullptr, "addColumn failed");
    column->type = kTypes[(options[2] >> 3 >> (i % 3)) & 7];
    column->charlength = column->type == kTypeDecimal ? 12 : 6;
    column->bytelength = column->type == kTypeDecimal ? 2 : 6;
  }
  return table;
}

int64_t indicatorOf(const uint8_t* at, uint32_t code) {
  switch (code & kIndicatorWidthMask) {
    case 1: return int8_t(*at);
    case 2: { int16_t v; std::memcpy(&v, at, 2); return v; }
    case 4: { int32_t v; std::memcpy(&v, at, 4); return v; }
    case 0: { int64_t v; std::memcpy(&v, at, 8); return v; }
    default: return 0;
  }
}

// The meaningful bytes of a row: a typed row's indicators and the values
// they cover (a null value's bytes are whatever they were), or a whole
// row image.
void appendRow(const KovaRipper* ripper, const uint8_t* row, std::string* out) {
  if (ripper->rowImage) {
    out->append(reinterpret_cast<const char*>(row), ripper->rowLength);
    return;
  }
  for (uint32_t i = 0; i < ripper->layoutCount; ++i) {
    const KovaLayoutEntry& e = ripper->typedLayout[i];
    int64_t indicator = indicatorOf(row + e.indicatorOffset, e.indicatorWidth);
    out->append(reinterpret_cast<const char*>(&indicator), 8);
    if (indicator < 0) continue;
    uint64_t n = e.storageType == kStorageChar || e.storageType == kStorageBinary
                     ? std::min<uint64_t>(uint64_t(indicator), e.octetLength)
                     : e.octetLength;
    out->append(reinterpret_cast<const char*>(row + e.dataOffset), n);
  }
  out->push_back('\n');
}

// Rips data in blocks whose sizes come from seed (0: one block); returns the
// rows and the truncation count, or "status" and the failing code.
std::string rip(KovaObject* table, uint32_t flags, const uint8_t* data, size_t size,
                uint32_t seed) {
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
    for (int32_t r = 0; r < count; ++r) appendRow(ripper, rows + uint64_t(r) * ripper->rowLength, &out);
    offset += piece;
  }
  if (ok) {
    uint8_t* rows = nullptr;
    int32_t count = 0;
    check(ripper->ops.flushPending(ripper, &rows, &count) == kStatusOk, "flushPending failed");
    for (int32_t r = 0; r < count; ++r) appendRow(ripper, rows + uint64_t(r) * ripper->rowLength, &out);
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
  Module& m = module();
  const kova::runtime::Account before = m.host.account();
  KovaObject* table = makeTable(data);
  // Row images exist for DELIMITED tables only.
  const uint32_t flags = (data[3] & 1) && table->recfm == kRecfmDelimited ? kRipperRowImage : 0;
  const uint32_t seed = uint32_t(data[4]) * 2654435761u + 1;
  const std::string whole = rip(table, flags, data + 5, size - 5, 0);
  for (uint32_t round = 0; round < 3; ++round) {
    const std::string pieces = rip(table, flags, data + 5, size - 5, seed + round * 7919u);
    check(pieces == whole, "rows differ when the data is cut into blocks");
  }
  table->destroy(table);
  const kova::runtime::Account after = m.host.account();
  check(after.blocks == before.blocks && after.bytes == before.bytes &&
            after.pools == before.pools && after.objects == before.objects,
        "the host holds something after destroy");
  return 0;
}
