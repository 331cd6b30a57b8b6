// Rows of records that a sibling parser delivers through callbacks (XML
// today): the row block sized for a block of bytes, grown while the
// callbacks start rows, and the row left open at the end of a block saved in
// fragment and restored at the start of the next. The JSON ripper needs the
// same four steps.
#pragma once

#include <cstdint>

#include "kova/ripper.h"

namespace kova {

// Makes rowBlock hold at least length / (columnCount * 10) + 10 rows; the
// old rows need not be kept. 0, or kStatusNoMemory after the
// "ensureBlockSize" allocation line.
KovaStatus sizeBlockForBytes(KovaRipper* ripper, int64_t length);

// Makes room for the row at rowsInBlock, keeping the rows before it: the
// block grows by half (at least 10 rows) when it is full. 0, or
// kStatusNoMemory after the "ensureBlockSize" line.
KovaStatus growRowBlock(KovaRipper* ripper);

// When a record is open (rowStarted): copies the row saved by saveOpenRow
// into the first row, where the record continues.
void restoreOpenRow(KovaRipper* ripper);

// When a record is open: saves the row at rowsInBlock into fragment
// (rowLength bytes, allocated on first use). 0, or kStatusNoMemory without a
// log line (the caller's parser reports the status).
KovaStatus saveOpenRow(KovaRipper* ripper);

}  // namespace kova
