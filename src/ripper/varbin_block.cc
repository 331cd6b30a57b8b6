// The block parser of VARBIN tables. A block holds whole self-describing
// records: a 4-byte record length, then fields of (column number, length
// code, wide length, data length, value), all integers little-endian. Each
// record becomes one row; each field stores its column's value and null
// indicator by the row layout.
//
// Every read is checked against the record and the block first: a record or
// field that would run past them is corrupted data (level-4 line and
// kStatusCorruptData), never a read outside the block.
#include "src/host/log.h"
#include "src/ripper/next_record.h"
#include "src/ripper/operations.h"
#include "src/ripper/row_block.h"
#include "src/ripper/varbin_value.h"

namespace kova {
namespace {

using varbin::Field;
using varbin::loadLittle;

constexpr uint8_t kWide8 = 0xF8;   // a signed 8-bit length follows
constexpr uint8_t kWide32 = 0xFA;  // a signed 32-bit length follows
constexpr uint8_t kWide64 = 0xF7;  // a signed 64-bit length follows

KovaStatus corrupted(KovaRipper* ripper, const char16_t* what, int64_t offset, int64_t value) {
  logLine(ripper->diagnostics, kLogError,
          u"varBinaryRipBlock: %s=[%lld] at block offset [%lld]; Corrupted Data.", what,
          static_cast<long long>(value), static_cast<long long>(offset));
  return kStatusCorruptData;
}

// The fields of one record (left bytes at at, which lies base bytes into
// the block) into row.
KovaStatus readRecord(KovaRipper* ripper, const uint8_t* base, const uint8_t* at, int64_t left,
                      uint8_t* row, bool trace) {
  const int32_t columnCount = ripper->table->columnCount;
  while (left > 0) {
    if (left < 5) return corrupted(ripper, u"field header bytes", at - base, left);
    const int32_t ordinal = loadLittle<int32_t>(at);
    at += 4;
    left -= 4;
    if (trace) {
      logLine(ripper->diagnostics, kLogTrace, u"varBinaryRipBlock: ordinal=[%ld], lenleft=[%ld]",
              static_cast<long>(ordinal), static_cast<long>(left));
    }
    if (ordinal < 1 || ordinal > columnCount) {
      logLine(ripper->diagnostics, kLogError,
              u"varBinaryRipBlock: Invalid ordinal=[%ld]; Corrupted Data.",
              static_cast<long>(ordinal));
      return kStatusCorruptData;
    }
    const uint8_t code = *at++;
    --left;
    int64_t length = static_cast<int8_t>(code);
    const int64_t wide = code == kWide8 ? 1 : code == kWide32 ? 4 : code == kWide64 ? 8 : 0;
    if (wide > left) return corrupted(ripper, u"wide length bytes", at - base, left);
    if (wide == 1) length = static_cast<int8_t>(*at);
    if (wide == 4) length = loadLittle<int32_t>(at);
    if (wide == 8) length = loadLittle<int64_t>(at);
    at += wide;
    left -= wide;
    if (trace) {
      logLine(ripper->diagnostics, kLogTrace,
              u"varBinaryRipBlock: inflag=[%d] ind=%lld, lenleft=[%ld] ",
              static_cast<int>(static_cast<int8_t>(code)), static_cast<long long>(length),
              static_cast<long>(left));
    }

    const KovaColumnState* state = &ripper->columns[ordinal - 1];
    const KovaLayoutEntry* entry = state->typedEntry;
    const varbin::Form form = varbin::formOf(state);
    if (length <= 0) {
      if (entry) writeIndicator(row, entry, varbin::noValueIndicator(ripper, state, length));
      continue;
    }
    if (form == varbin::Form::kSizedBytes) {
      if (left < 4) return corrupted(ripper, u"data length bytes", at - base, left);
      length = loadLittle<int32_t>(at);
      at += 4;
      left -= 4;
      if (trace) {
        logLine(ripper->diagnostics, kLogTrace, u"varBinaryRipBlock: datalength=%lld",
                static_cast<long long>(length));
      }
      if (length < 0) return corrupted(ripper, u"datalength", at - base - 4, length);
    }
    const Field field{at, left, length};
    const int64_t taken = varbin::valueSize(form, field);
    if (taken < 0 || taken > left) return corrupted(ripper, u"value length", at - base, length);
    if (entry) writeIndicator(row, entry, varbin::storeValue(ripper, state, form, field, row));
    at += taken;
    left -= taken;
  }
  return kStatusOk;
}

}  // namespace

KovaStatus varBinaryRipBlock(KovaRipper* ripper, const uint8_t* bytes, int64_t length,
                             uint8_t** rows, int32_t* rowCount) {
  ripper->rowsInBlock = 0;
  const bool trace = ripper->traceLevel >= 9;
  const int32_t hint = rowCount ? *rowCount : 0;
  if (trace) logLine(ripper->diagnostics, kLogTrace, u"varBinaryRipBlock: numrecs=[%d]", hint);
  if (rows) *rows = ripper->rowBlock;
  if (length < 0 || (length > 0 && !bytes)) length = 0;

  uint8_t* row = beginTextBlock(ripper, length, rowCount);
  if (!row) {
    if (rowCount) *rowCount = 0;
    return kStatusNoMemory;
  }

  int64_t position = 0;
  KovaStatus status = kStatusOk;
  while (position < length) {
    const int64_t remaining = length - position;
    if (remaining < 4) {
      status = corrupted(ripper, u"record length bytes", position, remaining);
      break;
    }
    const int32_t recordLength = loadLittle<int32_t>(bytes + position);
    if (trace) {
      logLine(ripper->diagnostics, kLogTrace,
              u"varBinaryRipBlock: buflen=%ld, lenleft=[%ld], len=[%ld]",
              static_cast<long>(remaining), static_cast<long>(recordLength) - 4,
              static_cast<long>(recordLength));
    }
    if (recordLength < 4 || recordLength > remaining) {
      status = corrupted(ripper, u"record length", position, recordLength);
      break;
    }
    status = readRecord(ripper, bytes, bytes + position + 4, recordLength - 4, row, trace);
    if (status != kStatusOk) break;
    position += recordLength;
    row = nextRecord(ripper, row, length, length - position);
    if (!row) {
      status = kStatusNoMemory;
      break;
    }
  }
  if (rows) *rows = ripper->rowBlock;
  if (status != kStatusOk) {
    // The rows of a block that failed are not handed out.
    ripper->rowsInBlock = 0;
    if (rowCount) *rowCount = 0;
    return status;
  }
  if (rowCount) *rowCount = static_cast<int32_t>(ripper->rowsInBlock);
  return kStatusOk;
}

}  // namespace kova
