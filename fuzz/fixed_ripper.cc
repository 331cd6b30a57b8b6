// Fuzz target for the FIXED block parser. The first byte of an input picks
// the record length (1 to 64) and the row form (typed or row image), the
// next two seed how the rest, the file, is cut into blocks. Checks, for
// every input:
// - ripping the file in blocks of 1 to 64 bytes gives the same rows, byte
//   for byte, as ripping it as one block, and every call ends with status 0
//   (a partial last record is dropped, not turned into a row);
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
    std::fprintf(stderr, "fixed_ripper: %s\n", what);
    std::abort();
  }
}

struct ColumnSpec {
  uint32_t type;
  uint32_t cType;
  int64_t offset;
  int64_t bytelength;
};

// Latin-1 columns over the first 24 bytes of a record; a shorter record
// leaves the later ones outside it.
constexpr ColumnSpec kColumns[] = {
    {kTypeInt, kCTypeInt32, 0, 4},      {kTypeDouble, kCTypeDouble, 4, 8},
    {kTypeChar, kCTypeChar, 12, 6},     {kTypeSmallint, kCTypeInt16, 2, 2},
    {kTypeTinyint, kCTypeInt8, 18, 1},  {kTypeDouble, kCTypeDouble, 19, 4},
    {kTypeVarchar, kCTypeChar, 20, 4},  {kTypeBinary, kCTypeBinary, 1, 3},
};

KovaObject* fixedTable(int64_t reclen) {
  KovaExtensionObject* e = module().extension;
  KovaObject* table = e->createInstance(e, nullptr, nullptr, "fuzz");
  check(table != nullptr, "createInstance failed");
  table->recfm = kRecfmFixed;
  table->encoding = 1;
  table->reclen = reclen;
  for (const ColumnSpec& spec : kColumns) {
    KovaColumn* column = e->addColumn(table);
    check(column != nullptr, "addColumn failed");
    column->name = table->extension->copyString(table, u"c", 1);
    column->nameLength = 1;
    column->type = spec.type;
    column->c_type = spec.cType;
    column->offset = spec.offset;
    column->bytelength = spec.bytelength;
    column->charlength = spec.bytelength;
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

// A row image whole; a typed row as every indicator and the bytes it counts
// (the value bytes of a null are undefined).
void appendRows(const KovaRipper* ripper, const uint8_t* rows, int32_t count, std::string* out) {
  for (int32_t r = 0; r < count; ++r) {
    const uint8_t* row = rows + uint64_t(r) * ripper->rowLength;
    if (ripper->rowImage) {
      out->append(reinterpret_cast<const char*>(row), ripper->rowLength);
      continue;
    }
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

std::string rip(KovaObject* table, uint32_t flags, const uint8_t* data, size_t size,
                uint32_t seed) {
  KovaRipperOptions options{};
  options.flags = flags;
  KovaRipper* ripper = module().extension->createRipper(table, &options, nullptr);
  check(ripper != nullptr, "createRipper failed");
  check(ripper->ops.describe(ripper) != nullptr, "describe failed");
  check(ripper->ops.bind(ripper) == kStatusOk, "bind failed");
  std::string out;
  size_t offset = 0;
  while (offset < size) {
    size_t piece = size - offset;
    if (seed) {
      seed = seed * 1103515245u + 12345u;
      piece = std::min<size_t>(piece, 1 + (seed >> 16) % 64);
    }
    std::unique_ptr<uint8_t[]> block(new uint8_t[piece]);
    std::memcpy(block.get(), data + offset, piece);
    uint8_t* rows = nullptr;
    int32_t count = 0;
    check(ripper->ops.ripBlock(ripper, block.get(), int64_t(piece), &rows, &count) == kStatusOk,
          "ripBlock failed");
    appendRows(ripper, rows, count, &out);
    offset += piece;
  }
  uint8_t* rows = nullptr;
  int32_t count = -1;
  check(ripper->ops.flushPending(ripper, &rows, &count) == kStatusOk && count == 0,
        "flushPending gave rows");
  check(ripper->fragmentLength == 0, "bytes left after the end of input");
  ripper->ops.destroy(ripper);
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3) return 0;
  kova::runtime::Account before = module().host.account();
  const int64_t reclen = 1 + (data[0] & 63);
  const uint32_t flags = (data[0] & 64) ? kRipperRowImage : 0;
  const uint32_t seed = (uint32_t(data[1]) << 8 | data[2]) + 1;
  data += 3;
  size -= 3;

  KovaObject* table = fixedTable(reclen);
  const std::string whole = rip(table, flags, data, size, 0);
  check(rip(table, flags, data, size, seed) == whole, "blocks and one block give different rows");
  table->destroy(table);
  kova::runtime::Account after = module().host.account();
  check(after.pools == before.pools && after.blocks == before.blocks &&
            after.bytes == before.bytes && after.objects == before.objects,
        "the host account changed");
  return 0;
}
