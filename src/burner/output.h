// The burner's output buffer and the pieces every text writer shares: the
// growth rule ("resultMakeRoom"), reading a value's null indicator, the null
// text, Base64 and formatting of floating values (format_output.cc). All
// output goes into the burner's recordBuffer; recordLength bytes are in use.
// Called only by the row writers of src/burner/ and their tests.
#pragma once

#include <cstdint>
#include <cstring>

#include "kova/ripper.h"
#include "src/ripper/column_settings.h"
#include "src/ripper/row_block.h"

namespace kova {

// Makes sure recordLength + needed bytes fit the record buffer, growing it
// to (recordLength + needed + 1023) rounded down to a multiple of 1024. On
// failure logs "[resultMakeRoom] : Failed to allocate memory..." and returns
// kStatusNoMemory; the buffer is then as it was. An empty output's bytes are
// not kept, unless pending says a field's text already lies there.
[[nodiscard]] KovaStatus resultMakeRoom(KovaRipper* burner, uint64_t needed, bool pending);

inline bool hasRoom(const KovaRipper* burner, uint64_t needed) {
  return burner->recordLength + needed < burner->recordBufferSize;
}

[[nodiscard]] inline KovaStatus makeRoom(KovaRipper* burner, uint64_t needed,
                                         bool pending = false) {
  return hasRoom(burner, needed) ? kStatusOk : resultMakeRoom(burner, needed, pending);
}

// Appends one byte to the output.
[[nodiscard]] inline KovaStatus appendByte(KovaRipper* burner, uint8_t byte) {
  KovaStatus status = makeRoom(burner, 1);
  if (status != kStatusOk) return status;
  burner->recordBuffer[burner->recordLength++] = byte;
  return kStatusOk;
}

// The first growth of a text writer's call: columnCount x perField x rows
// + 20 bytes.
[[nodiscard]] KovaStatus reserveForRows(KovaRipper* burner, uint64_t perField, uint64_t rowCount);

// The frame of every writeRows: the outs cleared, the output started afresh,
// byteCount / rowLength rows handed to write, the outs set on success.
KovaStatus runWriter(KovaRipper* burner, const uint8_t* rows, uint64_t byteCount,
                     const uint8_t** data, uint64_t* dataLength,
                     KovaStatus (*write)(KovaRipper* burner, const uint8_t* rows,
                                         uint64_t rowCount));

// True when the column's field encoding writes ASCII as ASCII (and blanks
// as 0x20): ASCII texts may go to the output without the host's help.
inline bool asciiField(const KovaRipper* burner, const KovaColumnState* state) {
  return settingsOf(burner, state).asciiPasses;  // set by bind
}

// The rows of a text writer: for each row, the fields in table order, each
// written by field(state, row, &n) as its final text of n bytes at the
// output's end (dropped and unbound columns are empty), separated by the
// table's fieldsep; then end() closes the record.
template <typename Field, typename End>
KovaStatus writeTextRows(KovaRipper* burner, const uint8_t* rows, uint64_t rowCount, Field field,
                         End end) {
  const KovaObject* table = burner->table;
  const int32_t columnCount = table->columnCount;
  for (uint64_t r = 0; r < rowCount; ++r) {
    const uint8_t* row = rows + r * burner->rowLength;
    for (int32_t i = 0; i < columnCount; ++i) {
      KovaColumnState* state = &burner->columns[i];
      if (!state->column->dropped && state->entry) {
        uint64_t n = 0;
        KovaStatus status = field(state, row, &n);
        if (status != kStatusOk) return status;
        burner->recordLength += n;
      }
      if (i + 1 < columnCount) {
        KovaStatus status = appendByte(burner, table->fieldsep);
        if (status != kStatusOk) return status;
      }
    }
    KovaStatus status = end();
    if (status != kStatusOk) return status;
  }
  return kStatusOk;
}

// The next free byte of the output.
inline uint8_t* outputEnd(KovaRipper* burner) {
  return burner->recordBuffer + burner->recordLength;
}

// A signed or unsigned integer value of the given storage type, widened.
int64_t readInteger(const uint8_t* value, uint32_t storageType);

// True for the storage types of integers (those readInteger reads).
inline bool integerStorage(uint32_t storageType) {
  switch (storageType) {
    case kStorageInt64:
    case kStorageInt32:
    case kStorageUint32:
    case kStorageInt16:
    case kStorageUint16:
    case kStorageInt8:
    case kStorageUint8:
      return true;
    default:
      return false;
  }
}

// Appends the table's nullText (or "\N" when it has none) at the end of the
// output without counting it; *length gets the bytes appended. Grows the
// buffer first.
[[nodiscard]] KovaStatus appendNullText(KovaRipper* burner, uint64_t* length);

// Standard Base64 of length bytes, "=" padded, no line breaks. With a null
// *destination, 4 x ceil(length / 3) + 1 bytes come from pool, *destination
// is set and the text ends with a NUL; otherwise the caller's room is used
// and no NUL is written. *written excludes the NUL. kStatusNoMemory when the
// allocation fails.
[[nodiscard]] KovaStatus encodeBase64(KovaPool* pool, const uint8_t* source, uint64_t length,
                                      uint8_t** destination, uint64_t* written);

inline constexpr uint64_t base64Length(uint64_t length) { return (length + 2) / 3 * 4; }

// The text of one 8-byte floating value of a column at output: through the
// column's bound format, the host's number formatting, or the timestamp
// layout. Returns the bytes written (0: an empty field). REQUIRES the room
// of formattedRoom(state) at output. Cut texts raise truncations.
uint64_t formatForOutput(KovaRipper* burner, KovaColumnState* state, uint8_t* output, double value);

// Room formatForOutput may need for a column: 4 x the format width (at
// least 153), or 153 without a format.
uint64_t formattedRoom(const KovaColumnState* state);

}  // namespace kova
