// flushPending: the end of a ripper's input. What the last block left
// unfinished (a character held back by the transcoding front end, a CLF
// line, a partial FIXED record, a text record without its terminator, a
// qualified field still open) is finished, counted or dropped here.
#include "src/ripper/end_of_input.h"

#include "src/ripper/fixed_block.h"
#include "src/ripper/operations.h"
#include "src/ripper/qualified_field.h"
#include "src/ripper/row_block.h"

namespace kova {

KovaStatus flushPending(KovaRipper* ripper, uint8_t** rows, int32_t* rowCount) {
  if (rowCount) *rowCount = 0;
  // A character held back from the last transcoded block joins the pending
  // record first.
  KovaStatus status = flushTranscodeTail(ripper);
  if (rows) *rows = ripper->rowBlock;
  if (status != kStatusOk) return status;
  if (ripper->table->recfm == kRecfmClf) return flushClfLine(ripper, rows, rowCount);
  if (ripper->table->recfm == kRecfmJson && !ripper->output && ripper->bound) {
    return jsonFinish(ripper);
  }
  if (ripper->table->recfm == kRecfmXml) return xmlFlushPending(ripper, rows, rowCount);
  if (ripper->table->recfm == kRecfmFixed) {
    fixedDropPartialRecord(ripper);
    return kStatusOk;
  }
  const uint32_t recfm = ripper->table->recfm;
  if ((recfm != kRecfmDelimited && recfm != kRecfmNative) ||
      (ripper->fragmentLength == 0 && ripper->fieldIndex < 1)) {
    return kStatusOk;
  }
  uint8_t* row = initBlock(ripper, 1);
  if (!row) return kStatusNoMemory;
  // A qualified field the input left open (or closed with its last byte)
  // loses its qualifiers like any other.
  if (ripper->qualifierState != 0) {
    dequalify(ripper, ripper->qualifierState == 2);
    ripper->qualifierState = 0;
  }
  const bool header = ripper->headerLinesLeft > 0;
  if (header) {
    --ripper->headerLinesLeft;
  } else if (ripper->fragmentLength > 0) {
    (void)convertField(ripper, row, ripper->fieldIndex, ripper->fragment,
                       clampFieldLength(ripper->fragmentLength));
  }
  // The pending record has become this row (or was a header line); a second
  // call has nothing left.
  ripper->fragmentLength = 0;
  ripper->fieldIndex = 0;
  if (header) {
    clearRow(ripper, row);
    return kStatusOk;
  }
  ripper->rowsInBlock = 1;
  if (rows) *rows = row;
  if (rowCount) *rowCount = 1;
  return kStatusOk;
}

}  // namespace kova
