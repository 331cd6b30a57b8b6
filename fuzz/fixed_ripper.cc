// Fuzz target for the FIXED block parser. The first byte of an input picks
// the record length (1 to 64), the row form (typed or row image) and
// whether the table also has integers wider than their slots; the next two
// seed how the rest, the file, is cut into blocks. Checks, for every input:
// - ripping the file in blocks of 1 to 64 bytes gives the same rows, value
//   for value, as ripping it as one block, and every call ends with status 0
//   (a partial last record is dropped at the end, not turned into a row);
// - typed rows are those the record converter makes of each record;
// - a ripper that reports rejected values (in the same blocks) gives the
//   same rows and truncation count, and each value it reports lies where it
//   says in the file (reject_check.h);
// - no block is read outside its bytes (the sanitizers watch);
// - nothing stays alive in the host once the ripper and table are destroyed.
#include <memory>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "fuzz/reject_check.h"

namespace kova::fuzzing {

const char* const kTargetName = "fixed_ripper";

namespace {

struct ColumnSpec {
  uint32_t type;
  uint32_t cType;
  int64_t offset;
  int64_t bytelength;
};

// Latin-1 columns over the first 24 bytes of a record, and texts of 16 to
// 64 bytes over all of it; a shorter record leaves the later ones outside it.
constexpr ColumnSpec kColumns[] = {
    {kTypeInt, kCTypeInt32, 0, 4},      {kTypeDouble, kCTypeDouble, 4, 8},
    {kTypeChar, kCTypeChar, 12, 6},     {kTypeSmallint, kCTypeInt16, 2, 2},
    {kTypeTinyint, kCTypeInt8, 18, 1},  {kTypeDouble, kCTypeDouble, 19, 4},
    {kTypeVarchar, kCTypeChar, 20, 4},  {kTypeBinary, kCTypeBinary, 1, 3},
    {kTypeVarchar, kCTypeChar, 8, 16},  {kTypeVarchar, kCTypeChar, 24, 20},
    {kTypeVarchar, kCTypeChar, 14, 40}, {kTypeChar, kCTypeChar, 0, 64},
};

// Integers kept wider than their slots: values that do not fit are cut
// (and reported); the typed plan leaves such tables to the converter.
constexpr ColumnSpec kWiderColumns[] = {
    {kTypeSmallint, kCTypeInt16, 4, 4},
    {kTypeInt, kCTypeInt32, 10, 8},
};

KovaObject* fixedTable(int64_t reclen, bool wider) {
  KovaObject* table = newTable(kRecfmFixed, 1);
  table->reclen = reclen;
  for (const ColumnSpec& spec : kColumns) {
    KovaColumn* column = newColumn(table, spec.type);
    column->c_type = spec.cType;
    column->offset = spec.offset;
    column->bytelength = spec.bytelength;
    column->charlength = spec.bytelength;
  }
  for (const ColumnSpec& spec : kWiderColumns) {
    if (!wider) break;
    KovaColumn* column = newColumn(table, spec.type);
    column->c_type = spec.cType;
    column->offset = spec.offset;
    column->bytelength = spec.bytelength;
  }
  return table;
}

// Rips data in blocks of 1 to 64 bytes drawn from seed (0: one block),
// reporting rejected values to sink when given; *truncations: the count.
std::string rip(KovaObject* table, uint32_t flags, const uint8_t* data, size_t size, uint32_t seed,
                RejectCheck* sink = nullptr, uint32_t* truncations = nullptr) {
  KovaRipper* ripper = sink ? trackingRipper(table, flags, sink) : boundRipper(table, flags);
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
  if (truncations) *truncations = ripper->truncations;
  ripper->ops.destroy(ripper);
  return out;
}

// The rows the record converter makes of every whole record of data.
std::string converted(KovaObject* table, const uint8_t* data, size_t size) {
  KovaRipper* ripper = boundRipper(table, 0);
  std::string out;
  std::vector<uint8_t> row(ripper->rowLength);
  const auto reclen = size_t(table->reclen);
  for (size_t at = 0; at + reclen <= size; at += reclen) {
    check(ripper->ops.convertRecord(ripper, data + at, int64_t(reclen), row.data()) == kStatusOk,
          "convertRecord failed");
    appendRows(ripper, row.data(), 1, &out);
  }
  ripper->ops.destroy(ripper);
  return out;
}

}  // namespace
}  // namespace kova::fuzzing

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace kova::fuzzing;
  if (size < 3) return 0;
  const kova::runtime::Account before = module().host.account();
  const int64_t reclen = 1 + (data[0] & 63);
  const uint32_t flags = (data[0] & 64) ? kRipperRowImage : 0;
  const bool wider = (data[0] & 128) != 0;
  const uint32_t seed = (uint32_t(data[1]) << 8 | data[2]) + 1;
  data += 3;
  size -= 3;

  KovaObject* table = fixedTable(reclen, wider);
  uint32_t truncations = 0;
  const std::string whole = rip(table, flags, data, size, 0, nullptr, &truncations);
  check(rip(table, flags, data, size, seed) == whole, "blocks and one block give different rows");
  RejectCheck sink(data, size);
  uint32_t tracked = 0;
  check(rip(table, flags, data, size, seed, &sink, &tracked) == whole && tracked == truncations,
        "tracking rejected values changed the rows or the truncation count");
  // Each reported value is cut and counted (a partial last record is
  // counted but is no value).
  check(sink.seen <= truncations, "more values reported than truncations counted");
  if (flags == 0) {
    check(converted(table, data, size) == whole, "the plan and the record converter differ");
  }
  table->destroy(table);
  checkAccount(before);
  return 0;
}
