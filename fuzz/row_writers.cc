// Fuzz target for the burners' row writers. The first byte of an input picks
// the writer (delimited in the default or the escape style, with null text
// and Base64 or not, row-image text, FIXED, VARBIN and writeRowsInto) and
// the second the table's record length; the rest is the batch of rows, raw
// bytes laid over the burner's layout, so indicators and lengths are random.
// Checks, for every input:
// - writeRows answers 0, kStatusNoMemory or a decimal status, and sets its
//   outs only on success; FIXED output is rows x reclen bytes;
// - writeRowsInto writes no more than the worst case of the rows;
// - no row, value or buffer is read or written outside its bytes (the
//   sanitizers watch: the batch is an exactly sized heap copy);
// - nothing stays alive in the host once the burner and table are destroyed.
#include <memory>

#include "fuzz/fuzz_support.h"

namespace kova::fuzzing {

const char* const kTargetName = "row_writers";

namespace {

struct ColumnSpec {
  uint32_t type;
  uint32_t cType;
  int64_t charlength;
  int64_t bytelength;
  int64_t offset;
};

constexpr ColumnSpec kColumns[] = {
    {kTypeInt, kCTypeInt32, 0, 4, 0},       {kTypeVarchar, kCTypeChar, 6, 6, 4},
    {kTypeDouble, kCTypeDouble, 0, 8, 10},  {kTypeDate, kCTypeDouble, 0, 8, 18},
    {kTypeDecimal, kCTypeChar, 7, 2, 0},    {kTypeTimestamp, kCTypeDouble, 3, 8, 26},
    {kTypeChar, kCTypeChar, 3, 3, 34},      {kTypeBinary, kCTypeBinary, 0, 5, 37},
    {kTypeSmallint, kCTypeInt16, 0, 4, 42}, {kTypeTime, kCTypeDouble, 0, 4, 46},
    {kTypeTinyint, kCTypeInt8, 0, 1, 50},   {kTypeBigint, kCTypeInt64, 0, 8, 51},
};

const uint8_t kNullText[] = {'N', 'U', 'L', 'L'};
const uint8_t kCrLf[] = {'\r', '\n'};

}  // namespace
}  // namespace kova::fuzzing

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace kova::fuzzing;
  if (size < 2) return 0;
  const uint8_t mode = data[0];
  const int64_t reclen = 1 + data[1] % 64;
  data += 2;
  size -= 2;
  const kova::runtime::Account before = module().host.account();

  const uint32_t writer = mode % 6;  // 0-2 delimited, 3 row image, 4 FIXED, 5 VARBIN
  const uint32_t recfm = writer == 4 ? kRecfmFixed : writer == 5 ? kRecfmVarbin : kRecfmDelimited;
  KovaObject* table = newTable(recfm, kEncodingUtf8);
  table->fieldsep = (mode & 0x40) ? ';' : ',';
  table->textqual = (mode & 0x80) ? 0 : '"';
  table->reclen = reclen;
  if (mode & 0x08) {
    table->nullText = kNullText;
    table->nullTextLength = sizeof kNullText;
  }
  if (mode & 0x10) {
    table->recordEndText = kCrLf;
    table->recordEndTextLength = sizeof kCrLf;
  }
  for (const ColumnSpec& spec : kColumns) {
    KovaColumn* column = newColumn(table, spec.type);
    column->c_type = spec.cType;
    column->charlength = spec.charlength;
    column->bytelength = spec.bytelength;
    column->offset = spec.offset;
    column->dropped = (mode & 0x20) && spec.type == kTypeDouble;
  }
  uint32_t flags = kRipperOutput | kRipperWriteNullText;
  if (writer == 1) flags |= kRipperEscapeStyle;
  if (writer == 2) flags |= kRipperBinaryAsBase64;
  if (writer == 3) flags |= kRipperRowImage;
  KovaRipper* burner = boundRipper(table, flags);
  if (writer == 5 && (mode & 0x08)) {
    for (uint32_t i = 0; i < burner->layoutCount; ++i) {
      KovaLayoutEntry& e = burner->typedLayout[i];
      if (e.storageType == kStorageBinary) e.indicatorWidth |= kIndicatorNumberMark;
    }
  }

  std::unique_ptr<uint8_t[]> rows(new uint8_t[size ? size : 1]);
  if (size) std::memcpy(rows.get(), data, size);
  const uint8_t* out = reinterpret_cast<const uint8_t*>(1);
  uint64_t length = 1;
  const KovaStatus status = burner->ops.writeRows(burner, rows.get(), size, &out, &length);
  const bool allowed = status == kStatusOk || status == kStatusNoMemory ||
                       status == kStatusDecimalOverflow || status == kStatusJsonParse ||
                       status == kStatusDecimalPrecision;
  check(allowed, "an unexpected status");
  if (status != kStatusOk) {
    check(out == nullptr && length == 0, "outs set on failure");
  } else {
    const uint64_t rowCount = size / burner->rowLength;
    if (writer == 4) check(length == rowCount * uint64_t(reclen), "FIXED output of another size");
    if (length > 0) check(out != nullptr && out[length - 1] == out[length - 1], "no output");
  }
  if (writer == 5) {
    const uint64_t rowCount = size / burner->rowLength;
    uint64_t worst = 0;
    for (uint32_t i = 0; i < burner->layoutCount; ++i) {
      worst += 4 + 9 + 4 + std::max<uint64_t>(burner->typedLayout[i].octetLength, 20);
    }
    worst = (worst + 4) * rowCount;
    std::unique_ptr<uint8_t[]> into(new uint8_t[worst ? worst : 1]);
    uint64_t written = 0;
    check(burner->ops.writeRowsInto(burner, rows.get(), 0, uint32_t(rowCount), into.get(), 0,
                                    &written) == kStatusOk,
          "writeRowsInto failed");
    check(written <= worst, "writeRowsInto wrote past the worst case");
  }
  burner->ops.destroy(burner);
  table->destroy(table);
  checkAccount(before);
  return 0;
}
