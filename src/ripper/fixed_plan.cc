// The typed FIXED plan: one step per column with a typed entry, in column
// order, each a specialised move chosen from the column state once per
// block. The decisions mirror fixedTypedRecord in fixed_record.cc; the
// differential tests in tests/fixed_varbin keep the two in step.
#include "src/ripper/fixed_plan.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "src/convert/missing.h"
#include "src/host/kernel.h"
#include "src/host/log.h"
#include "src/host/pool.h"
#include "src/ripper/column_settings.h"
#include "src/ripper/convert_value.h"
#include "src/ripper/fixed_text_move.h"
#include "src/ripper/short_copy.h"
#include "src/ripper/force_inline.h"

namespace kova {

enum class StepKind : uint8_t {
  kNull,  // bytes outside the record, or nothing to convert: the null indicator
  kInt1,  // integers of octets bytes, as they are or byte-reversed
  kInt2,
  kInt4,
  kInt8,
  kInt2Swap,
  kInt4Swap,
  kInt8Swap,
  kDouble,       // 8 bytes in native order
  kDoubleSwap,   // 8 bytes reversed
  kDoubleShort,  // fewer than 8 bytes, widened
  kText,         // checked, trimmed, copied
  kText1,        // text of 16 to 64 bytes in 1 to 4 chunks of 16 (fixed_text_move.h)
  kText2,
  kText3,
  kText4,
  kBytes,  // octets bytes as they are
};

constexpr bool isText(StepKind kind) { return kind >= StepKind::kText && kind <= StepKind::kText4; }

// How the bytes of a text step are checked against the row encoding.
enum class TextCheck : uint8_t {
  kNone,      // a one-byte encoding with a character for every byte
  kAscii,     // UTF-8: ASCII bytes pass, other texts go to the handle
  kByHandle,  // the handle's checkValue for every value
};

// The indicator widths a step can store: none (a code the layout does not
// know), 1, 2, 4 or 8 bytes.
constexpr unsigned kWidthClasses = 5;

struct FixedStep {
  StepKind kind;
  uint8_t op;               // kind and indicator width in one: what convertColumn switches on
  uint8_t indicatorWidth;   // the entry's code (masked)
  uint8_t reverse;          // kDoubleShort: the column's bigEndian
  uint8_t keepMissingCode;  // doubles: a missing double keeps its code (nullAsMissing)
  TextCheck check;          // text: how its bytes are checked
  uint8_t blank;            // text: the encoding's blank when it is one byte (trimmedInPlace)
  uint8_t trimmedInPlace;   // text: trailing blanks dropped here rather than by the handle
  int32_t nullIndicator;    // what a null becomes: -1, or -88 for a DOUBLE with nullAsMissing
  uint64_t source;          // the column's offset in the record
  uint64_t length;     // bytes taken: octets (integers, bytes), width (doubles), bytelength (text)
  uint64_t limit;      // text: the entry's octetLength
  uint64_t lastChunk;  // kText1 to kText4: where the last chunk of the text starts (length - 16)
  uint64_t dataOffset;
  uint64_t indicatorOffset;
  KovaEncodingHandle* handle;  // text: the row encoding's handle
  // text: the handle's checks, looked up once per block
  KovaStatus (*checkValue)(KovaEncodingHandle*, const void*, uint64_t, uint32_t, uint64_t*);
  uint64_t (*trimmedLength)(KovaEncodingHandle*, const void*, uint64_t, uint32_t);
};

constexpr unsigned widthClass(unsigned code) {
  switch (code) {
    case kIndicatorWidth1:
      return 1;
    case kIndicatorWidth2:
      return 2;
    case kIndicatorWidth4:
      return 3;
    case kIndicatorWidth8:
      return 4;
    default:
      return 0;
  }
}

constexpr uint8_t opOf(StepKind kind, unsigned widthClassOfStep) {
  return uint8_t(unsigned(kind) * kWidthClasses + widthClassOfStep);
}

struct FixedPlan {
  uint64_t capacity;  // steps the room holds
  uint64_t count;
  uint64_t reclen;
  FixedStep steps[];
};

namespace {

// Whether count bytes at offset lie inside a record of reclen bytes.
bool inside(int64_t offset, uint64_t count, uint64_t reclen) {
  return offset >= 0 && uint64_t(offset) <= reclen && count <= reclen - uint64_t(offset);
}

// The move of an integer of octets bytes (the layout gives 1, 2, 4 or 8).
bool integerKind(uint64_t octets, bool reverse, StepKind* kind) {
  switch (octets) {
    case 1:
      *kind = StepKind::kInt1;
      return true;
    case 2:
      *kind = reverse ? StepKind::kInt2Swap : StepKind::kInt2;
      return true;
    case 4:
      *kind = reverse ? StepKind::kInt4Swap : StepKind::kInt4;
      return true;
    case 8:
      *kind = reverse ? StepKind::kInt8Swap : StepKind::kInt8;
      return true;
    default:
      return false;
  }
}

// Decides, once per block, what the row encoding's handle would do with
// every text: whether any byte can be refused and which byte is the blank.
// Each decision is checked against the handle itself; where one cannot be
// made, the handle is asked per value as before.
void planTextChecks(FixedStep* step) {
  KovaEncodingHandle* handle = step->handle;
  const KovaEncodingHandleOps* ops = handle->ops;
  step->check = TextCheck::kByHandle;
  KovaNls* service = nls();
  KovaEncodingInfo info{};
  const bool oneByte = service &&
                       service->ops->encodingInfo(service, handle->encoding, &info) == kStatusOk &&
                       info.maxBytesPerChar == 1;
  uint64_t scratch = 0;
  if (oneByte) {
    // One byte, one character: a text is valid when each of its bytes is.
    uint8_t every[256];
    for (unsigned i = 0; i < 256; ++i) every[i] = uint8_t(i);
    if (ops->checkValue(handle, every, sizeof every, 0, &scratch) == kStatusOk) {
      step->check = TextCheck::kNone;
    }
  } else if (handle->encoding == kEncodingUtf8) {
    step->check = TextCheck::kAscii;
  }
  // A blank of one byte: four blanks are four equal bytes (each the next),
  // and the handle trims exactly those (a blank 'q' fails the probe).
  uint8_t blanks[4] = {1, 2, 3, 4};
  if (ops->fillBlanks(handle, blanks, sizeof blanks, 0, &scratch) != kStatusOk) return;
  if (std::memcmp(blanks, blanks + 1, 3) != 0) return;
  const uint8_t b = blanks[0];
  const uint8_t probe[4] = {'q', b, 'q', b};
  const uint64_t allBlank = ops->trimmedLength(handle, blanks, sizeof blanks, 0);
  const uint64_t twoBlanks = ops->trimmedLength(handle, probe, sizeof probe, 0);
  if ((allBlank != 0) | (twoBlanks != 3)) return;
  step->blank = b;
  step->trimmedInPlace = 1;
}

// A text step's kind: kText1 to kText4 for a text of 16 to 64 bytes that
// fills its slot (as the layout makes them), whose one-byte blank the step
// trims itself and whose bytes need the handle's look at most when one is
// not ASCII; else kText.
void chooseTextKind(FixedStep* step) {
  step->kind = StepKind::kText;
  if (!kWideTexts || !step->trimmedInPlace || step->check == TextCheck::kByHandle ||
      step->length != step->limit || step->length < 16 || step->length > 64) {
    return;
  }
  step->kind = StepKind(unsigned(StepKind::kText1) + unsigned(step->length - 1) / 16);
  step->lastChunk = step->length - 16;
}

// The indicator width classes compiled for a kind: none and 1 byte for
// values of 64 bytes or fewer, up to 4 bytes for the others (a null column
// or bytes of any length). A column of 2^31 bytes or more, whose indicator
// has 8, is left to the record converter.
constexpr unsigned widthClassesOf(StepKind kind) {
  return kind == StepKind::kNull || kind == StepKind::kText || kind == StepKind::kBytes ? 4 : 2;
}

// The step of one column, or false when the plan has no move for it.
bool planColumn(const KovaRipper* ripper, const KovaColumnState* state, uint64_t reclen,
                FixedStep* planned) {
  const KovaLayoutEntry* entry = state->typedEntry;
  const KovaColumn* column = state->column;
  const bool reverse = state->bigEndian != 0;
  FixedStep step{};
  step.kind = StepKind::kNull;
  step.indicatorWidth = uint8_t(entry->indicatorWidth & kIndicatorWidthMask);
  step.reverse = reverse;
  step.keepMissingCode = ripper->nullAsMissing;
  step.nullIndicator = (ripper->nullAsMissing && entry->sqlType == kSqlDouble)
                           ? kIndicatorNullDouble
                           : kIndicatorNull;
  step.source = uint64_t(column->offset);
  step.dataOffset = entry->dataOffset;
  step.indicatorOffset = entry->indicatorOffset;
  const uint64_t octets = entry->octetLength;
  const uint64_t bytelength = column->bytelength > 0 ? uint64_t(column->bytelength) : 0;
  switch (state->valueKind) {
    case kValueInteger:
      // A field wider or narrower than its slot is left to the record converter.
      if (bytelength > 0 && bytelength != octets) return false;
      if (!inside(column->offset, octets, reclen)) break;
      if (!integerKind(octets, reverse, &step.kind)) return false;
      step.length = octets;
      break;
    case kValueDouble: {
      const uint64_t width = std::min<uint64_t>(bytelength, 8);
      if (!inside(column->offset, width, reclen)) break;
      step.kind = width < 8 ? StepKind::kDoubleShort
                  : reverse ? StepKind::kDoubleSwap
                            : StepKind::kDouble;
      step.length = width;
      break;
    }
    case kValueText:
      if (!inside(column->offset, bytelength, reclen) || !state->targetHandle) break;
      step.length = bytelength;
      step.limit = octets;
      step.handle = state->targetHandle;
      step.checkValue = step.handle->ops->checkValue;
      step.trimmedLength = step.handle->ops->trimmedLength;
      planTextChecks(&step);
      chooseTextKind(&step);
      break;
    case kValueBytes:
      if (!inside(column->offset, octets, reclen)) break;
      step.kind = StepKind::kBytes;
      step.length = octets;
      break;
    default:
      break;
  }
  const unsigned width = widthClass(step.indicatorWidth);
  if (width >= widthClassesOf(step.kind)) return false;
  step.op = opOf(step.kind, width);
  *planned = step;
  return true;
}

// Stores an indicator of the width class W (0: none) at at.
template <unsigned W>
inline void storeIndicator(uint8_t* at, int64_t value) {
  if constexpr (W == 1) {
    *at = uint8_t(value);
  } else if constexpr (W == 2) {
    const auto narrow = static_cast<int16_t>(value);
    std::memcpy(at, &narrow, 2);
  } else if constexpr (W == 3) {
    const auto narrow = static_cast<int32_t>(value);
    std::memcpy(at, &narrow, 4);
  } else if constexpr (W == 4) {
    std::memcpy(at, &value, 8);
  }
}

inline uint64_t loadBits(const uint8_t* at) {
  uint64_t bits;
  std::memcpy(&bits, at, 8);
  return bits;
}

inline uint16_t swapBytes(uint16_t v) { return __builtin_bswap16(v); }
inline uint32_t swapBytes(uint32_t v) { return __builtin_bswap32(v); }
inline uint64_t swapBytes(uint64_t v) { return __builtin_bswap64(v); }

template <typename T>
inline void moveInteger(uint8_t* to, const uint8_t* from, bool reverse) {
  T value;
  std::memcpy(&value, from, sizeof value);
  if (reverse) value = swapBytes(value);
  std::memcpy(to, &value, sizeof value);
}

// The indicator of the double stored at value: 8, or for a missing value
// its code (-89 "_", -87 to -62 "A" to "Z", -88 any other; complemented
// byte 5) when the codes are kept and -1 when they are not.
inline int64_t doubleIndicator(const uint8_t* value, bool keepMissingCode) {
  if (!isMissing(std::bit_cast<double>(loadBits(value)))) return 8;
  if (!keepMissingCode) return kIndicatorNull;
  const auto code = static_cast<uint8_t>(~value[5]);
  if (code == 0x2D) return -89;
  if (code >= 0x41 && code <= 0x5A) return -87 + (code - 0x41);
  return -88;
}

// Whether the row encoding's handle takes the text of a step at from; when
// it does not, *refused is its status.
inline bool checkText(const FixedStep& step, const uint8_t* from, KovaStatus* refused) {
  uint64_t scratch = 0;
  const KovaStatus status = step.checkValue(step.handle, from, step.length, 0, &scratch);
  if (status == kStatusOk) return true;
  *refused = status;
  return false;
}

// A text of the general move (kText): checked as the step says, trimmed in
// place or by the handle, its kept bytes copied. Returns their count, or 0
// with *refused set. One copy for every indicator width: these texts are
// short, long, or checked by the handle, and the call is the least of it.
[[gnu::noinline]] int64_t moveText(const FixedStep& step, const uint8_t* from, uint8_t* at,
                                   KovaStatus* refused) {
  const uint64_t length = step.length;
  if (step.check == TextCheck::kByHandle ||
      (step.check == TextCheck::kAscii && !allAscii(from, length))) {
    if (!checkText(step, from, refused)) return 0;
  }
  const uint64_t text = step.trimmedInPlace ? withoutTrailing(from, length, step.blank)
                                            : step.trimmedLength(step.handle, from, length, 0);
  const uint64_t kept = std::min(text, step.limit);
  copyShort(at, from, kept);
  return int64_t(kept);
}

// The value of one step moved from from to at; returns its indicator (a
// negative one for a double is its missing code). A text the row encoding
// refuses sets *refused and returns 0.
template <StepKind K, bool Ascii>
KOVA_ALWAYS_INLINE inline int64_t moveValue(const FixedStep& step, const uint8_t* from, uint8_t* at,
                                            KovaStatus* refused) {
  if constexpr (K == StepKind::kNull) {
    return step.nullIndicator;
  } else if constexpr (K == StepKind::kInt1) {
    *at = *from;
    return 1;
  } else if constexpr (K == StepKind::kInt2 || K == StepKind::kInt2Swap) {
    moveInteger<uint16_t>(at, from, K == StepKind::kInt2Swap);
    return 2;
  } else if constexpr (K == StepKind::kInt4 || K == StepKind::kInt4Swap) {
    moveInteger<uint32_t>(at, from, K == StepKind::kInt4Swap);
    return 4;
  } else if constexpr (K == StepKind::kInt8 || K == StepKind::kInt8Swap) {
    moveInteger<uint64_t>(at, from, K == StepKind::kInt8Swap);
    return 8;
  } else if constexpr (K == StepKind::kDouble || K == StepKind::kDoubleSwap) {
    uint64_t bits;
    std::memcpy(&bits, from, 8);
    if constexpr (K == StepKind::kDoubleSwap) bits = swapBytes(bits);
    std::memcpy(at, &bits, 8);
    if ((bits >> 48) != 0xFFFFu) return 8;  // not missing: the common case, decided in a register
    return doubleIndicator(at, step.keepMissingCode != 0);
  } else if constexpr (K == StepKind::kDoubleShort) {
    // The bytes are the double's high-order ones in the column's order.
    uint8_t wide[8] = {};
    std::memcpy(step.reverse ? wide : wide + 8 - step.length, from, step.length);
    uint8_t ordered[8];
    copyOrdered(ordered, wide, 8, step.reverse != 0);
    uint64_t bits;
    std::memcpy(&bits, ordered, 8);
    std::memcpy(at, &bits, 8);
    return doubleIndicator(at, step.keepMissingCode != 0);
  } else if constexpr (K == StepKind::kText) {
    return moveText(step, from, at, refused);
#if defined(__SSE2__)
  } else if constexpr (K >= StepKind::kText1 && K <= StepKind::kText4) {
    constexpr unsigned C = unsigned(K) - unsigned(StepKind::kText1) + 1;
    __m128i text[C];
    unsigned high;
    const uint64_t nonBlank = loadWideText<C, Ascii>(
        from, step.lastChunk, _mm_set1_epi8(static_cast<char>(step.blank)), text, &high);
    // Only UTF-8 is checked here (Ascii): its ASCII texts need no look.
    if (Ascii && high != 0 && !checkText(step, from, refused)) return 0;
    const uint64_t kept = keptLength(nonBlank);
    storeWideText<C>(at, text, step.lastChunk, kept);
    return int64_t(kept);
#endif
  } else {
    static_assert(K == StepKind::kBytes);
    if (step.length > 0) std::memcpy(at, from, step.length);
    return int64_t(step.length);
  }
}

// Records a chunk holds: the chunk's records and rows stay in the cache
// while each column's move runs over all of them. 32 ran the benchmark's
// table a sixth faster than 128, for about 3 more instructions per row
// spent choosing each column's loop.
constexpr int64_t kChunkRecords = 32;

// One column of n consecutive records into n consecutive rows, by the step
// of kind K with an indicator of width class W (Ascii: a wide text whose
// bytes that are not ASCII go to the handle): the same moves for every
// record, without a choice between them. Returns the status of the first
// refused text, else 0.
template <StepKind K, unsigned W, bool Ascii = false>
KovaStatus runColumn(const FixedStep& planned, const uint8_t* record, int64_t n, uint64_t reclen,
                     uint8_t* row, uint64_t rowLength) {
  // A local copy: the rows are bytes, so the compiler would otherwise read
  // the step anew after every store.
  const FixedStep step = planned;
  const uint8_t* from = record + step.source;
  uint8_t* at = row + step.dataOffset;
  const auto toIndicator = static_cast<ptrdiff_t>(step.indicatorOffset - step.dataOffset);
  for (int64_t i = n; i > 0; --i, from += reclen, at += rowLength) {
    KovaStatus refused = kStatusOk;
    const int64_t v = moveValue<K, Ascii>(step, from, at, &refused);
    if constexpr (isText(K)) {
      if (refused != kStatusOk) return refused;
    }
    storeIndicator<W>(at + toIndicator, v);
  }
  return kStatusOk;
}

// A wide text's column: its loop with or without the look at ASCII, chosen once.
template <StepKind K, unsigned W>
KovaStatus runTextColumn(const FixedStep& step, const uint8_t* record, int64_t n, uint64_t reclen,
                         uint8_t* row, uint64_t rowLength) {
  return step.check == TextCheck::kAscii
             ? runColumn<K, W, true>(step, record, n, reclen, row, rowLength)
             : runColumn<K, W, false>(step, record, n, reclen, row, rowLength);
}

// One column of n records: one switch on its kind and indicator width
// together, then the column's loop.
KovaStatus convertColumn(const FixedStep& step, const uint8_t* records, int64_t n, uint64_t reclen,
                         uint8_t* row, uint64_t rowLength) {
  switch (step.op) {
#define KOVA_STEP_CASE(K, W, RUN) \
  case opOf(StepKind::K, W):      \
    return RUN<StepKind::K, W>(step, records, n, reclen, row, rowLength);
// The width classes widthClassesOf gives: none and 1, or up to 4 bytes.
#define KOVA_SMALL(K, RUN) KOVA_STEP_CASE(K, 0, RUN) KOVA_STEP_CASE(K, 1, RUN)
#define KOVA_ANY(K) \
  KOVA_SMALL(K, runColumn) KOVA_STEP_CASE(K, 2, runColumn) KOVA_STEP_CASE(K, 3, runColumn)
    KOVA_ANY(kNull)
    KOVA_SMALL(kInt1, runColumn)
    KOVA_SMALL(kInt2, runColumn)
    KOVA_SMALL(kInt4, runColumn)
    KOVA_SMALL(kInt8, runColumn)
    KOVA_SMALL(kInt2Swap, runColumn)
    KOVA_SMALL(kInt4Swap, runColumn)
    KOVA_SMALL(kInt8Swap, runColumn)
    KOVA_SMALL(kDouble, runColumn)
    KOVA_SMALL(kDoubleSwap, runColumn)
    KOVA_SMALL(kDoubleShort, runColumn)
    KOVA_ANY(kText)
#if defined(__SSE2__)
    KOVA_SMALL(kText1, runTextColumn)
    KOVA_SMALL(kText2, runTextColumn)
    KOVA_SMALL(kText3, runTextColumn)
    KOVA_SMALL(kText4, runTextColumn)
#endif
    KOVA_ANY(kBytes)
#undef KOVA_ANY
#undef KOVA_SMALL
#undef KOVA_STEP_CASE
    default:
      return kStatusOk;
  }
}

}  // namespace

KovaStatus prepareFixedPlan(KovaRipper* ripper, int64_t reclen, FixedPlan** result) {
  const KovaObject* table = ripper->table;
  const uint64_t columns = table->columnCount > 0 ? uint64_t(table->columnCount) : 0;
  FixedPlan* plan = moduleSide(ripper)->fixedPlan;
  if (!plan || plan->capacity < columns) {
    const uint64_t room = columns > 0 ? columns : 1;
    const uint64_t size = sizeof(FixedPlan) + room * sizeof(FixedStep);
    void* grown = poolResize(ripper->pool, plan, size, true);
    if (!grown) {
      logAllocationFailure(ripper->diagnostics, u"fixedRipBlock", int64_t(size));
      return kStatusNoMemory;
    }
    plan = static_cast<FixedPlan*>(grown);
    plan->capacity = room;
    moduleSide(ripper)->fixedPlan = plan;
  }
  plan->reclen = uint64_t(reclen);
  plan->count = 0;
  *result = nullptr;
  for (uint64_t i = 0; i < columns; ++i) {
    const KovaColumnState* state = &ripper->columns[i];
    if (!state->typedEntry) continue;
    if (!planColumn(ripper, state, plan->reclen, &plan->steps[plan->count++])) return kStatusOk;
  }
  *result = plan;
  return kStatusOk;
}

KovaStatus convertFixedRecords(const FixedPlan* plan, const uint8_t* records, int64_t count,
                               uint8_t* row, uint64_t rowLength) {
  const uint64_t reclen = plan->reclen;
  const FixedStep* const steps = plan->steps;
  const FixedStep* const end = steps + plan->count;
  for (int64_t start = 0; start < count; start += kChunkRecords) {
    const int64_t n = std::min(kChunkRecords, count - start);
    const uint8_t* chunk = records + uint64_t(start) * reclen;
    uint8_t* rows = row + uint64_t(start) * rowLength;
    for (const FixedStep* step = steps; step != end; ++step) {
      const KovaStatus status = convertColumn(*step, chunk, n, reclen, rows, rowLength);
      if (status != kStatusOk) return status;
    }
  }
  return kStatusOk;
}

}  // namespace kova
