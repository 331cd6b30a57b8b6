// Fuzz target for the VARBIN block parser. The first byte of an input picks
// the options (null as missing, big-endian table), the rest is the file.
// Checks, for every input:
// - ripping the file as one block never reads outside it (the sanitizers
//   watch) and ends with 0 or the corrupted-data status;
// - when it succeeds, the file cut at record boundaries into blocks gives
//   the same rows, value for value;
// - nothing stays alive in the host once the ripper and table are destroyed.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

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
    std::fprintf(stderr, "varbin_ripper: %s\n", what);
    std::abort();
  }
}

struct ColumnSpec {
  uint32_t type;
  int64_t charlength;
  int64_t bytelength;
  bool dropped;
};

// Columns of every value kind, one of them dropped.
constexpr ColumnSpec kColumns[] = {
    {kTypeInt, 0, 0, false},     {kTypeVarchar, 8, 0, false}, {kTypeDouble, 0, 0, false},
    {kTypeChar, 4, 4, false},    {kTypeBinary, 0, 3, false},  {kTypeBigint, 0, 0, false},
    {kTypeDate, 0, 0, false},    {kTypeTime, 0, 0, false},    {kTypeTimestamp, 3, 0, false},
    {kTypeDecimal, 9, 2, false}, {kTypeVarchar, 4, 0, true},  {kTypeSmallint, 0, 0, false},
    {kTypeTinyint, 0, 0, false}, {kTypeReal, 0, 0, false},
};

KovaObject* varbinTable(bool bigEndian) {
  KovaExtensionObject* e = module().extension;
  KovaObject* table = e->createInstance(e, nullptr, nullptr, "fuzz");
  check(table != nullptr, "createInstance failed");
  table->recfm = kRecfmVarbin;
  table->encoding = 20;
  table->bigendian = bigEndian ? 1 : 0;
  for (const ColumnSpec& spec : kColumns) {
    KovaColumn* column = e->addColumn(table);
    check(column != nullptr, "addColumn failed");
    column->name = table->extension->copyString(table, u"c", 1);
    column->nameLength = 1;
    column->type = spec.type;
    column->charlength = spec.charlength;
    column->bytelength = spec.bytelength;
    column->dropped = spec.dropped ? 1 : 0;
  }
  return table;
}

int64_t indicator(const uint8_t* at, uint32_t code) {
  switch (code & kIndicatorWidthMask) {
    case kIndicatorWidth1: return int8_t(*at);
    case kIndicatorWidth2: { int16_t v; std::memcpy(&v, at, 2); return v; }
    case kIndicatorWidth4: { int32_t v; std::memcpy(&v, at, 4); return v; }
    default: { int64_t v; std::memcpy(&v, at, 8); return v; }
  }
}

void appendRows(const KovaRipper* ripper, const uint8_t* rows, int32_t count, std::string* out) {
  for (int32_t r = 0; r < count; ++r) {
    const uint8_t* row = rows + uint64_t(r) * ripper->rowLength;
    for (uint32_t i = 0; i < ripper->layoutCount; ++i) {
      const KovaLayoutEntry& e = ripper->typedLayout[i];
      int64_t n = indicator(row + e.indicatorOffset, e.indicatorWidth);
      check(n <= int64_t(e.octetLength), "an indicator above the value's room");
      out->append(reinterpret_cast<const char*>(&n), sizeof n);
      if (n > 0) out->append(reinterpret_cast<const char*>(row + e.dataOffset), size_t(n));
    }
    out->push_back('\n');
  }
}

// Rips the blocks [cuts[i], cuts[i+1]) of data, each an exact-size copy.
// Returns the first status that is not 0 (and the rows before it).
KovaStatus rip(KovaObject* table, uint32_t flags, const uint8_t* data,
               const std::vector<size_t>& cuts, std::string* out) {
  KovaRipperOptions options{};
  options.flags = flags;
  KovaRipper* ripper = module().extension->createRipper(table, &options, nullptr);
  check(ripper != nullptr, "createRipper failed");
  check(ripper->ops.describe(ripper) != nullptr, "describe failed");
  check(ripper->ops.bind(ripper) == kStatusOk, "bind failed");
  KovaStatus status = kStatusOk;
  for (size_t i = 0; i + 1 < cuts.size() && status == kStatusOk; ++i) {
    const size_t size = cuts[i + 1] - cuts[i];
    std::unique_ptr<uint8_t[]> block(new uint8_t[size]);
    if (size) std::memcpy(block.get(), data + cuts[i], size);
    uint8_t* rows = nullptr;
    int32_t count = 0;
    status = ripper->ops.ripBlock(ripper, block.get(), int64_t(size), &rows, &count);
    check(status == kStatusOk || status == kStatusCorruptData, "an unexpected status");
    check(status == kStatusOk || count == 0, "rows handed out by a failed block");
    if (status == kStatusOk) appendRows(ripper, rows, count, out);
  }
  uint8_t* rows = nullptr;
  int32_t count = -1;
  check(ripper->ops.flushPending(ripper, &rows, &count) == kStatusOk && count == 0,
        "flushPending gave rows");
  ripper->ops.destroy(ripper);
  return status;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  kova::runtime::Account before = module().host.account();
  const uint32_t flags = (data[0] & 1) ? kRipperNullAsMissing : 0;
  KovaObject* table = varbinTable((data[0] & 2) != 0);
  ++data;
  --size;

  std::string whole;
  if (rip(table, flags, data, {0, size}, &whole) == kStatusOk) {
    // A successful file is whole records: cut it at some of their boundaries.
    std::vector<size_t> cuts = {0};
    uint32_t seed = size;
    for (size_t at = 0; at < size;) {
      int32_t length;
      std::memcpy(&length, data + at, 4);
      at += size_t(length);
      seed = seed * 1103515245u + 12345u;
      if (at < size && (seed >> 16) % 3 != 0) cuts.push_back(at);
    }
    cuts.push_back(size);
    std::string pieces;
    check(rip(table, flags, data, cuts, &pieces) == kStatusOk, "a cut file failed");
    check(pieces == whole, "blocks and one block give different rows");
  }
  table->destroy(table);
  kova::runtime::Account after = module().host.account();
  check(after.pools == before.pools && after.blocks == before.blocks &&
            after.bytes == before.bytes && after.objects == before.objects,
        "the host account changed");
  return 0;
}
