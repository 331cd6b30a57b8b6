// The block parser of FIXED tables: every reclen bytes are one record and
// one row, converted by the ripper's convertRecord. A record that a block
// does not finish waits in fragment (never more than reclen - 1 bytes) and
// is completed by the first bytes of the next block.
//
// Everything a block needs (room for its rows, room for a tail) is obtained
// before the first record is converted, so a failed allocation leaves the
// ripper exactly as the previous block left it.
#include <algorithm>
#include <cstring>
#include <limits>

#include "src/host/grow.h"
#include "src/host/log.h"
#include "src/host/pool.h"
#include "src/ripper/fixed_block.h"
#include "src/ripper/fixed_plan.h"
#include "src/ripper/operations.h"
#include "src/ripper/rejects.h"
#include "src/ripper/row_block.h"

namespace kova {
namespace {

// Makes rowBlock hold at least rows rows; its old rows need not be kept.
KovaStatus ensureBlockSize(KovaRipper* ripper, int64_t rows) {
  if (rows <= ripper->blockCapacity) return kStatusOk;
  return sizeRowBlock(ripper, uint64_t(rows), true);
}

// Makes fragment able to hold one whole record, keeping what it holds.
KovaStatus reserveFragment(KovaRipper* ripper, uint64_t reclen) {
  return growInSteps(ripper->pool, ripper->diagnostics, ripper->fragment, ripper->fragmentCapacity,
                     reclen, ripper->fragmentLength != 0, u"fixedRipBlock");
}

// count records into consecutive rows: through the typed plan when there is
// one, else one convertRecord call each. A row image starts blank with
// missing numbers, so a column the converter leaves alone never shows a
// value of an earlier row; the typed converter writes every indicator
// itself. Stops at the first status that is not 0. When rejected values
// are tracked, the record converter is told each record's place in the
// input (the first at offset) and its row (the first firstRow); the plan
// has nothing to report (fixed_plan.h).
KovaStatus convertRecords(KovaRipper* ripper, const FixedPlan* plan, const uint8_t* records,
                          int64_t count, int64_t reclen, uint8_t* row, int64_t offset,
                          uint32_t firstRow) {
  const uint64_t rowLength = ripper->rowLength;
  if (plan) return convertFixedRecords(plan, records, count, row, rowLength);
  ModuleRipper* m = moduleSide(ripper);
  for (int64_t i = 0; i < count; ++i) {
    if (m->rejects) {
      m->recordOffset = offset + i * reclen;
      m->fixedRow = firstRow + uint32_t(i);
    }
    if (ripper->rowImage) clearRow(ripper, row);
    const KovaStatus status = ripper->ops.convertRecord(ripper, records, reclen, row);
    if (status != kStatusOk) return status;
    records += reclen;
    row += rowLength;
  }
  return kStatusOk;
}

}  // namespace

KovaStatus fixedRipBlock(KovaRipper* ripper, const uint8_t* bytes, int64_t length, uint8_t** rows,
                         int32_t* rowCount) {
  ripper->rowsInBlock = 0;
  if (rowCount) *rowCount = 0;
  if (rows) *rows = ripper->rowBlock;
  const int64_t reclen = ripper->table->reclen;
  // bind refuses other record lengths; a table changed since is not read.
  if (reclen < 1 || reclen > std::numeric_limits<int32_t>::max()) return kStatusNotSupported;
  if (refusedBlock(bytes, length, rowCount)) return kStatusNotSupported;

  const uint64_t carried = ripper->fragmentLength;
  KovaStatus status = ensureBlockSize(ripper, length / reclen + 1);
  if (status != kStatusOk) return status;
  // The carried bytes and this block form one stream: what is left over at
  // its end must fit into fragment.
  if ((carried + uint64_t(length)) % uint64_t(reclen) != 0) {
    status = reserveFragment(ripper, uint64_t(reclen));
    if (status != kStatusOk) return status;
  }

  // Typed rows of the module's own converter go through the plan, made now
  // with the other room the block needs. The plan is only made for tables
  // none of whose values can be refused or cut, so it has nothing to report
  // when rejected values are tracked.
  FixedPlan* plan = nullptr;
  const ModuleRipper* m = moduleSide(ripper);
  if (!ripper->rowImage && ripper->ops.convertRecord == fixedTypedRecord) {
    status = prepareFixedPlan(ripper, reclen, &plan);
    if (status != kStatusOk) return status;
  }

  const uint8_t* at = bytes;
  int64_t left = length;
  int32_t count = 0;
  uint8_t* block = ripper->rowBlock;
  if (rows) *rows = block;

  if (carried > 0) {
    const int64_t take = std::min<int64_t>(reclen - int64_t(carried), left);
    std::memcpy(ripper->fragment + carried, at, size_t(take));
    ripper->fragmentLength = carried + uint64_t(take);
    at += take;
    left -= take;
    if (ripper->fragmentLength == uint64_t(reclen)) {
      ripper->fragmentLength = 0;
      // The carried bytes were the last ones fed before this block.
      status = convertRecords(ripper, plan, ripper->fragment, 1, reclen, block,
                              int64_t(m->blockOffset) - int64_t(carried), 0);
      if (status != kStatusOk) return status;
      count = 1;
    }
  }

  const int64_t whole = left / reclen;
  const int64_t tail = left - whole * reclen;
  if (tail > 0) {
    std::memcpy(ripper->fragment, at + whole * reclen, size_t(tail));
    ripper->fragmentLength = uint64_t(tail);
  }

  status =
      convertRecords(ripper, plan, at, whole, reclen, block + uint64_t(count) * ripper->rowLength,
                     int64_t(m->blockOffset) + (at - bytes), uint32_t(count));
  if (status != kStatusOk) return status;
  count += static_cast<int32_t>(whole);
  ripper->rowsInBlock = static_cast<uint32_t>(count);
  if (rowCount) *rowCount = count;
  return kStatusOk;
}

void fixedDropPartialRecord(KovaRipper* ripper) {
  if (ripper->output || ripper->fragmentLength == 0) return;
  logLine(ripper->diagnostics, kLogWarning,
          u"fixedRipBlock: the input ends inside a record; %lld of %lld bytes are ignored.",
          static_cast<long long>(ripper->fragmentLength),
          static_cast<long long>(ripper->table->reclen));
  ripper->truncations += 1;
  ripper->fragmentLength = 0;
}

}  // namespace kova
