// The typed FIXED converter's plan: what fixedTypedRecord works out for each
// column of every record (where its bytes lie in a record of reclen bytes,
// how they move, where the value and its indicator go), worked out once per
// block so each record only moves bytes. Made and used by the FIXED block
// parser; the plan lives in the ripper's pool as long as the ripper.
#pragma once

#include <cstdint>

#include "kova/ripper.h"

namespace kova {

struct FixedPlan;

// Sets *plan to the plan for records of reclen bytes, built afresh from the
// ripper's column states (so a column changed between blocks is read as
// fixedTypedRecord would read it), or to null when a column needs a move the
// plan does not make (an integer field wider or narrower than its slot, an
// indicator of 8 bytes): the record converter then converts every record.
// Every move the plan makes stores the value as read (a wider integer,
// which may be cut, is left to the record converter), so the plan never
// has a value to report to a host that tracks rejected values (rejects.h);
// a move that could cut or refuse a value must keep to that.
// The plan's room is taken from the pool on first use and grown when the
// table has more columns; when it cannot be had, the level-4 allocation
// line names "fixedRipBlock" and the result is kStatusNoMemory. REQUIRES: a
// bound typed FIXED ripper, reclen from 1 to 2^31-1.
[[nodiscard]] KovaStatus prepareFixedPlan(KovaRipper* ripper, int64_t reclen, FixedPlan** plan);

// Converts count consecutive records of the plan's reclen bytes into
// consecutive rows of rowLength bytes starting at row, each exactly as
// fixedTypedRecord would, column by column over chunks of records. A text
// the row encoding refuses stops the work and its status is returned; the
// rows are then not all written.
KovaStatus convertFixedRecords(const FixedPlan* plan, const uint8_t* records, int64_t count,
                               uint8_t* row, uint64_t rowLength);

}  // namespace kova
