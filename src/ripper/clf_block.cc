// newlineRipBlockUTF8: the block parser of CLF tables. Lines end at LF (a CR
// right before the LF is not part of the line); each whole line becomes one
// row. A line the block does not finish waits in fragment, held only as far
// as its fields need (clf_held_line.h); rows are never carried, so the row
// block is sized here rather than by initBlock.
//
// With the module's own line converter the block finds the marks of all its
// lines in one pass (clf_marks.h), cuts each line by them and converts each
// field by a plan made once per block: plain text copied, the time read by
// the column's date reader, numbers of plain digits read in the module,
// everything else (and whatever the plan does not take) through
// convertField. Another convertRecord is called once per line.
#include <algorithm>
#include <cstring>
#include <limits>
#include <string_view>
#include <type_traits>

#include "src/convert/missing.h"
#include "src/ripper/clf_block.h"
#include "src/ripper/clf_held_line.h"
#include "src/ripper/clf_marks.h"
#include "src/ripper/clf_scan.h"
#include "src/ripper/clf_time.h"
#include "src/ripper/column_settings.h"
#include "src/ripper/convert_dates.h"
#include "src/ripper/convert_value.h"
#include "src/ripper/end_of_input.h"
#include "src/ripper/field_plan.h"
#include "src/ripper/next_record.h"
#include "src/ripper/operations.h"
#include "src/ripper/rejects.h"
#include "src/ripper/row_block.h"
#include "src/ripper/short_copy.h"
#include "src/ripper/force_inline.h"

namespace kova {
namespace {

constexpr std::u16string_view kFragmentLabel = u"newlineRipBlockUTF8";
constexpr uint32_t kClfFields = 7;

enum class StepKind : uint8_t {
  kNothing,  // no column, or one that takes no value: convertField would do nothing
  kText,     // a character column: short text copied as it is
  kTime,     // a double through a 16-bit informat: the date reader first
  kNumber,   // an integer, double or decimal the module reads (field_plan.h)
  kGeneral,  // convertField
};

struct ClfStep {
  StepKind kind;
  bool asciiOnly;      // kText: other bytes need the column's transcoder
  DateReader reader;   // kTime: kUnknown until the block's first time field
  bool shortInteger;   // kNumber: an integer column, read as one word when it can be
  uint8_t slotBytes;   // shortInteger: the integer's bytes (1, 2, 4 or 8)
  ClfTimeCache times;  // kTime: the month of the last time read
  uint8_t width;       // the indicator's width code
  uint64_t room;       // kText: the most bytes stored as they are
  uint32_t wideCopy;   // kText: 16 when the slot holds 16 bytes (a text up to
                       // 16 bytes is then moved as one 16-byte word), else 0
  uint64_t dataOffset;
  uint64_t indicatorOffset;
  KovaColumnState* state;
  int64_t nullValue;  // the null indicator
  FieldPlan number;   // kNumber: the column's plan
};

// Each of the seven fields resolved once per block.
struct ClfPlan {
  ClfStep steps[kClfFields];
};

ClfStep planField(KovaRipper* ripper, uint32_t k, bool general) {
  ClfStep step{};
  step.kind = StepKind::kNothing;
  if (int64_t(k) >= int64_t(ripper->table->columnCount)) return step;
  KovaColumnState* state = &ripper->columns[k];
  if (!state->entry) return step;
  step.kind = StepKind::kGeneral;
  step.state = state;
  const KovaLayoutEntry* entry = state->typedEntry;
  if (general || !entry) return step;
  step.width = uint8_t(entry->indicatorWidth & kIndicatorWidthMask);
  step.dataOffset = entry->dataOffset;
  step.indicatorOffset = entry->indicatorOffset;
  step.nullValue = nullIndicator(ripper, entry);
  switch (entry->storageType) {
    case kStorageChar:
    case kStorageBinary: {
      // What convertField copies as it is: no informat, no cut, no
      // transcoding (or ASCII that reads the same in the row).
      if (state->charLength == 0 && state->formatObject) break;
      if (state->directTranscoder && !settingsOf(ripper, state).asciiPasses) break;
      uint64_t room = std::min<uint64_t>(entry->octetLength, uint64_t(INT32_MAX));
      if (state->charLength > 0) room = std::min<uint64_t>(room, state->charLength);
      step.kind = StepKind::kText;
      step.room = room;
      step.wideCopy = entry->octetLength >= 16 && step.width != kIndicatorNone ? 16 : 0;
      step.asciiOnly = state->directTranscoder != nullptr;
      break;
    }
    case kStorageDouble:
      if (state->formatObject && state->formatObject->inputKind == kFormatKindWide) {
        step.kind = StepKind::kTime;
        step.reader = DateReader::kUnknown;
        break;
      }
      [[fallthrough]];
    default:
      // Status and size: digits read in the module where its readers give
      // what the host's give.
      step.number = planColumn(ripper, state);
      if (step.number.kind == FieldKind::kInteger || step.number.kind == FieldKind::kDouble ||
          step.number.kind == FieldKind::kDecimal) {
        step.kind = StepKind::kNumber;
        step.shortInteger = step.number.kind == FieldKind::kInteger;
        step.slotBytes = step.number.storageType == kStorageInt8    ? 1
                         : step.number.storageType == kStorageInt16 ? 2
                         : step.number.storageType == kStorageInt32 ? 4
                                                                    : 8;
      }
      break;
  }
  return step;
}

// The plan for this block; every field goes through convertField while
// rejected values are reported or rows are images.
void preparePlan(KovaRipper* ripper, ClfPlan* plan) {
  const bool general = ripper->rowImage || moduleSide(ripper)->rejects != nullptr;
  for (uint32_t k = 0; k < kClfFields; ++k) plan->steps[k] = planField(ripper, k, general);
}

// A value of at most 8 digits into a slot of bytes bytes; false when it
// does not fit.
KOVA_ALWAYS_INLINE inline bool storeShortInteger(uint8_t* at, uint8_t bytes, int64_t value) {
  switch (bytes) {
    case 1: {
      if (value > INT8_MAX) return false;
      const auto narrow = static_cast<int8_t>(value);
      std::memcpy(at, &narrow, 1);
      return true;
    }
    case 2: {
      if (value > INT16_MAX) return false;
      const auto narrow = static_cast<int16_t>(value);
      std::memcpy(at, &narrow, 2);
      return true;
    }
    case 4: {
      const auto narrow = static_cast<int32_t>(value);  // below 10^8
      std::memcpy(at, &narrow, 4);
      return true;
    }
    default:
      std::memcpy(at, &value, 8);
      return true;
  }
}

// The indicator of step in row: through writeIndicatorAt, or (plain) with
// the width plainLog allows the kind: one byte for a time or a number, one
// or two for a text.
template <StepKind kind, bool plain>
KOVA_ALWAYS_INLINE inline void writeStepIndicator(uint8_t* row, const ClfStep& step,
                                                  int64_t value) {
  uint8_t* at = row + step.indicatorOffset;
  if constexpr (!plain) {
    writeIndicatorAt(at, step.width, value);
  } else if (kind != StepKind::kText || step.width == kIndicatorWidth1) {
    const auto narrow = static_cast<int8_t>(value);
    std::memcpy(at, &narrow, 1);
  } else {
    const auto narrow = static_cast<int16_t>(value);
    std::memcpy(at, &narrow, 2);
  }
}

// A field of n >= 1 bytes at bytes stored into row by a step of kind
// (kText, kNumber or kTime) as convertField would store it; false when the
// field must go to convertField (nothing was written then). readable: bytes
// from bytes that may be read (n or more). plain: the step is known to be
// a text without the ASCII check, or an integer read as one word.
template <StepKind kind, bool plain>
KOVA_ALWAYS_INLINE inline bool convertAs(KovaRipper* ripper, ClfStep& step, uint8_t* row,
                                         const uint8_t* bytes, uint32_t n, uint64_t readable) {
  if constexpr (kind == StepKind::kText) {
    // REQUIRES (convertKnown): n within the room.
    if (!plain && step.asciiOnly && !allAscii(bytes, n)) return false;
    uint8_t* to = row + step.dataOffset;
    if (n <= step.wideCopy && readable >= 16) {
      // The bytes after the text, up to 16, land in the slot past its
      // length, where the row has no value.
      uint8_t word[16];
      std::memcpy(word, bytes, 16);
      std::memcpy(to, word, 16);
    } else {
      copyShort(to, bytes, n);
    }
    writeStepIndicator<kind, plain>(row, step, int64_t(n));
    return true;
  } else if constexpr (kind == StepKind::kNumber) {
    // "-" (no value) and whatever the module does not read take the general path.
    int64_t value;
    if ((plain || step.shortInteger) && readable >= 8) {
      if (!asciiShortInteger(bytes, n, &value)) {
        return field_plan_detail::convertByPlan(step.number, row, bytes, n);
      }
      if constexpr (plain) {
        // A slot of 4 or 8 bytes (plainLog): 8 digits fit either.
        if (step.slotBytes == 4) {
          const auto narrow = static_cast<int32_t>(value);
          std::memcpy(row + step.dataOffset, &narrow, 4);
        } else {
          std::memcpy(row + step.dataOffset, &value, 8);
        }
      } else if (!storeShortInteger(row + step.dataOffset, step.slotBytes, value)) {
        return field_plan_detail::convertByPlan(step.number, row, bytes, n);
      }
      writeStepIndicator<kind, plain>(row, step, int64_t(step.number.octetLength));
      return true;
    }
    return field_plan_detail::convertByPlan(step.number, row, bytes, n);
  } else {
    static_assert(kind == StepKind::kTime);
    if (step.reader == DateReader::kUnknown) step.reader = dateReaderOf(ripper, step.state);
    double value;
    int64_t seconds;
    if (step.reader == DateReader::kAnyDatetime &&
        readClfTime(bytes, n, readable, &seconds, &step.times)) {
      value = double(seconds);  // a time of the calendar: never the missing value
      std::memcpy(row + step.dataOffset, &value, 8);
      writeStepIndicator<kind, plain>(row, step, 8);
      return true;
    }
    if (step.reader == DateReader::kNone || !readDateText(step.reader, bytes, n, &value)) {
      return false;
    }
    std::memcpy(row + step.dataOffset, &value, 8);
    writeIndicatorAt(row + step.indicatorOffset, step.width, isMissing(value) ? step.nullValue : 8);
    return true;
  }
}

uint32_t fieldLength(uint64_t length) {
  return length > std::numeric_limits<uint32_t>::max() ? std::numeric_limits<uint32_t>::max()
                                                       : static_cast<uint32_t>(length);
}

// Field k of n bytes at bytes into row, by a step known to be of kind
// (plain: as convertAs).
// REQUIRES: the row cleared (an empty text or time is a null, as cleared).
template <StepKind kind, bool plain = false>
KOVA_ALWAYS_INLINE inline void convertKnown(KovaRipper* ripper, ClfStep& step, uint8_t* row,
                                            uint32_t k, const uint8_t* bytes, uint32_t n,
                                            uint64_t readable) {
  // n of 0 (the row keeps the null it was cleared to) or past the room
  // of a text: one test for both.
  if constexpr (kind == StepKind::kText) {
    if (uint64_t(n) - 1 >= step.room) [[unlikely]] {
      if (n > 0) (void)convertField(ripper, row, k, bytes, n);
      return;
    }
  } else {
    if (n == 0) return;
  }
  if (!convertAs<kind, plain>(ripper, step, row, bytes, n, readable)) {
    (void)convertField(ripper, row, k, bytes, n);
  }
}

// Field k of length bytes at bytes into row, as convertField would store it.
// readable: bytes from bytes that may be read (length or more).
// REQUIRES: the row cleared (an empty text or time is a null, as cleared).
inline void convertPlanned(KovaRipper* ripper, ClfStep& step, uint8_t* row, uint32_t k,
                           const uint8_t* bytes, uint64_t length, uint64_t readable) {
  switch (step.kind) {
    case StepKind::kNothing:
      return;
    case StepKind::kText:
      return convertKnown<StepKind::kText>(ripper, step, row, k, bytes, fieldLength(length),
                                           readable);
    case StepKind::kNumber:
      return convertKnown<StepKind::kNumber>(ripper, step, row, k, bytes, fieldLength(length),
                                             readable);
    case StepKind::kTime:
      return convertKnown<StepKind::kTime>(ripper, step, row, k, bytes, fieldLength(length),
                                           readable);
    case StepKind::kGeneral:
      (void)convertField(ripper, row, k, bytes, fieldLength(length));
      return;
  }
}

// Whether the plan's steps are those of the log table: host, ident, user and
// request as text, the time by a date reader, status and size as numbers.
constexpr StepKind kLogShape[kClfFields] = {StepKind::kText,  StepKind::kText, StepKind::kText,
                                            StepKind::kTime,  StepKind::kText, StepKind::kNumber,
                                            StepKind::kNumber};

bool logShaped(const ClfPlan& plan) {
  for (uint32_t k = 0; k < kClfFields; ++k) {
    if (plan.steps[k].kind != kLogShape[k]) return false;
  }
  return true;
}

// Whether a log-shaped plan's texts need no ASCII check and have
// indicators of one or two bytes, and its numbers are integers of 4 or 8
// bytes read as one word, their and the time's indicators of one byte (as
// describe lays out values of up to 127 bytes): the steps convertAs takes
// as plain.
bool plainLog(const ClfPlan& plan) {
  for (uint32_t k = 0; k < kClfFields; ++k) {
    const ClfStep& step = plan.steps[k];
    const bool plain =
        step.kind == StepKind::kText
            ? !step.asciiOnly && (step.width == kIndicatorWidth1 || step.width == kIndicatorWidth2)
            : step.width == kIndicatorWidth1 &&
                  (step.kind != StepKind::kNumber ||
                   (step.shortInteger && (step.slotBytes == 4 || step.slotBytes == 8)));
    if (!plain) return false;
  }
  return true;
}

// How ripMarkedLines converts the fields: each by its step's kind, or by
// the kind it is known to have in a log-shaped plan (plain: as plainLog).
enum class LineShape { kAny, kLog, kPlainLog };

// The last LF of the n bytes at at, or null. Searched from the end a word
// of 8 bytes at a time: a block's last line is short but may be the whole
// block.
const uint8_t* lastLineFeed(const uint8_t* at, uint64_t n) {
  constexpr uint64_t kOnes = 0x0101010101010101ull;
  constexpr uint64_t kHighs = 0x8080808080808080ull;
  constexpr uint64_t kLfs = 0x0A0A0A0A0A0A0A0Aull;
  for (; n >= 8; n -= 8) {
    uint64_t w;
    std::memcpy(&w, at + n - 8, 8);
    const uint64_t x = w ^ kLfs;                  // an LF byte becomes 0
    if (((x - kOnes) & ~x & kHighs) != 0) break;  // this word holds one
  }
  for (; n > 0; --n) {
    if (at[n - 1] == '\n') return at + n - 1;
  }
  return nullptr;
}

// How a block turns one line into one row.
struct LineConverter {
  KovaRipper* ripper;
  bool planned;  // the module's own line converter: cut here, through plan
  ClfPlan plan;
  RowClearer clearer;

  bool logShape = false;  // planned: the steps are those of logShaped
  bool plain = false;     // logShape, and plainLog

  LineConverter(KovaRipper* r)
      : ripper(r), planned(r->ops.convertRecord == splitClfLine), clearer(r) {
    if (planned) {
      preparePlan(r, &plan);
      logShape = logShaped(plan);
      plain = logShape && plainLog(plan);
    }
  }

  // readable: bytes from line that may be read (length or more).
  KovaStatus convert(const uint8_t* line, uint64_t length, uint64_t readable, uint8_t* row) {
    if (!planned) return ripper->ops.convertRecord(ripper, line, int64_t(length), row);
    clearer.clear(row);
    cutClfLine(line, length, readable,
               [&](uint32_t k, const uint8_t* first, uint64_t n) KOVA_LAMBDA_ALWAYS_INLINE {
                 convertPlanned(ripper, plan.steps[k], row, k, first, n,
                                readable - uint64_t(first - line));
               });
    return kStatusOk;
  }
};

// Makes room for one more row; the row, or null (status set) when the row
// block cannot grow.
KOVA_ALWAYS_INLINE inline uint8_t* nextRow(KovaRipper* ripper, KovaStatus* status) {
  if (ripper->rowsInBlock >= uint32_t(ripper->blockCapacity)) {
    // Half again as many rows, at least 10, so that a block of short
    // lines grows its row block a few times rather than once per 10 rows.
    const uint64_t used = ripper->rowsInBlock;
    *status = sizeRowBlock(ripper, used + std::max<uint64_t>(10, used / 2), used == 0);
    if (*status != kStatusOk) return nullptr;
  }
  return ripper->rowBlock + uint64_t(ripper->rowsInBlock) * ripper->rowLength;
}

// The lines of [at, end) cut by their marks, each line's fields converted
// as they are cut, in place; the first byte starts a line (nothing is
// held). Every line up to the block's last LF ends in the block; the bytes
// after it are held. shape: kAny unless the plan is log-shaped and the
// block below 4 GiB (each field then by the kind it is known to have,
// straight-line).
template <LineShape shape>
KovaStatus ripMarkedLines(KovaRipper* ripper, LineConverter& converter, const uint8_t* at,
                          const uint8_t* end, ScanPath path) {
  const uint64_t size = uint64_t(end - at);
  const uint8_t* lastLf = lastLineFeed(at, size);
  const uint64_t lines = lastLf ? uint64_t(lastLf - at) + 1 : 0;
  ClfMarkCursor marks(at, lines, path);
  const bool tracking = moduleSide(ripper)->rejects != nullptr;
  ClfPlan& plan = converter.plan;
  // The lines before safeLines end kReadAhead bytes or more before the
  // block's end, so that every read past a field its conversion makes
  // (16 bytes of a text, 26 of a time from the field's start) stays in the
  // block: their fields are converted without a test of the bytes left.
  constexpr uint64_t kReadAhead = 32;
  uint64_t safeLines = 0;
  if (shape != LineShape::kAny && lines > 0 && size > kReadAhead) {
    const uint8_t* lf = lastLineFeed(at, std::min(lines, size - kReadAhead + 1));
    safeLines = lf ? uint64_t(lf - at) + 1 : 0;
  }
  uint64_t start = 0;
  while (start < lines) {
    // An empty line gives no row.
    if (at[start] <= '\r') [[unlikely]] {
      if (at[start] == '\n') {
        ++start;
        continue;
      }
      if (at[start] == '\r' && at[start + 1] == '\n') {
        start += 2;
        continue;
      }
    }
    KovaStatus status = kStatusOk;
    uint8_t* row = nextRow(ripper, &status);
    if (!row) return status;
    if (tracking) noteRecordStart(ripper, at + start);
    converter.clearer.clear(row);
    // The line cut and converted; safe: the line lies before safeLines.
    auto cutLine = [&]<bool safe>(std::bool_constant<safe>) KOVA_LAMBDA_ALWAYS_INLINE {
      return cutMarkedLine(
          marks, at, start,
          [&]<uint32_t k>(ClfField<k>, uint64_t first, uint64_t n) KOVA_LAMBDA_ALWAYS_INLINE {
            // (A log-shaped block is below 4 GiB: n fits 32 bits.)
            const uint64_t readable =
                safe ? uint64_t(static_cast<uint32_t>(n)) + kReadAhead : size - first;
            if constexpr (shape != LineShape::kAny) {
              constexpr StepKind kind = kLogShape[k];
              convertKnown<kind, shape == LineShape::kPlainLog>(
                  ripper, plan.steps[k], row, k, at + first, static_cast<uint32_t>(n), readable);
            } else {
              convertPlanned(ripper, plan.steps[k], row, k, at + first, n, readable);
            }
          });
    };
    uint64_t lf;
    if (shape != LineShape::kAny && start < safeLines) {
      lf = cutLine(std::true_type());
    } else {
      lf = cutLine(std::false_type());
    }
    if (lf >= lines) break;  // not reached: the line ends at or before lastLf
    ++ripper->rowsInBlock;
    start = lf + 1;
  }
  if (lines < size) return holdClfBytes(ripper, at + lines, size - lines, kFragmentLabel);
  return kStatusOk;
}

}  // namespace

KovaStatus newlineRipBlockUTF8(KovaRipper* ripper, const uint8_t* bytes, int64_t length,
                               uint8_t** rows, int32_t* rowCount) {
  return ripClfBlockWith(ripper, bytes, length, rows, rowCount, bestScanPath());
}

KovaStatus ripClfBlockWith(KovaRipper* ripper, const uint8_t* bytes, int64_t length, uint8_t** rows,
                           int32_t* rowCount, ScanPath path) {
  ripper->rowsInBlock = 0;
  if (refusedBlock(bytes, length, rowCount)) return kStatusNotSupported;
  // A host that passes no outputs gets the block parsed all the same.
  uint8_t* unusedRows = nullptr;
  int32_t unusedCount = 0;
  if (!rows) rows = &unusedRows;
  if (!rowCount) rowCount = &unusedCount;
  *rowCount = 0;
  *rows = ripper->rowBlock;
  KovaStatus status = kStatusOk;
  const int64_t columns = ripper->table->columnCount > 0 ? ripper->table->columnCount : 1;
  const uint64_t estimate = uint64_t(length > 0 ? length : 0) / uint64_t(10 * columns) + 10;
  if (estimate > uint64_t(ripper->blockCapacity)) {
    status = sizeRowBlock(ripper, estimate, true);
    *rows = ripper->rowBlock;
    if (status != kStatusOk) return status;
  }
  if (!bytes || length <= 0) return kStatusOk;

  LineConverter converter(ripper);
  const uint8_t* at = bytes;
  const uint8_t* const end = bytes + length;
  while (at < end) {
    if (converter.planned && ripper->fragmentLength == 0) {
      if (!converter.logShape || end - at > std::numeric_limits<uint32_t>::max()) {
        status = ripMarkedLines<LineShape::kAny>(ripper, converter, at, end, path);
      } else if (converter.plain) {
        status = ripMarkedLines<LineShape::kPlainLog>(ripper, converter, at, end, path);
      } else {
        status = ripMarkedLines<LineShape::kLog>(ripper, converter, at, end, path);
      }
      break;
    }
    const auto* lf = static_cast<const uint8_t*>(std::memchr(at, '\n', size_t(end - at)));
    if (!lf) {
      // The line goes on in the next block.
      status = holdClfBytes(ripper, at, uint64_t(end - at), kFragmentLabel);
      break;
    }
    uint64_t lineLength = uint64_t(lf - at);
    if (lineLength > 0 && lf[-1] == '\r') {
      --lineLength;
    } else if (lineLength == 0 && ripper->fragmentLength > 0 &&
               ripper->fragment[ripper->fragmentLength - 1] == '\r') {
      // The CR ended the previous block: it is the last byte of fragment.
      --ripper->fragmentLength;
    }
    const uint8_t* line = at;
    uint64_t readable = uint64_t(end - at);
    if (ripper->fragmentLength > 0) {
      status = holdClfBytes(ripper, at, lineLength, kFragmentLabel);
      if (status != kStatusOk) break;
      line = ripper->fragment;
      lineLength = ripper->fragmentLength;
      readable = ripper->fragmentCapacity;
    }
    at = lf + 1;
    if (lineLength == 0) continue;  // an empty line gives no row
    uint8_t* row = nextRow(ripper, &status);
    if (!row) break;
    ripper->fragmentLength = 0;
    noteRecordStart(ripper, line);
    status = converter.convert(line, lineLength, readable, row);
    if (status != kStatusOk) break;
    ++ripper->rowsInBlock;
  }
  *rows = ripper->rowBlock;
  *rowCount = int32_t(ripper->rowsInBlock);
  return status;
}

KovaStatus flushClfLine(KovaRipper* ripper, uint8_t** rows, int32_t* rowCount) {
  uint64_t length = ripper->fragmentLength;
  // A CR at the very end stood before a line feed the input no longer has.
  if (length > 0 && ripper->fragment[length - 1] == '\r') --length;
  ripper->fragmentLength = 0;
  if (length == 0) return kStatusOk;
  uint8_t* row = initBlock(ripper, 1);
  if (!row) return kStatusNoMemory;
  noteRecordStart(ripper, ripper->fragment);
  KovaStatus status = ripper->ops.convertRecord(ripper, ripper->fragment, int64_t(length), row);
  if (status != kStatusOk) return status;
  ripper->rowsInBlock = 1;
  if (rows) *rows = row;
  if (rowCount) *rowCount = 1;
  return kStatusOk;
}

}  // namespace kova
