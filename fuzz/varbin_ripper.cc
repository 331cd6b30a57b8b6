// Fuzz target for the VARBIN block parser. The first byte of an input picks
// the options (null as missing, big-endian table), the rest is the file.
// Checks, for every input:
// - ripping the file as one block never reads outside it (the sanitizers
//   watch) and ends with 0 or the corrupted-data status, handing out no rows
//   when it fails;
// - when it succeeds, the file cut at record boundaries into blocks gives
//   the same rows, value for value, also with a ripper that reports
//   rejected values, whose truncation count is the same and each of whose
//   values lies where it says in the file (reject_check.h);
// - nothing stays alive in the host once the ripper and table are destroyed.
#include <memory>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "fuzz/reject_check.h"

namespace kova::fuzzing {

const char* const kTargetName = "varbin_ripper";

namespace {

struct ColumnSpec {
  uint32_t type;
  int64_t charlength;
  int64_t bytelength;
  bool dropped;
};

// Columns of every value kind, one of them dropped, one not supported.
constexpr ColumnSpec kColumns[] = {
    {kTypeInt, 0, 0, false},     {kTypeVarchar, 8, 0, false}, {kTypeDouble, 0, 0, false},
    {kTypeChar, 4, 4, false},    {kTypeBinary, 0, 3, false},  {kTypeBigint, 0, 0, false},
    {kTypeDate, 0, 0, false},    {kTypeTime, 0, 0, false},    {kTypeTimestamp, 3, 0, false},
    {kTypeDecimal, 9, 2, false}, {kTypeVarchar, 4, 0, true},  {kTypeSmallint, 0, 0, false},
    {kTypeTinyint, 0, 0, false}, {kTypeReal, 0, 0, false},
};

KovaObject* varbinTable(bool bigEndian) {
  KovaObject* table = newTable(kRecfmVarbin, 20);
  table->bigendian = bigEndian ? 1 : 0;
  for (const ColumnSpec& spec : kColumns) {
    KovaColumn* column = newColumn(table, spec.type);
    column->charlength = spec.charlength;
    column->bytelength = spec.bytelength;
    column->dropped = spec.dropped ? 1 : 0;
  }
  return table;
}

// Rips the blocks [cuts[i], cuts[i+1]) of data, each an exact-size copy.
// Returns the first status that is not 0 (and the rows before it).
// Rejected values go to sink when given; *truncations: the count.
KovaStatus rip(KovaObject* table, uint32_t flags, const uint8_t* data,
               const std::vector<size_t>& cuts, std::string* out, RejectCheck* sink = nullptr,
               uint32_t* truncations = nullptr) {
  KovaRipper* ripper = sink ? trackingRipper(table, flags, sink) : boundRipper(table, flags);
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
  if (truncations) *truncations = ripper->truncations;
  ripper->ops.destroy(ripper);
  return status;
}

}  // namespace
}  // namespace kova::fuzzing

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace kova::fuzzing;
  if (size < 1) return 0;
  const kova::runtime::Account before = module().host.account();
  const uint32_t flags = (data[0] & 1) ? kRipperNullAsMissing : 0;
  KovaObject* table = varbinTable((data[0] & 2) != 0);
  ++data;
  --size;

  std::string whole;
  uint32_t truncations = 0;
  if (rip(table, flags, data, {0, size}, &whole, nullptr, &truncations) == kStatusOk) {
    // A file that rips is whole records: cut it at some of their boundaries.
    std::vector<size_t> cuts = {0};
    uint32_t seed = uint32_t(size);
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
    std::string tracked;
    RejectCheck sink(data, size);
    uint32_t trackedTruncations = 0;
    check(rip(table, flags, data, cuts, &tracked, &sink, &trackedTruncations) == kStatusOk &&
              tracked == whole && trackedTruncations == truncations,
          "tracking rejected values changed the rows or the truncation count");
    check(sink.seen <= truncations, "more values reported than truncations counted");
  }
  table->destroy(table);
  checkAccount(before);
  return 0;
}
