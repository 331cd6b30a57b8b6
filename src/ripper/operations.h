// The path of one field of a delimited record, from block bytes to its row:
// the host hands ripBlock a block; a table in another encoding than UTF-8 is
// first transcoded into transcodeBuffer (transcoding_front_end.cc), and the UTF-8
// bytes go to the block parser (delimited_block.cc), which scans for the
// terminators and reads a field that begins with the qualifier by the
// qualified-field rules (qualified_field.cc). A field that lies whole in the
// block is handed in place to convertField (convert_field.cc); one that
// crosses the block's end waits in the fragment (fragment.cc) and is handed
// over when a later block ends it. convertField picks the column's state and
// stores the value into the row the row block holds for the record
// (row_block.cc): text through charInformat, numbers and dates through the
// bound informat or the in-place readers, decimals exactly; at a record's
// end nextRecord moves to the next row, growing the row block, and a row
// begun when the block ends is carried into the next block. flushPending
// ends the input with the record still pending (end_of_input.cc).
//
// The record formats' operations that bind installs: block parsers
// (ripBlock), record converters (convertRecord), the field converter, the
// JSON and XML parser callbacks and the burners' row writers. Each lives in
// a file of its own (named in the comments); one that is not written yet
// answers kStatusNotSupported and does nothing else. Also the stubs that fill
// slots 4 to 7 until bind.
#pragma once

#include <cstdint>

#include "kova/ripper.h"

namespace kova {

// ---- Slots before bind (create.cc) ----------------------------------------
// ripBlock's arguments: a negative length, or no bytes for a positive one,
// is refused with kStatusNotSupported before anything is parsed; no row is
// handed back (*rowCount 0 when given).
inline bool refusedBlock(const uint8_t* bytes, int64_t length, int32_t* rowCount) {
  if (length >= 0 && (bytes || length == 0)) return false;
  if (rowCount) *rowCount = 0;
  return true;
}

KovaStatus convertRecordUnbound(KovaRipper* ripper, const uint8_t* bytes, int64_t length,
                                uint8_t* row);
KovaStatus unusedSlotUnbound(KovaRipper* ripper);
KovaStatus ripBlockUnbound(KovaRipper* ripper, const uint8_t* bytes, int64_t length, uint8_t** rows,
                           int32_t* rowCount);
KovaStatus writeRowsUnbound(KovaRipper* burner, const uint8_t* rows, uint64_t byteCount,
                            const uint8_t** data, uint64_t* dataLength);

// ---- DELIMITED and NATIVE text (delimited_block.cc) ------------------------
KovaStatus qualifiedRipBlock(KovaRipper* ripper, const uint8_t* bytes, int64_t length,
                             uint8_t** rows, int32_t* rowCount);
KovaStatus delimitedRipBlock(KovaRipper* ripper, const uint8_t* bytes, int64_t length,
                             uint8_t** rows, int32_t* rowCount);
KovaStatus splitRecord(KovaRipper* ripper, const uint8_t* bytes, int64_t length, uint8_t* row);

// ---- CLF lines and transcoded blocks (transcoding_front_end.cc) --------------------
KovaStatus newlineRipBlock(KovaRipper* ripper, const uint8_t* bytes, int64_t length, uint8_t** rows,
                           int32_t* rowCount);
KovaStatus newlineRipBlockUTF8(KovaRipper* ripper, const uint8_t* bytes, int64_t length,
                               uint8_t** rows, int32_t* rowCount);
KovaStatus splitClfLine(KovaRipper* ripper, const uint8_t* bytes, int64_t length, uint8_t* row);

// ---- FIXED records (fixed_block.cc, fixed_record.cc) -----------------------
KovaStatus fixedRipBlock(KovaRipper* ripper, const uint8_t* bytes, int64_t length, uint8_t** rows,
                         int32_t* rowCount);
KovaStatus fixedImageRecord(KovaRipper* ripper, const uint8_t* bytes, int64_t length, uint8_t* row);
KovaStatus fixedTypedRecord(KovaRipper* ripper, const uint8_t* bytes, int64_t length, uint8_t* row);

// ---- VARBIN records (varbin_block.cc) --------------------------------------
KovaStatus varBinaryRipBlock(KovaRipper* ripper, const uint8_t* bytes, int64_t length,
                             uint8_t** rows, int32_t* rowCount);

// ---- JSON records (json_block.cc) ------------------------------------------
KovaStatus jsonRipBlock(KovaRipper* ripper, const uint8_t* bytes, int64_t length, uint8_t** rows,
                        int32_t* rowCount);
// The end of the input (from flushPending): tells the parser no more bytes
// come. kStatusJsonParse (after the parse-failure line) when the input
// ended inside a record.
KovaStatus jsonFinish(KovaRipper* ripper);
KovaStatus jsonStartObject(KovaJsonCallbacks* table);
KovaStatus jsonEndObject(KovaJsonCallbacks* table);
KovaStatus jsonNullValue(KovaJsonCallbacks* table);
KovaStatus jsonBooleanValue(KovaJsonCallbacks* table, uint8_t value);
KovaStatus jsonNumberValue(KovaJsonCallbacks* table, const char16_t* text, int32_t lengthBytes);
KovaStatus jsonStringValue(KovaJsonCallbacks* table, const char16_t* text, int32_t lengthBytes,
                           uint32_t flags);

// ---- XML records (xml_block.cc) --------------------------------------------
KovaStatus xmlRipBlock(KovaRipper* ripper, const uint8_t* bytes, int64_t length, uint8_t** rows,
                       int32_t* rowCount);
KovaStatus xmlCharacters(KovaXmlCallbacks* table, const char16_t* text, int32_t lengthBytes);
KovaStatus xmlStartElement(KovaXmlCallbacks* table, const char16_t* name, int32_t nameBytes,
                           int32_t attributeCount, const KovaXmlAttribute* attributes);
KovaStatus xmlEndElement(KovaXmlCallbacks* table, const char16_t* name, int32_t nameBytes);
// End of input (from flushPending): the gathered first bytes, if any, are
// parsed, and the parser is told the document is complete. Rows that this
// completes come back; a document that is not well-formed (or ends inside a
// record) answers the parser's status.
KovaStatus xmlFlushPending(KovaRipper* ripper, uint8_t** rows, int32_t* rowCount);

// ---- Field conversion (convert_field.cc) -----------------------------------
// One field of text into column fieldNumber of row. Callers ignore the result.
KovaStatus convertField(KovaRipper* ripper, uint8_t* row, uint32_t fieldNumber,
                        const uint8_t* bytes, uint32_t length);

// A field's length as convertField takes it: longer fields are handed over
// as their first 2^32 - 1 bytes.
inline uint32_t clampFieldLength(uint64_t n) { return n > UINT32_MAX ? UINT32_MAX : uint32_t(n); }

// ---- Burner row writers (delimited_writer.cc, image_writer.cc,
//      fixed_writer.cc, varbin_writer.cc) -------------------------------------
KovaStatus delimitedWriteRows(KovaRipper* burner, const uint8_t* rows, uint64_t byteCount,
                              const uint8_t** data, uint64_t* dataLength);
KovaStatus imageWriteRows(KovaRipper* burner, const uint8_t* rows, uint64_t byteCount,
                          const uint8_t** data, uint64_t* dataLength);
KovaStatus fixedWriteRows(KovaRipper* burner, const uint8_t* rows, uint64_t byteCount,
                          const uint8_t** data, uint64_t* dataLength);
KovaStatus varbinWriteRows(KovaRipper* burner, const uint8_t* rows, uint64_t byteCount,
                           const uint8_t** data, uint64_t* dataLength);
KovaStatus varbinWriteRowsInto(KovaRipper* burner, const uint8_t* rows, uint64_t ignored0,
                               uint32_t rowCount, uint8_t* destination, uint64_t ignored1,
                               uint64_t* dataLength);

}  // namespace kova
