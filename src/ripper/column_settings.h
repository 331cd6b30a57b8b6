// What the module keeps for a ripper beyond the host-visible KovaRipper: the
// per-column settings bind and the converters decide (an array beside
// `columns`, one entry per table column, from the ripper's pool) and the
// FIXED parser's plan. The ABI's reserved bytes stay untouched. Created with
// the ripper (createRipper), released with its pool; used only on the
// ripper's one thread.
#pragma once

#include <cstdint>

#include "kova/ripper.h"
#include "src/ripper/convert_dates.h"

namespace kova {

struct FixedPlan;

// How a delimited block converts one column's fields (field_plan.h): what
// the column's state says, worked out when the block starts.
enum class FieldKind : uint8_t {
  kGeneral = 0,  // convertField decides (also the zeroed state)
  kText,         // copied as they are when short and plain enough
  kInteger,      // [+-]digits read in the module, stored in the slot's width
  kDouble,       // [-]digits[.digits] read in the module
  kDate,         // the common date and time texts read in place
  kDecimal,      // exact decimals of precision up to 18 in 64 bits
};

struct FieldPlan {
  FieldKind kind;
  uint8_t indicatorWidth;  // the typed entry's code, masked
  uint8_t storageType;     // the typed entry's kStorage*
  bool asciiOnly;          // text: copied only when every byte is ASCII
  DateReader dateReader;   // date: the reader of the column's informat
  int8_t scale;            // decimal: the column's scale
  uint8_t precision;       // decimal: the column's precision
  uint32_t textLimit;      // text: the longest field copied as it is
  int64_t nullIndicator;
  uint64_t octetLength;
  uint64_t dataOffset;
  uint64_t indicatorOffset;
};

// One column's private settings.
struct ColumnSettings {
  // The column's fields are UTF-8 and its row encoding writes ASCII as
  // ASCII: a field of ASCII bytes needs no transcoding (set by bind).
  bool asciiPasses;
  // The in-place date reader chosen for the informat below (kUnknown until
  // the first date field), and what it was chosen for: the informat object
  // and its operation, so that an object made anew at an old address is
  // looked at again.
  DateReader dateReader;
  const KovaFormatObject* probedInformat;
  KovaStatus (*probedRun)(KovaFormatObject* object, int32_t zero);
  // Burner columns of a delimited table: the text plan bind chose (a
  // TextPlan of src/burner/text_plan.h) and whether its fast texts are final
  // as written.
  uint8_t textPlan;
  bool fastTextFinal;
  // Delimited blocks: the column's plan for the block being parsed, and
  // whether the host's number readers of the field encoding read the probe
  // texts as the module's own readers do (asked once per handle).
  FieldPlan plan;
  const KovaEncodingHandle* probedHandle;
  const KovaEncodingHandleOps* probedOps;
  bool integersInModule;
  bool doublesInModule;
};

// The ripper as the module allocates it: the host's view first, so that a
// KovaRipper* the host hands back is also the address of this.
struct ModuleRipper {
  KovaRipper ripper;
  ColumnSettings* settings;  // table->columnCount entries; null without columns
  FixedPlan* fixedPlan;      // FIXED: grown by the first block, kept for the next
  // Set by tests: delimited blocks read every row by the record loop, not
  // the rows of plain text fields in one pass (plain_rows.h).
  bool generalRowsOnly;
  // The transcoder cache (transcoder_cache.h), entry i in row i / 265 at
  // i % 265: rows 0 to 264 the transcoders from that encoding, row 265 the
  // encoding handles. A row is allocated, zero-filled, on its first use, so
  // creating a ripper costs no 564 KB table.
  void** transcoderRows[kEncodingLimit + 1];
  // Set when the host asked for rejected values (kRipperReportRejects):
  // the host's sink, the parser's own ripBlock behind the tracking one, and
  // where the parser is in the input (rejects.h).
  KovaRejectDiagnostics* rejects;
  KovaStatus (*innerRipBlock)(KovaRipper* ripper, const uint8_t* bytes, int64_t length,
                              uint8_t** rows, int32_t* rowCount);
  const uint8_t* blockBegin;  // the block being parsed; null outside ripBlock
  const uint8_t* blockEnd;
  uint64_t blockOffset;     // bytes fed before this block
  int64_t fragmentOffset;   // where the fragment's first byte was in the input; -1 unknown
  uint64_t fragmentExact;   // fragment bytes before this place are input bytes in order
  int64_t recordOffset;     // where the record being parsed began; -1 unknown
  int64_t qualifiedOffset;  // where the qualified field being read began; -1 unknown
  uint64_t qualifiedLines;  // line feeds that field has taken in so far
  uint32_t rejectReason;    // set by a converter that refused or cut the value
  uint32_t fixedRow;        // FIXED: the row of the record being converted (when tracking)
  // CLF: how far the line held in fragment has got (clf_held_line.h): the
  // part of the line its last held byte lies in, and the bytes of the
  // current field seen so far (held or not).
  uint8_t clfPart;
  uint64_t clfFieldBytes;
};

inline ModuleRipper* moduleSide(KovaRipper* ripper) {
  return reinterpret_cast<ModuleRipper*>(ripper);
}
inline const ModuleRipper* moduleSide(const KovaRipper* ripper) {
  return reinterpret_cast<const ModuleRipper*>(ripper);
}

// The settings of the column whose state is state (an entry of columns).
inline ColumnSettings& settingsOf(KovaRipper* ripper, const KovaColumnState* state) {
  return moduleSide(ripper)->settings[state - ripper->columns];
}
inline const ColumnSettings& settingsOf(const KovaRipper* ripper, const KovaColumnState* state) {
  return moduleSide(ripper)->settings[state - ripper->columns];
}

}  // namespace kova
